// Platform file calls on Windows: wide paths through _wfopen, _wsopen_s, MoveFileExW and _wunlink.
#include <windows.h>

#include <aclapi.h>

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>
#include <wchar.h>

#include "app/platform/platform.h"

std::FILE* openFile(const std::filesystem::path& path, FileMode mode) {
  if (mode == FileMode::WriteBytes) return _wfopen(path.c_str(), L"wb");
  // No other program may write to the input while it is read. One that holds it open for writing already
  // (a spreadsheet that has it open) keeps it: the two passes are compared byte for byte instead.
  if (std::FILE* file = _wfsopen(path.c_str(), L"rb", _SH_DENYWR)) return file;
  return _wfopen(path.c_str(), L"rb");
}

bool removeFile(const std::filesystem::path& path) {
  return _wunlink(path.c_str()) == 0;
}

UString pathText(const std::filesystem::path& path) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows paths are UTF-16");
  const std::wstring& units = path.native();
  UStringBuffer buffer(static_cast<uint32_t>(units.size()));
  for (std::size_t i = 0; i < units.size(); ++i) buffer.data()[i] = static_cast<char16_t>(units[i]);
  return buffer.finish();
}

std::filesystem::path comparablePath(const std::filesystem::path& path) {
  std::wstring units = path.native();
  if (units.empty()) return path;
  const int size = static_cast<int>(units.size());
  std::wstring upper(units.size(), L'\0');
  // Upper-cased as the file system compares names, letter by letter whatever the user's language.
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, units.c_str(), size, upper.data(), size, nullptr,
                    nullptr, 0) != size) {
    return path;
  }
  return std::filesystem::path(upper);
}

NameKind nameKind(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NameKind::Absent
                                                                          : NameKind::Other;
  }
  // Symbolic links and junctions; MoveFileExW replaces the link itself.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return NameKind::Link;
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) return NameKind::Other;
  return NameKind::RegularFile;
}

namespace {

// A handle on the file itself, a link included, with no right to read or write it; `access` adds rights.
HANDLE openForQuery(const std::filesystem::path& path, DWORD access) {
  return CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

bool fileIdentity(const std::filesystem::path& path, FileIdentity& identity) {
  const HANDLE handle = openForQuery(path, 0);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!known) return false;
  identity = {information.dwVolumeSerialNumber,
              (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
  return true;
}

FileFault replaceFault(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileFault::None;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return FileFault::Refused;
  // A program that has the file open without letting others delete it (a spreadsheet showing it) keeps
  // it from being replaced as well.
  const HANDLE handle = openForQuery(path, DELETE);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return FileFault::None;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return FileFault::InUse;
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileFault::None
                                                                        : FileFault::Refused;
}

bool inputState(std::FILE* file, InputState& state) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (handle == INVALID_HANDLE_VALUE) return false;
  state.sized = GetFileType(handle) == FILE_TYPE_DISK;
  if (!state.sized) return true;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle, &information)) return false;
  state.size = (static_cast<std::uintmax_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  state.modified = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32) |
      information.ftLastWriteTime.dwLowDateTime);
  return true;
}

std::FILE* createTemporaryFile(const std::filesystem::path& path) {
  int fd = -1;
  if (_wsopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                _S_IREAD | _S_IWRITE) != 0) {
    return nullptr;
  }
  std::FILE* file = _wfdopen(fd, L"wb");
  if (file == nullptr) {
    _close(fd);
    _wunlink(path.c_str());
  }
  return file;
}

// Windows has no unnamed files.
std::FILE* createUnnamedFile(const std::filesystem::path&) {
  return nullptr;
}

bool nameUnnamedFile(std::FILE*, const std::filesystem::path&, bool) {
  return false;
}

