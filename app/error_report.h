// writeErrorEntry: one numbered bilingual entry of the error report.
#pragma once

#include <cstdint>
#include <cstdio>

// Writes "<n>. sor / line <n>", a blank and the message (each of its line feeds as CR LF) and an empty
// line, all ended by CR LF. The caller clears the run's ok flag.
void writeErrorEntry(std::FILE* errorFile, int32_t lineNumber, const char* message);
