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

#include "app/platform.h"
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

void syncFolderOf(const std::filesystem::path& path) {
  const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // The rename has happened whatever this answers; it only decides whether a power cut can still undo it,
  // and some file systems cannot sync a folder at all.
  ::fsync(fd);
  ::close(fd);
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

NameKind nameKind(const std::filesystem::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT ? NameKind::Absent : NameKind::Other;
  if (S_ISREG(status.st_mode)) return NameKind::RegularFile;
  if (S_ISLNK(status.st_mode)) return NameKind::Link;
  return NameKind::Other;
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
  syncFolderOf(to);
  return true;
}

SignalHold::SignalHold() {
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
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

FolderLock::FolderLock(const std::filesystem::path& folder) {
  const std::filesystem::path name = folder.empty() ? "." : folder;
  const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  int locked = 0;
  do {
    locked = ::flock(fd, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    ::close(fd);
    return;
  }
  handle_ = fd;
}

FolderLock::~FolderLock() {
  if (held()) ::close(static_cast<int>(handle_));  // closing releases the lock
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
