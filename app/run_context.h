// RunContext: what one conversion run holds while its lines are handled.
#pragma once

#include <cstdint>
#include <cstdio>

#include "app/error_report.h"
#include "app/item_table.h"
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

  // Every reported problem is an entry under the current line number and a cleared ok flag.
  void report(const char* message) {
    writeErrorEntry(errors, lineNumber, message);
    ok = false;
  }
};
