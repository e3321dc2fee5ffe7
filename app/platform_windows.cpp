// Platform file calls on Windows: wide paths through _wfopen, _wsopen_s, MoveFileExW and _wunlink.
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>
#include <wchar.h>

#include "app/platform.h"

std::FILE* openFile(const std::filesystem::path& path, FileMode mode) {
  return _wfopen(path.c_str(), mode == FileMode::ReadBytes ? L"rb" : L"wb");
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

bool removeTemporaryFile(const std::filesystem::path& path) {
  return _wunlink(path.c_str()) == 0 || errno == ENOENT;
}

bool syncFile(std::FILE* file) {
  return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

// Windows has no call that starts the writing without waiting for it.
void startWriting(std::FILE*) {}

bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Windows programs get no SIGINT, SIGTERM or SIGHUP to hold back.
SignalHold::SignalHold() = default;
SignalHold::~SignalHold() = default;

FolderLock::FolderLock(const std::filesystem::path& folder) {
  const std::filesystem::path name =
      (folder.empty() ? std::filesystem::path(L".") : folder) / L".zelvora.lock";
  // Opened by one run at a time; a second waits up to about half a minute for the first to finish.
  for (int attempt = 0; attempt < 1500; ++attempt) {
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<std::intptr_t>(handle);
      return;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return;
    Sleep(20);
  }
}

FolderLock::~FolderLock() {
  if (held()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

void* allocateLargeBlock(std::size_t size) {
  // Committed pages of VirtualAlloc come zero-filled.
  return ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void backPages(void*, std::size_t) {}

void freeLargeBlock(void* block, std::size_t) {
  ::VirtualFree(block, 0, MEM_RELEASE);
}
