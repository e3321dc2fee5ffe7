// Platform file calls of the run: open and delete by a path of this platform, and the path as text.
#pragma once

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
