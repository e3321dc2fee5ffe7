// ResultFile and putInPlace: exclusive creation beside the final name, checked writing, and the steps
// that put a whole result in place.
#include "app/write/result_file.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <utility>

namespace {

std::uint64_t freshToken() {
  static std::mt19937_64 generator = [] {
    std::random_device device;
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::seed_seq seed{device(), device(), static_cast<unsigned>(now), static_cast<unsigned>(now >> 32)};
    return std::mt19937_64(seed);
  }();
  return generator();
}

LockWaiting& lockWaiting() {
  static LockWaiting waiting;
  return waiting;
}

std::function<void(PlacingStep)>& placingStepHook() {
  static std::function<void(PlacingStep)> hook;
  return hook;
}

void reach(PlacingStep step) {
  if (placingStepHook()) placingStepHook()(step);
}

// Takes the folder's lock, waiting for another run as `waiting` says; false when it gave up. A folder
// that cannot be locked at all is used without the lock.
bool lockFolder(FolderLock& lock, const LockWaiting& waiting) {
  const auto start = std::chrono::steady_clock::now();
  auto pause = std::chrono::milliseconds(1);
  bool noticed = false;
  const auto ended = [&](bool locked) {
    if (noticed && waiting.onEnd) waiting.onEnd();
    return locked;
  };
  for (;;) {
    if (lock.tryLock() != FolderLock::Attempt::Busy) return ended(true);
    const auto waited = std::chrono::steady_clock::now() - start;
    if (waited >= waiting.giveUp) return ended(false);
    if (!noticed && waited >= waiting.notice) {
      noticed = true;
      if (waiting.onNotice) waiting.onNotice();
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

// A second, hidden name for the regular file at `name`, so that it can be put back after a rename
// replaced it; empty where none could be made (no hard links on the file system).
std::filesystem::path linkedAside(const std::filesystem::path& name) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::filesystem::path aside = temporaryNameFor(name, freshToken());
    if (linkFile(name, aside)) return aside;
    if (nameKind(aside) == NameKind::Absent) break;  // not a name taken: no links here
  }
  return {};
}

// The failure for an earlier file that stood in the way of a step.
Placed blockedBy(const std::filesystem::path& name) {
  return {replaceFault(name) == FileFault::InUse ? PlaceResult::InUse : PlaceResult::CannotReplace, name};
}

}  // namespace

std::filesystem::path temporaryNameFor(const std::filesystem::path& finalPath, std::uint64_t token) {
  static const char kHex[] = "0123456789abcdef";
  std::string name = kTemporaryPrefix;
  for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(token >> shift) & 0xF];
  name += kTemporarySuffix;
  return finalPath.parent_path() / name;
}

const std::filesystem::path* PlacedResults::inputOf(const FileIdentity& identity) const {
  for (const auto& [result, input] : results_) {
    if (result == identity) return &input;
  }
  return nullptr;
}

void PlacedResults::add(const FileIdentity& identity, const std::filesystem::path& input) {
  results_.emplace_back(identity, input);
}

ResultFile::ResultFile(std::filesystem::path finalPath) : finalPath_(std::move(finalPath)) {
  // Without a name, a killed run leaves nothing behind.
  stream_ = createUnnamedFile(finalPath_.parent_path());
  // A name already taken (by a killed run, say) is never opened: another name is tried instead.
  for (int attempt = 0; attempt < 8 && stream_ == nullptr; ++attempt) {
    temporaryPath_ = temporaryNameFor(finalPath_, freshToken());
    stream_ = createTemporaryFile(temporaryPath_);
    if (stream_ == nullptr && nameKind(temporaryPath_) == NameKind::Absent) break;
  }
  if (stream_ == nullptr) {
    temporaryPath_.clear();
    return;
  }
  temporaryExists_ = !temporaryPath_.empty();
  takeModeOf(stream_, finalPath_);
}

ResultFile::~ResultFile() {
  closeStream();
  if (temporaryExists_) removeTemporaryFile(temporaryPath_);
}

void ResultFile::closeStream() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
}

bool ResultFile::finish() {
  if (stream_ == nullptr) return false;
  const bool written = std::ferror(stream_) == 0 && syncFile(stream_);
  // An unnamed file stays open until it is named; it was synced and has nothing more to write.
  const bool closed = temporaryPath_.empty() || std::fclose(stream_) == 0;
  if (!temporaryPath_.empty()) stream_ = nullptr;
  finished_ = written && closed;
  if (finished_) return true;
  closeStream();
  if (temporaryExists_) removeTemporaryFile(temporaryPath_);
  temporaryExists_ = false;
  return false;
}

