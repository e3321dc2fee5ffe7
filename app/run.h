// runConversion: one run from the chosen input to the kept file and the closing text; front ends show it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "app/write/error_report.h"
#include "app/write/result_file.h"

enum class RunIcon { Information, Error };

struct RunOutcome {
  // ISO-8859-2 bytes, Hungarian first, then English; the file named in it is in ISO-8859-2 too, where a
  // letter that code page lacks reads '?', so front ends show `pattern` with `named` instead.
  std::string closingText;
  RunIcon icon = RunIcon::Error;
  int exitStatus = 1;
  // What the error report holds when the run kept it: its first entries and their count.
  ReportEntries entries{};
  // The catalogue text that closingText fills in, each "%s" with the file `named` (none for "File not
  // found"); empty when closingText names no file.
  const char* pattern = "";
  std::filesystem::path named{};
};

// Converts `input` into "<name>-output.csv" beside it, or writes "<name>-error.txt" when problems were
// found; exactly one of them is left after a run that got past reading the input, none otherwise.
// Each call owns its files, context and item table, so runs are independent.
RunOutcome runConversion(const std::filesystem::path& input);
// The same as one of several runs of a call: no run replaces or removes a result that an earlier one put
// in place (by `placed`), but fails with the text that names both inputs.
RunOutcome runConversion(const std::filesystem::path& input, PlacedResults& placed);

// For tests: runs between the two reads of an input with a size, standing in for another program that
// changes the file then. Empty by default.
void setBetweenInputReadsHook(std::function<void()> hook);
