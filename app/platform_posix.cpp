// Platform file calls on POSIX: paths are bytes, shown as UTF-8.
#include <unistd.h>

#include "app/platform.h"
#include "charset/charset.h"

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
