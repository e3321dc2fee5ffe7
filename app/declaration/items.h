// The item step of the line loop: each item line checked and merged into the run's ItemTable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/read/line_reader.h"
#include "app/run_context.h"

// State 3: merges one item line into the run's ItemTable, or reports it and adds nothing: a key cell
// holding a ';', a cell holding a line break, a key cell missing or of a form the office refuses, an
// invalid number (also for a line that would carry a total out of the signed 64-bit range). Lines of fewer
// than three fields, and lines whose key cells are empty and quantities empty or zero (rows a template
// prepares), are left out. Always continues. The line may wait in the table's queue: settleItems() merges
// it, and must run before any other entry of the error report is written and before the item section.
LineOutcome handleItemLine(RunContext& run, const LineFields& fields);
// Merges the item lines still waiting and reports those that would have carried a total out of range.
void settleItems(RunContext& run);
