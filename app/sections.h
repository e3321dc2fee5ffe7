// The handlers of the opening sections: the two chapter lines and the identification line.
#pragma once

#include <vector>

#include "app/run_context.h"

// States 0 and 2: accepts the chapter line "0;1" or "1;1", writes its section and moves the state on;
// otherwise reports the missing line and stops.
LineOutcome handleChapterLine(RunContext& run, const std::vector<UString>& fields);
// State 1: checks and writes the identification line, sets the form code; stops only on a bad MC01.
LineOutcome handleIdentificationLine(RunContext& run, const std::vector<UString>& fields);
