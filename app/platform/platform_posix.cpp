// Platform file calls on POSIX: paths are bytes, shown as UTF-8; temporary files guarded against signals.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/platform/platform.h"
#include "charset/charset.h"

namespace {

constexpr int kGuardedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary files a signal must remove: a few per run, plain C strings the handler can read.
std::atomic<char*> guardedNames[8];

extern "C" void removeGuardedFilesAndEnd(int signal) {
  const int savedErrno = errno;
  for (auto& slot : guardedNames) {
    if (const char* name = slot.load()) ::unlink(name);
  }
  // End the way the signal would have ended the process without us.
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(signal, &standard, nullptr);
  errno = savedErrno;
  raise(signal);
}

void installHandlersOnce() {
  static const bool installed = [] {
    for (int signal : kGuardedSignals) {
      struct sigaction previous {};
      sigaction(signal, nullptr, &previous);
      // A signal the caller ignores (nohup) or handles itself stays as it is.
      if (previous.sa_handler != SIG_DFL || (previous.sa_flags & SA_SIGINFO) != 0) continue;
      struct sigaction handler {};
      handler.sa_handler = removeGuardedFilesAndEnd;
      sigemptyset(&handler.sa_mask);
      for (int other : kGuardedSignals) sigaddset(&handler.sa_mask, other);
      sigaction(signal, &handler, nullptr);
    }
    // A write past the file size limit is then an ordinary write failure, reported as one, instead of a
    // run ended without a word and with its hidden file left. A handler of the caller's own stays.
    struct sigaction sizeLimit {};
    sigaction(SIGXFSZ, nullptr, &sizeLimit);
    if (sizeLimit.sa_handler == SIG_DFL && (sizeLimit.sa_flags & SA_SIGINFO) == 0) ::signal(SIGXFSZ, SIG_IGN);
    return true;
  }();
  (void)installed;
}

void guard(const std::filesystem::path& path) {
  const std::string& bytes = path.native();
  char* name = new char[bytes.size() + 1];
  std::memcpy(name, bytes.c_str(), bytes.size() + 1);
  for (auto& slot : guardedNames) {
    char* empty = nullptr;
    if (slot.compare_exchange_strong(empty, name)) return;
  }
  delete[] name;  // more temporary files than slots: this one goes unguarded
}

void unguard(const std::filesystem::path& path) {
  for (auto& slot : guardedNames) {
    char* name = slot.load();
    if (name != nullptr && path.native() == name) {
      slot.store(nullptr);
      delete[] name;
      return;
    }
  }
}

// The signals held back beyond a hold `untilShown`, released by releaseHeldSignals().
bool holdUntilShown = false;
sigset_t heldForText;
bool signalsHeldForText = false;

const char* folderName(const std::filesystem::path& folder) {
  return folder.empty() ? "." : folder.c_str();
}

}  // namespace

std::FILE* openFile(const std::filesystem::path& path, FileMode mode) {
  return std::fopen(path.c_str(), mode == FileMode::ReadBytes ? "rb" : "wb");
}

bool removeFile(const std::filesystem::path& path) {
  return ::unlink(path.c_str()) == 0;
}

UString pathText(const std::filesystem::path& path) {
  const std::string& bytes = path.native();
  return decodeBytes(bytes.data(), bytes.size(), "UTF-8");
}

std::filesystem::path comparablePath(const std::filesystem::path& path) {
  return path;
}

NameKind nameKind(const std::filesystem::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT ? NameKind::Absent : NameKind::Other;
  if (S_ISREG(status.st_mode)) return NameKind::RegularFile;
  if (S_ISLNK(status.st_mode)) return NameKind::Link;
  return NameKind::Other;
}

bool fileIdentity(const std::filesystem::path& path, FileIdentity& identity) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return false;
  identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
  return true;
}

FileFault replaceFault(const std::filesystem::path&) {
  return FileFault::None;
}

bool inputState(std::FILE* file, InputState& state) {
  struct stat status {};
  if (::fstat(::fileno(file), &status) != 0) return false;
  state.sized = S_ISREG(status.st_mode);
  state.size = state.sized ? static_cast<std::uintmax_t>(status.st_size) : 0;
  state.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  return true;
}

std::FILE* createTemporaryFile(const std::filesystem::path& path) {
  installHandlersOnce();
  // Held back until the new name is guarded, so no signal can leave it behind.
  SignalHold hold;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    ::close(fd);
    ::unlink(path.c_str());
    return nullptr;
  }
  guard(path);
  return file;
}

