// RunContext: what one conversion run holds while its lines are handled.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "app/declaration/item_table.h"
#include "app/write/error_report.h"
#include "text/ustring.h"

// A handler's answer: read the next line, or read no further line.
enum class LineOutcome { Continue, Stop };

inline constexpr int kIdentificationFieldCount = 15;

struct RunContext {
  std::FILE* output = nullptr;
  std::FILE* errors = nullptr;
  // 0: awaits the first chapter line, 1: the identification line, 2: the second chapter line, 3: items.
  int32_t lineState = 0;
  // Lines read so far; while a line is handled, its own 1-based number.
  int32_t lineNumber = 0;
  // Cleared by every reported problem, never set back.
  bool ok = true;
  // The value of MC01 once the identification line has passed its check, else 0.
  int32_t formCode = 0;
  UString identification[kIdentificationFieldCount];
  ItemTable items;
  // The first entries of the report and their count, for the terminal; the file gets every entry.
  ReportEntries entries;

  // The opening sections of the output file, in the order the handlers give them.
  void writeOutput(const std::string& text) { std::fwrite(text.data(), 1, text.size(), output); }
  // Every reported problem is an entry under the current line number and a cleared ok flag.
  void report(const char* message, EntryReason reason = {}) {
    record(ReportEntry{lineNumber, message, {}, {}, false, std::move(reason)});
  }
  // A problem with one cell: the column as the header spells it and the cell as read.
  void report(const char* message, const char* column, const UString& value, EntryReason reason = {}) {
    ReportEntry entry = cellEntry(lineNumber, message, column, value);
    entry.reason = std::move(reason);
    record(std::move(entry));
  }
  // An entry for a line before the current one (lines merged late by the item table).
  void record(ReportEntry entry) {
    const std::string text = reportFileText(entry);
    std::fwrite(text.data(), 1, text.size(), errors);
    entries.add(std::move(entry));
    ok = false;
  }
};
