// The values a spreadsheet writes into a cell whose formula failed: never data, and never a comment.
#pragma once

#include <cstdint>

// The whole of `units` is such a value: one of Excel's, in English or Hungarian, or LibreOffice's "Err:"
// with three digits. Compared exactly, case included.
bool isSpreadsheetError(const char16_t* units, uint32_t length);
// The same for the bytes of a plain ASCII cell.
bool isSpreadsheetError(const char* bytes, uint32_t length);