std::FILE* createUnnamedFile([[maybe_unused]] const std::filesystem::path& folder) {
#if defined(O_TMPFILE)
  installHandlersOnce();
  const int fd = ::open(folderName(folder), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  // Named later through /proc (linking by the descriptor alone needs a privilege): without /proc the
  // file could never be named, so a named file is used instead.
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  struct stat status {};
  std::FILE* file = ::stat(link.c_str(), &status) == 0 ? ::fdopen(fd, "wb") : nullptr;
  if (file == nullptr) ::close(fd);
  return file;
#else
  return nullptr;
#endif
}

bool nameUnnamedFile(std::FILE* file, const std::filesystem::path& path, bool temporary) {
  SignalHold hold;
  const std::string link = "/proc/self/fd/" + std::to_string(::fileno(file));
  if (::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) return false;
  if (temporary) guard(path);
  return true;
}

void takeModeOf(std::FILE* file, const std::filesystem::path& earlier) {
  struct stat status {};
  if (::lstat(earlier.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return;
  const int fd = ::fileno(file);
  struct stat own {};
  if (::fstat(fd, &own) != 0) return;
  // The group first: changing it may clear bits that the mode then sets again. A group the user is not a
  // member of cannot be set, and the file keeps its own.
  if (own.st_gid != status.st_gid) (void)::fchown(fd, static_cast<uid_t>(-1), status.st_gid);
  ::fchmod(fd, status.st_mode & 0777);
}

bool removeTemporaryFile(const std::filesystem::path& path) {
  SignalHold hold;
  const bool removed = ::unlink(path.c_str()) == 0 || errno == ENOENT;
  unguard(path);
  return removed;
}

bool syncFile(std::FILE* file) {
  return std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
}

void startWriting(std::FILE* file) {
#if defined(__linux__)
  if (std::fflush(file) != 0) return;
  ::sync_file_range(::fileno(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)file;
#endif
}

bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  SignalHold hold;
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  unguard(from);
  return true;
}

bool exchangeFiles([[maybe_unused]] const std::filesystem::path& first,
                   [[maybe_unused]] const std::filesystem::path& second) {
#if defined(RENAME_EXCHANGE)
  return ::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) == 0;
#else
  return false;
#endif
}

// An earlier file is swapped out instead (exchangeFiles).
bool linkFile(const std::filesystem::path&, const std::filesystem::path&) {
  return false;
}

void syncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folderName(folder), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // The renames have happened whatever this answers; it only decides whether a power cut can still undo
  // them, and some file systems cannot sync a folder at all.
  ::fsync(fd);
  ::close(fd);
}

SignalHold::SignalHold(bool untilShown) : untilShown_(untilShown) {
  sigset_t set;
  sigset_t before;
  sigemptyset(&set);
  for (int signal : kGuardedSignals) sigaddset(&set, signal);
  sigprocmask(SIG_BLOCK, &set, &before);
  for (int i = 0; i < 3; ++i) heldBefore_[i] = sigismember(&before, kGuardedSignals[i]) == 1;
}

SignalHold::~SignalHold() {
  sigset_t set;
  sigemptyset(&set);
  for (int i = 0; i < 3; ++i) {
    if (!heldBefore_[i]) sigaddset(&set, kGuardedSignals[i]);
  }
  if (untilShown_ && holdUntilShown) {
    heldForText = set;
    signalsHeldForText = true;
    return;
  }
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void holdSignalsUntilShown() {
  holdUntilShown = true;
}

void releaseHeldSignals() {
  if (!signalsHeldForText) return;
  signalsHeldForText = false;
  sigprocmask(SIG_UNBLOCK, &heldForText, nullptr);
}

FolderLock::FolderLock(const std::filesystem::path& folder) {
  // A folder that may be written but not read cannot be opened: its results go in place unlocked.
  const int fd = ::open(folderName(folder), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) handle_ = fd;
}

FolderLock::Attempt FolderLock::tryLock() {
  if (handle_ == kNone) return Attempt::Unavailable;
  if (::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0) return Attempt::Held;
  return errno == EWOULDBLOCK || errno == EINTR ? Attempt::Busy : Attempt::Unavailable;
}

FolderLock::~FolderLock() {
  if (handle_ != kNone) ::close(static_cast<int>(handle_));  // closing releases the lock
}

void* allocateLargeBlock(std::size_t size) {
  // Mapped afresh, so it comes zero-filled, with one block more than asked so that a huge page's alignment
  // can be cut out of it; the rest is given back.
  if (size > SIZE_MAX - 2 * kLargeBlock) return nullptr;
  const std::size_t whole = wholeLargeBlocks(size);
  void* mapped =
      ::mmap(nullptr, whole + kLargeBlock, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + kLargeBlock - 1) / kLargeBlock * kLargeBlock;
  const std::uintptr_t end = start + whole + kLargeBlock;
  if (aligned > start) ::munmap(mapped, aligned - start);
  if (end > aligned + whole) ::munmap(reinterpret_cast<void*>(aligned + whole), end - (aligned + whole));
  void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  // Only advice: where huge pages are off, the block is used as it is. A huge page needs the whole of its
  // range advised.
  ::madvise(block, whole, MADV_HUGEPAGE);
#endif
  return block;
}

void backPages(void* bytes, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
  // From Linux 5.14 on; older systems refuse the advice.
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = (reinterpret_cast<std::uintptr_t>(bytes) + page - 1) / page * page;
  const auto end = (reinterpret_cast<std::uintptr_t>(bytes) + size) / page * page;
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
  (void)bytes;
  (void)size;
#endif
}

void freeLargeBlock(void* block, std::size_t size) {
  ::munmap(block, wholeLargeBlocks(size));
}
