// Platform file calls of the run: open, create, rename and delete by a path of this platform; the path as
// text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "text/ustring.h"

enum class FileMode { ReadBytes, WriteBytes };

// Opens in binary mode (wide path on Windows); null when the file cannot be opened.
std::FILE* openFile(const std::filesystem::path& path, FileMode mode);
// Deletes the file; false when it could not be deleted.
bool removeFile(const std::filesystem::path& path);
// The path as UTF-16 text for the closing message.
UString pathText(const std::filesystem::path& path);

// What stands at a name, a link taken as itself and not as what it points to.
enum class NameKind { Absent, RegularFile, Link, Other };
NameKind nameKind(const std::filesystem::path& path);

// What an open input looked like: a pipe or FIFO has no size to compare (`sized` false).
struct InputState {
  bool sized = false;
  std::uintmax_t size = 0;
  std::int64_t modified = 0;  // in the platform's own units
  bool operator==(const InputState&) const = default;
};
// The state through the open handle, never through the name; false when the platform cannot tell.
bool inputState(std::FILE* file, InputState& state);

// Creates a new file for writing, never opening a name that already exists (a link included); null when
// it cannot. On POSIX, SIGINT, SIGTERM or SIGHUP remove it before the process ends until it is renamed
// or removed below.
std::FILE* createTemporaryFile(const std::filesystem::path& path);
// Removes a file made by createTemporaryFile; false when it could not be removed.
bool removeTemporaryFile(const std::filesystem::path& path);
// Writes what the stream holds through to the disk; false when any of it failed.
bool syncFile(std::FILE* file);
// Asks the system to start writing what the stream holds to the disk, without waiting for it, so that a
// later syncFile() waits less; only a hint (nothing where the platform has no such call). Errors are left
// for syncFile() to find.
void startWriting(std::FILE* file);
// Renames `from` to `to` within one folder; a file or link at `to` is replaced, never written through.
// The folder entry is synced. False when nothing changed.
bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Holds back SIGINT, SIGTERM and SIGHUP while renames that belong together run (nothing on Windows).
class SignalHold {
 public:
  SignalHold();
  ~SignalHold();
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
  // Which of the three were held back already, so that they stay so afterwards.
  bool heldBefore_[3] = {};
};

// Keeps other runs from putting results into the same folder at the same time; waits for a run that
// holds it. On POSIX a lock on the folder itself, on Windows a lock file that the system deletes when it
// is closed.
class FolderLock {
 public:
  explicit FolderLock(const std::filesystem::path& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool held() const { return handle_ != kNone; }

 private:
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t handle_ = kNone;
};

// Memory for a table that may grow large, zero-filled, taken in whole multiples of kLargeBlock and given
// back whole, with the size it was asked with. On Linux the system is asked to back them with huge pages:
// where a page fault is dear, a block then costs one fault instead of hundreds. Null when there is no
// memory.
inline constexpr std::size_t kLargeBlock = std::size_t{1} << 21;
// The bytes a large block asked for with `size` takes: a whole number of kLargeBlock.
inline constexpr std::size_t wholeLargeBlocks(std::size_t size) {
  return (size + kLargeBlock - 1) / kLargeBlock * kLargeBlock;
}
void* allocateLargeBlock(std::size_t size);
void freeLargeBlock(void* block, std::size_t size);
// Asks the system to back the whole pages within `size` bytes at `bytes`, memory about to be written in
// full, in one call instead of one fault per page (dear where faults are). Only advice: nothing happens
// where the system cannot.
void backPages(void* bytes, std::size_t size);
