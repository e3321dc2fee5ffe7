// Reading back a folder of results: every name with its bytes, and the hidden temporary names.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/app/run_support.h"

namespace result_folder {

// Every name in the folder with its bytes, sorted by name.
inline std::vector<std::pair<std::string, std::string>> contents(const std::filesystem::path& folder) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    found.emplace_back(entry.path().filename().string(), readBytes(entry.path()));
  }
  std::sort(found.begin(), found.end());
  return found;
}

using Contents = std::vector<std::pair<std::string, std::string>>;

inline bool isTemporaryName(const std::string& name) {
  return name.size() == 9 + 16 + 4 && name.rfind(".zelvora-", 0) == 0 &&
         name.compare(name.size() - 4, 4, ".tmp") == 0;
}

}  // namespace result_folder
