// The handlers of the opening sections: the two chapter lines and the identification line.
#pragma once

#include "app/read/line_reader.h"
#include "app/run_context.h"

// States 0 and 2: accepts the chapter line "0;1" or "1;1", writes its section and moves the state on;
// otherwise reports the missing line and stops.
LineOutcome handleChapterLine(RunContext& run, const LineFields& fields);
// State 1: checks and writes the identification line, sets the form code; stops only on a bad MC01. A
// field holding a ';', which the declaration file cannot hold, is reported when the other checks passed.
LineOutcome handleIdentificationLine(RunContext& run, const LineFields& fields);
