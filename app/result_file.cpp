// ResultFile and putInPlace: exclusive creation beside the final name, checked writing, and the renames
// that put a whole result in place.
#include "app/result_file.h"

#include <chrono>
#include <random>
#include <string>
#include <utility>

#include "app/platform.h"

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

}  // namespace

std::filesystem::path temporaryNameFor(const std::filesystem::path& finalPath, std::uint64_t token) {
  static const char kHex[] = "0123456789abcdef";
  std::string tail = ".";
  for (int shift = 60; shift >= 0; shift -= 4) tail += kHex[(token >> shift) & 0xF];
  tail += kTemporarySuffix;
  std::filesystem::path name = finalPath.filename();
  name += tail;
  return finalPath.parent_path() / (std::filesystem::path(kTemporaryPrefix) += name);
}

ResultFile::ResultFile(std::filesystem::path finalPath) : finalPath_(std::move(finalPath)) {
  // A name already taken (by a killed run, say) is never opened: another name is tried instead.
  for (int attempt = 0; attempt < 8 && stream_ == nullptr; ++attempt) {
    temporaryPath_ = temporaryNameFor(finalPath_, freshToken());
    stream_ = createTemporaryFile(temporaryPath_);
    if (stream_ == nullptr && nameKind(temporaryPath_) == NameKind::Absent) break;
  }
  temporaryExists_ = stream_ != nullptr;
}

ResultFile::~ResultFile() {
  if (stream_ != nullptr) std::fclose(stream_);
  if (temporaryExists_) removeTemporaryFile(temporaryPath_);
}

bool ResultFile::finish() {
  if (stream_ == nullptr) return false;
  const bool written = std::ferror(stream_) == 0 && syncFile(stream_);
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  if (written && closed) return true;
  removeTemporaryFile(temporaryPath_);
  temporaryExists_ = false;
  return false;
}

Placed putInPlace(ResultFile& kept, const std::filesystem::path& otherFinal) {
  const std::filesystem::path& keptFinal = kept.finalPath();
  FolderLock lock(keptFinal.parent_path());
  if (!lock.held() || !kept.temporaryExists_ || kept.stream_ != nullptr) {
    return {PlaceResult::CannotCreate, keptFinal};
  }
  // Looked at again under the lock: something else may have been put there since the run began.
  for (const std::filesystem::path* name : {&keptFinal, &otherFinal}) {
    if (nameKind(*name) == NameKind::Other) return {PlaceResult::CannotCreate, *name};
  }
  // Renames that belong together: no signal ends the run between them.
  SignalHold hold;
  // The other name is moved aside first, so that a failure further on can put it back.
  std::filesystem::path aside;
  if (nameKind(otherFinal) != NameKind::Absent) {
    aside = temporaryNameFor(otherFinal, freshToken());
    if (!renameFile(otherFinal, aside)) return {PlaceResult::CannotDelete, otherFinal};
  }
  if (!renameFile(kept.temporaryPath(), keptFinal)) {
    if (!aside.empty()) renameFile(aside, otherFinal);
    return {PlaceResult::CannotCreate, keptFinal};
  }
  kept.temporaryExists_ = false;
  if (!aside.empty() && !removeFile(aside)) return {PlaceResult::CannotDelete, aside};
  return {};
}
