// Report entries rendered for the error report and for a terminal, and fillPath for the closing texts.
#include "app/write/error_report.h"

#include <cstring>
#include <string>

#include "app/declaration/messages.h"
#include "charset/charset.h"

namespace {

std::string utf8(const UString& text) {
  return encodedString(text, "UTF-8");
}

std::string utf8FromLatin2(const std::string& bytes) {
  return utf8(decodeBytes(bytes.data(), bytes.size(), "ISO-8859-2"));
}

// C0 and C1 controls and DEL become U+FFFD: escape sequences in a cell stay inert on the terminal.
UString shownValue(const UString& value) {
  UStringBuffer shown(value.length());
  for (uint32_t i = 0; i < value.length(); ++i) {
    const char16_t unit = value.units()[i];
    const bool control = unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
    shown.data()[i] = control ? u'\uFFFD' : unit;
  }
  return shown.finish();
}

}  // namespace

ReportEntry cellEntry(int32_t lineNumber, const char* message, const char* column, const UString& value) {
  ReportEntry entry{lineNumber, message, column, value, false};
  if (value.length() > kShownValueUnits) {
    entry.value = value.substring(0, kShownValueUnits);
    entry.valueCut = true;
  }
  return entry;
}

std::string reportFileText(const ReportEntry& entry) {
  std::string text = std::to_string(entry.lineNumber);
  text += ". sor / line ";
  text += std::to_string(entry.lineNumber);
  text += "\r\n ";
  for (char c : entry.message) {
    if (c == '\n') text += '\r';
    text += c;
  }
  text += "\r\n\r\n";
  return text;
}

void writeErrorEntry(std::FILE* errorFile, int32_t lineNumber, const char* message) {
  const std::string text = reportFileText(ReportEntry{lineNumber, message, {}, {}, false});
  std::fwrite(text.data(), 1, text.size(), errorFile);
}

std::string terminalText(const ReportEntry& entry) {
  std::string text = std::to_string(entry.lineNumber);
  text += ". sor / line ";
  text += std::to_string(entry.lineNumber);
  if (!entry.column.empty()) {
    text += ' ';
    text += entry.column;
    text += ": \"";
    text += utf8(shownValue(entry.value));
    if (entry.valueCut) text += "...";
    text += '"';
  }
  text += "\n ";
  text += utf8FromLatin2(entry.message);
  text += '\n';
  text += reasonTerminalText(entry.reason);
  text += '\n';
  return text;
}

std::string terminalMoreText(uint64_t more) {
  return utf8FromLatin2(fillPath(message::kMoreEntries, std::to_string(more))) + "\n";
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
