// Reading the vendored Unicode data files at test time: their path and their ';'-separated fields.
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace ucd_files {

inline std::string sourcePath(const char* relative) {
  const char* root = std::getenv("ZELVORA_SOURCE_DIR");
  return std::string(root != nullptr ? root : "../..") + "/" + relative;
}

// Every field of a data line, an empty last one included.
inline std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, ';')) fields.push_back(field);
  if (!line.empty() && line.back() == ';') fields.push_back("");
  return fields;
}

}  // namespace ucd_files
