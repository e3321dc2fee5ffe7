// ResultFile and putInPlace: a result is written under a temporary name and appears under its final name
// only whole.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include "app/platform/platform.h"

// Temporary names start with "." and end in ".tmp", so a file left by a killed run says what it is.
inline constexpr const char* kTemporaryPrefix = ".zelvora-";
inline constexpr const char* kTemporarySuffix = ".tmp";

// The temporary name beside `finalPath` for one attempt: ".zelvora-<16 hex digits>.tmp", short enough
// beside a final name of any legal length.
std::filesystem::path temporaryNameFor(const std::filesystem::path& finalPath, std::uint64_t token);

enum class PlaceResult { Done, CannotCreate, CannotReplace, InUse, SameResult, LockTimedOut };

struct Placed {
  PlaceResult result = PlaceResult::Done;
  // The name the failure concerns; for SameResult the input whose result stands there.
  std::filesystem::path name;
};

// The results that one call of the program has put in place, by the files themselves, so that no later
// run of the call replaces or removes one: two inputs whose results share a name on a file system that
// ignores case, say.
class PlacedResults {
 public:
  // The input whose result `identity` is, or null.
  const std::filesystem::path* inputOf(const FileIdentity& identity) const;
  void add(const FileIdentity& identity, const std::filesystem::path& input);

 private:
  std::vector<std::pair<FileIdentity, std::filesystem::path>> results_;
};

// One result file of a run: created new in the folder of its final name (without a name at all where the
// system allows), removed again unless put in place. A result that will replace an earlier file takes its
// permission bits and group (on Windows its security: access list, owner and group).
class ResultFile {
 public:
  // stream() is null when no temporary file could be created.
  explicit ResultFile(std::filesystem::path finalPath);
  ~ResultFile();
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  std::FILE* stream() const { return stream_; }
  const std::filesystem::path& finalPath() const { return finalPath_; }
  // Empty while the file has no name.
  const std::filesystem::path& temporaryPath() const { return temporaryPath_; }

  // Checks, flushes and syncs the stream; false when anything written may not have reached the disk, and
  // then the temporary file is gone.
  bool finish();

 private:
  friend Placed putInPlace(ResultFile& kept, const std::filesystem::path& otherFinal,
                           const std::filesystem::path& input, PlacedResults& placed);
  void closeStream();

  std::filesystem::path finalPath_;
  std::filesystem::path temporaryPath_;
  std::FILE* stream_ = nullptr;
  bool temporaryExists_ = false;
  bool finished_ = false;
};

// Puts a finished `kept` under its final name and takes away whatever stands at `otherFinal`, under the
// folder's lock so that runs of colliding names take turns. A file or link at either name is replaced or
// taken away, never written through. The new result goes in place first and the other name is removed
// after it, so that no moment is without a result; a removal that fails undoes the first step where it
// can (the earlier file swapped out, or kept under a second hidden name where names cannot be swapped),
// so that everything stays as it was. A file at either name that `placed` holds is left alone.
Placed putInPlace(ResultFile& kept, const std::filesystem::path& otherFinal,
                  const std::filesystem::path& input, PlacedResults& placed);

// How long putInPlace waits for another run that holds the folder's lock, which may be stopped (Ctrl+Z)
// or hung: after `notice` it calls `onNotice` once (front ends say that they wait), after `giveUp` it
// gives up. Once a noticed wait ends, the lock taken or given up, it calls `onEnd` (a window that says
// so closes). Set by front ends and by tests (shorter times); a hook left out is not called.
struct LockWaiting {
  std::chrono::milliseconds notice{1000};
  std::chrono::milliseconds giveUp{60000};
  std::function<void()> onNotice{};
  std::function<void()> onEnd{};
};
void setLockWaiting(LockWaiting waiting);

// For tests: called at each step of putInPlace, standing in for a kill or a signal at that moment.
enum class PlacingStep {
  Checked,     // under the lock, nothing changed yet
  KeptPlaced,  // the new result under its final name, the other name not yet removed
  Done,        // both names as the run leaves them, the folder not yet synced
};
void setPlacingStepHook(std::function<void(PlacingStep)> hook);
