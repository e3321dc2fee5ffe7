// The values a spreadsheet writes into a cell whose formula failed: never data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/read/line_reader.h"

// The whole of `units` is such a value: one of Excel's, in English or Hungarian, or LibreOffice's "Err:"
// with three digits. Compared exactly, case included.
bool isSpreadsheetError(const char16_t* units, uint32_t length);
// The same for the bytes of a plain ASCII cell.
bool isSpreadsheetError(const char* bytes, uint32_t length);

// The first of the line's first `columns` fields whose whole value is such a value, or `columns`.
std::size_t firstSpreadsheetError(const LineFields& fields, std::size_t columns);
// The error report's message for such a value, naming it.
std::string spreadsheetErrorMessage(const UString& value);