Placed putInPlace(ResultFile& kept, const std::filesystem::path& otherFinal,
                  const std::filesystem::path& input, PlacedResults& placed) {
  const std::filesystem::path& keptFinal = kept.finalPath();
  if (!kept.finished_) return {PlaceResult::CannotCreate, keptFinal};
  const std::filesystem::path folder = keptFinal.parent_path();
  FolderLock lock(folder);
  if (!lockFolder(lock, lockWaiting())) return {PlaceResult::LockTimedOut, keptFinal};
  // Looked at again under the lock: something else may have been put there since the run began.
  bool stood[2] = {};
  const std::filesystem::path* names[2] = {&keptFinal, &otherFinal};
  for (int i = 0; i < 2; ++i) {
    const NameKind kind = nameKind(*names[i]);
    if (kind == NameKind::Other) return {PlaceResult::CannotCreate, *names[i]};
    stood[i] = kind != NameKind::Absent;
    if (!stood[i]) continue;
    FileIdentity identity;
    if (fileIdentity(*names[i], identity)) {
      if (const std::filesystem::path* earlier = placed.inputOf(identity))
        return {PlaceResult::SameResult, *earlier};
    }
    if (replaceFault(*names[i]) != FileFault::None) return blockedBy(*names[i]);
  }
  const bool keptStood = stood[0];
  const bool otherStood = stood[1];
  // Steps that belong together: a signal is acted on after them, and where the front end asks for it,
  // only once the closing text is shown.
  SignalHold hold(true);
  reach(PlacingStep::Checked);

  // 1. The new result under its final name: linked there straight from no name where the name is free,
  // else renamed over what stands there. When the other name must go too, the earlier file is swapped
  // out instead and kept until that removal has worked; where names cannot be swapped (Windows), it gets
  // a second hidden name first, which the rename leaves to it. Moving it aside instead would leave its
  // name empty for a moment.
  if (kept.temporaryPath_.empty()) {
    if (!keptStood && nameUnnamedFile(kept.stream_, keptFinal, false)) {
      kept.closeStream();
    } else {
      for (int attempt = 0; attempt < 8 && kept.temporaryPath_.empty(); ++attempt) {
        const std::filesystem::path hidden = temporaryNameFor(keptFinal, freshToken());
        if (nameUnnamedFile(kept.stream_, hidden, true)) kept.temporaryPath_ = hidden;
      }
      kept.closeStream();
      if (kept.temporaryPath_.empty()) return {PlaceResult::CannotCreate, keptFinal};
      kept.temporaryExists_ = true;
    }
  }
  bool swapped = false;
  std::filesystem::path aside;  // the earlier file's second name, where it was not swapped out
  if (kept.temporaryExists_) {
    swapped = keptStood && otherStood && exchangeFiles(kept.temporaryPath_, keptFinal);
    if (!swapped) {
      if (keptStood && otherStood && nameKind(keptFinal) == NameKind::RegularFile) {
        aside = linkedAside(keptFinal);
      }
      if (!renameFile(kept.temporaryPath_, keptFinal)) {
        if (!aside.empty()) removeTemporaryFile(aside);
        if (keptStood) return blockedBy(keptFinal);
        return {PlaceResult::CannotCreate, keptFinal};
      }
      kept.temporaryExists_ = false;
    }
  }
  reach(PlacingStep::KeptPlaced);

  // 2. The other name taken away, or the first step undone.
  if (otherStood && !removeFile(otherFinal) && nameKind(otherFinal) != NameKind::Absent) {
    if (swapped) {
      exchangeFiles(kept.temporaryPath_, keptFinal);  // the temporary name holds the new result again
    } else if (!aside.empty()) {
      // The earlier file back under its name in one rename, the new result going with it.
      if (renameFile(aside, keptFinal)) aside.clear();
    } else if (!keptStood) {
      removeFile(keptFinal);
    }
    if (!aside.empty()) removeTemporaryFile(aside);
    return blockedBy(otherFinal);
  }
  // The earlier file swapped out or linked aside goes with its hidden name.
  FileIdentity identity;
  if (fileIdentity(keptFinal, identity)) placed.add(identity, input);
  if (swapped) {
    removeTemporaryFile(kept.temporaryPath_);
    kept.temporaryExists_ = false;
  }
  if (!aside.empty()) removeTemporaryFile(aside);
  reach(PlacingStep::Done);
  // One sync for every step, after the last: none stands between two renames.
  syncFolder(folder);
  return {};
}

void setLockWaiting(LockWaiting waiting) {
  lockWaiting() = std::move(waiting);
}

void setPlacingStepHook(std::function<void(PlacingStep)> hook) {
  placingStepHook() = std::move(hook);
}
