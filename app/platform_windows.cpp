// Platform file calls on Windows: wide paths through _wfopen and _wunlink.
#include <stdio.h>
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
