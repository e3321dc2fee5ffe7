// Platform file calls of the run: open, create, rename and delete by a path of this platform; the path as
// text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "app/platform/large_blocks.h"
#include "text/ustring.h"

enum class FileMode { ReadBytes, WriteBytes };

// Opens in binary mode (wide path on Windows); null when the file cannot be opened.
std::FILE* openFile(const std::filesystem::path& path, FileMode mode);
// Deletes the file; false when it could not be deleted.
bool removeFile(const std::filesystem::path& path);
// The path as UTF-16 text for the closing message.
UString pathText(const std::filesystem::path& path);
// The path as this platform's file systems compare names: upper-cased on Windows, where names ignore case;
// unchanged elsewhere.
std::filesystem::path comparablePath(const std::filesystem::path& path);

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

// Which file stands at a name: the same for every name and spelling of one file (device and inode; on
// Windows the volume and the file ID).
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};
// A link is taken as itself; false when nothing stands at the name or the platform cannot tell.
bool fileIdentity(const std::filesystem::path& path, FileIdentity& identity);

// What keeps an earlier file from being replaced or removed.
enum class FileFault { None, InUse, Refused };
// What can be told without trying: on Windows another program that holds the file open (InUse) or the
// read-only attribute (Refused); None elsewhere, where a removal is tried and undone when it fails.
FileFault replaceFault(const std::filesystem::path& path);

// Creates a new file for writing, never opening a name that already exists (a link included); null when
// it cannot. On POSIX, SIGINT, SIGTERM or SIGHUP remove it before the process ends until it is renamed
// or removed below.
std::FILE* createTemporaryFile(const std::filesystem::path& path);
// A new file without a name in `folder` (Linux: O_TMPFILE), which the system takes away with the process
// unless it is named; null where the file system has none, or where it could not be named later.
std::FILE* createUnnamedFile(const std::filesystem::path& folder);
// Gives a finished unnamed file the name `path`, which must be free; false, changing nothing, when it
// cannot. A `temporary` name is guarded against signals as createTemporaryFile's are.
bool nameUnnamedFile(std::FILE* file, const std::filesystem::path& path, bool temporary);
// Gives a new file the permission bits of the regular file at `earlier`, and its group where the user may
// set it (on Windows its access list, and its owner and group where the user may set them); nothing when
// no regular file stands there: a new file keeps what any new file gets (the umask, the folder's
// inherited access).
void takeModeOf(std::FILE* file, const std::filesystem::path& earlier);
// Removes a file made by createTemporaryFile; false when it could not be removed.
bool removeTemporaryFile(const std::filesystem::path& path);
// Writes what the stream holds through to the disk; false when any of it failed.
bool syncFile(std::FILE* file);
// Asks the system to start writing what the stream holds to the disk, without waiting for it, so that a
// later syncFile() waits less; only a hint (nothing where the platform has no such call). Errors are left
// for syncFile() to find.
void startWriting(std::FILE* file);
// Renames `from` to `to` within one folder; a file or link at `to` is replaced, never written through.
// False when nothing changed.
bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to);
// Swaps the files at two names of one folder in one step (Linux); false, changing nothing, where the
// platform cannot.
bool exchangeFiles(const std::filesystem::path& first, const std::filesystem::path& second);
// Gives the file at `existing` the second name `link` in the same folder (a hard link; Windows, which
// cannot swap names); false, changing nothing, where the file system has no links (FAT) and on POSIX,
// which swaps names instead.
bool linkFile(const std::filesystem::path& existing, const std::filesystem::path& link);
// Writes the folder's entries through to the disk, so that renames in it survive a power cut; best effort
// (a folder that cannot be read cannot be synced; Windows renames write through by themselves).
void syncFolder(const std::filesystem::path& folder);

// Holds back SIGINT, SIGTERM and SIGHUP while renames that belong together run (nothing on Windows).
class SignalHold {
 public:
  // A hold `untilShown` outlasts itself when the front end asked for it: see holdSignalsUntilShown().
  explicit SignalHold(bool untilShown = false);
  ~SignalHold();
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
  bool untilShown_;
  // Which of the three were held back already, so that they stay so afterwards.
  bool heldBefore_[3] = {};
};
// Called once by a front end that shows a closing text: a signal that arrives while results are put in
// place is then acted on only at releaseHeldSignals(), called after the text is shown.
void holdSignalsUntilShown();
void releaseHeldSignals();

// Keeps other runs from putting results into the same folder at the same time. On POSIX a lock on the
// folder itself, on Windows a lock file that the system deletes when it is closed.
class FolderLock {
 public:
  explicit FolderLock(const std::filesystem::path& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  enum class Attempt {
    Held,
    // Another run holds it.
    Busy,
    // The folder cannot be locked at all (one that may be written but not read, a file system without
    // locks): results are put in place without the lock.
    Unavailable,
  };
  // Takes the lock if it is free, without waiting.
  Attempt tryLock();

 private:
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t handle_ = kNone;
#ifdef _WIN32
  std::filesystem::path name_;
#endif
};