// The earlier file's security as it stands: its access list (with its inherited entries and whether it
// takes any from the folder), then its group and owner, each only where the user may set it. Copied as it
// is, as POSIX copies mode bits: both files stand in one folder, so what it inherited is the folder's
// either way. Not left to ReplaceFileW, which takes these over too but puts the new file in place in two
// renames, between which the final name holds nothing, and goes through a link at the name.
void takeModeOf(std::FILE* file, const std::filesystem::path& earlier) {
  if (nameKind(earlier) != NameKind::RegularFile) return;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(
          earlier.c_str(), SE_FILE_OBJECT,
          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
          nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return;
  }
  const HANDLE own = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  // The right to give the file away is asked for only where the user holds it.
  HANDLE handle = ReOpenFile(own, READ_CONTROL | WRITE_DAC | WRITE_OWNER, kShare, 0);
  if (handle == INVALID_HANDLE_VALUE) handle = ReOpenFile(own, READ_CONTROL | WRITE_DAC, kShare, 0);
  PSECURITY_DESCRIPTOR ownDescriptor = nullptr;
  if (handle != INVALID_HANDLE_VALUE &&
      GetSecurityInfo(handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                      &ownDescriptor) == ERROR_SUCCESS) {
    if (SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, descriptor)) {
      // A list that lets the user write but not rename or delete the file (the folder letting the earlier
      // one go) would leave the run unable to put it in place or take it away: the file keeps its own.
      // The file's own handle shares no deletion, so a sharing violation means the right was there.
      const HANDLE deletable = ReOpenFile(own, DELETE, kShare, 0);
      if (deletable != INVALID_HANDLE_VALUE) {
        CloseHandle(deletable);
      } else if (GetLastError() == ERROR_ACCESS_DENIED) {
        SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, ownDescriptor);
      }
    }
    SetKernelObjectSecurity(handle, GROUP_SECURITY_INFORMATION, descriptor);
    SetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, descriptor);
  }
  if (ownDescriptor != nullptr) LocalFree(ownDescriptor);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  LocalFree(descriptor);
}

bool removeTemporaryFile(const std::filesystem::path& path) {
  if (_wunlink(path.c_str()) == 0 || errno == ENOENT) return true;
  // Read-only as the earlier result's security made it (Wine shows a list without the right to write as
  // that attribute): the file is the run's own all the same.
  return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) && _wunlink(path.c_str()) == 0;
}

bool syncFile(std::FILE* file) {
  return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

// Windows has no call that starts the writing without waiting for it.
void startWriting(std::FILE*) {}

bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// No swap of two names in one step.
bool exchangeFiles(const std::filesystem::path&, const std::filesystem::path&) {
  return false;
}

bool linkFile(const std::filesystem::path& existing, const std::filesystem::path& link) {
  return CreateHardLinkW(link.c_str(), existing.c_str(), nullptr) != 0;
}

// MoveFileExW writes through by itself.
void syncFolder(const std::filesystem::path&) {}

// Windows programs get no SIGINT, SIGTERM or SIGHUP to hold back.
SignalHold::SignalHold(bool untilShown) : untilShown_(untilShown) {}
SignalHold::~SignalHold() = default;
void holdSignalsUntilShown() {}
void releaseHeldSignals() {}

FolderLock::FolderLock(const std::filesystem::path& folder)
    : name_((folder.empty() ? std::filesystem::path(L".") : folder) / L".zelvora.lock") {}

FolderLock::Attempt FolderLock::tryLock() {
  // Opened by one run at a time.
  const HANDLE handle = CreateFileW(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    return Attempt::Held;
  }
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? Attempt::Busy
                                                                          : Attempt::Unavailable;
}

FolderLock::~FolderLock() {
  if (handle_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

void* allocateLargeBlock(std::size_t size) {
  // Committed pages of VirtualAlloc come zero-filled.
  return ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void backPages(void*, std::size_t) {}

void freeLargeBlock(void* block, std::size_t) {
  ::VirtualFree(block, 0, MEM_RELEASE);
}
