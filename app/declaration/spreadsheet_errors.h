// The cells of a line that hold a spreadsheet's error value, and the entry that names it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/read/error_values.h"
#include "app/read/line_reader.h"

// The first of the line's first `columns` fields whose whole value is an error value, or `columns`.
std::size_t firstSpreadsheetError(const LineFields& fields, std::size_t columns);
// The error report's message for such a value, naming it.
std::string spreadsheetErrorMessage(const UString& value);
