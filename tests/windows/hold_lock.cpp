// Test helper: holds a folder's lock as a run of zelvora.exe holds it, from "held" on its standard output
// until its standard input ends.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: hold_lock FOLDER\n", stderr);
    return 2;
  }
  const std::wstring name = std::wstring(argv[1]) + L"\\.zelvora.lock";
  const HANDLE lock = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (lock == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "the lock could not be taken: error %lu\n", GetLastError());
    return 1;
  }
  std::puts("held");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  CloseHandle(lock);
  return 0;
}
