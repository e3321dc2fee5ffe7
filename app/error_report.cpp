// writeErrorEntry and fillPath: the texts of the error report and of the closing message.
#include "app/error_report.h"

#include <cstring>
#include <string>

#include "app/messages.h"

void writeErrorEntry(std::FILE* errorFile, int32_t lineNumber, const char* message) {
  std::string entry = std::to_string(lineNumber);
  entry += ". sor / line ";
  entry += std::to_string(lineNumber);
  entry += "\r\n ";
  for (const char* c = message; *c != '\0'; ++c) {
    if (*c == '\n') entry += '\r';
    entry += *c;
  }
  entry += "\r\n\r\n";
  std::fwrite(entry.data(), 1, entry.size(), errorFile);
}

std::string fillPath(std::string_view pattern, std::string_view path) {
  return fillPaths(pattern, path, path);
}

std::string fillPaths(std::string_view pattern, std::string_view first, std::string_view second) {
  std::string text;
  text.reserve(pattern.size() + 2 * (first.size() + second.size()));
  bool secondNext = false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
      text += secondNext ? second : first;
      secondNext = !secondNext;
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}
