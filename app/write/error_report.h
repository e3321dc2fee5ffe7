// Report entries: the problems of a run as data, and their two renderings (the report file, the terminal).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/declaration/entry_reasons.h"
#include "text/ustring.h"

// One problem found in the input. An entry about one cell names its column as the header spells it and
// holds the cell as read; an entry about a whole line, or about no single cell, leaves `column` empty.
struct ReportEntry {
  int32_t lineNumber = 0;
  std::string message;  // ISO-8859-2, from the catalogue
  std::string column;
  UString value;  // at most kShownValueUnits units; `valueCut` when the cell was longer
  bool valueCut = false;
  // Shown on a terminal under the message; the report file leaves it out.
  EntryReason reason{};
};

// The longest cell value an entry holds; a longer one is cut and shown with "...".
inline constexpr uint32_t kShownValueUnits = 60;

// The entries of a run as the terminal shows them: the first few and how many there were in all, so that a
// file with millions of bad lines costs no more memory than one with twenty.
struct ReportEntries {
  static constexpr std::size_t kKept = 20;
  std::vector<ReportEntry> first;
  uint64_t count = 0;

  void add(ReportEntry entry) {
    if (first.size() < kKept) first.push_back(std::move(entry));
    ++count;
  }
};

// An entry about the cell `value` of `column`, its value cut to kShownValueUnits.
ReportEntry cellEntry(int32_t lineNumber, const char* message, const char* column, const UString& value);

// The entry as the error report holds it: "<n>. sor / line <n>", a blank and the message, an empty line,
// every line ended by CR LF, in ISO-8859-2. The column and value are not part of the file.
std::string reportFileText(const ReportEntry& entry);
// Writes reportFileText of an entry without a cell. The caller clears the run's ok flag.
void writeErrorEntry(std::FILE* errorFile, int32_t lineNumber, const char* message);

// The entry for a terminal, in UTF-8 with LF line ends: the report's layout, and behind the line number
// the column and the value as read (` KGM: "1.250,5"`), and under the message the reason when the entry
// has one. Control characters of the value are shown as U+FFFD, so a cell can never drive the terminal.
std::string terminalText(const ReportEntry& entry);
// The terminal's line for the entries not shown, `more` of them; UTF-8.
std::string terminalMoreText(uint64_t more);
