// The item section that closes the output file, and the writing of a total.
#pragma once

#include <cstdint>
#include <string>

#include "app/run_context.h"

// Writes the item header for the run's form and one numbered row per key, in first-seen order.
void writeItemSection(const RunContext& run);

// A total of thousandths as written in a row: empty for 0, whole units (cut) from 1000 up, and three
// decimals from 1 to 999 and for every negative total.
std::string formatTotal(int64_t thousandths);
