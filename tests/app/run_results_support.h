// What the runs against the result names share: two inputs, the names in a folder, the kept file.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/run.h"
#include "tests/app/run_support.h"

#ifndef _WIN32
namespace run_results {

namespace fs = std::filesystem;

inline const std::string kGood = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n1;1;1;AT;CN;1,5\r\n";
inline const std::string kBad = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n1;1;1;AT;CN;1.000.000\r\n";

inline std::string named(const char* pattern, const fs::path& path) {
  return fillPath(pattern, path.string());
}

// The names in the folder, sorted.
inline std::vector<std::string> names(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) found.push_back(entry.path().filename().string());
  std::sort(found.begin(), found.end());
  return found;
}

inline bool isTemporaryName(const std::string& name) {
  return name.size() > 5 && name[0] == '.' && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// What the run would keep for the input, worked out in a folder of its own.
inline std::string keptFor(const std::string& input) {
  ScratchFolder folder;
  return convertBytes(folder, input).kept;
}

}  // namespace run_results
#endif
