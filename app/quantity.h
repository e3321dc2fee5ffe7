// parseQuantity: a quantity field as written by spreadsheet users, read as an exact count of thousandths.
#pragma once

#include <cstdint>

#include "text/ustring.h"

// Accepts one decimal comma or point, blanks anywhere and minus signs ('-' or U+2212) before all digits or
// after them, never between two (2026-12-05 is a date, not a number); at most 18 significant digits, at
// most 7 after the separator, fewer than 1000 units, and all digits read as one integer must stay in
// signed 64 bits when multiplied by 1000 (the product is taken before the decimals are cut, so
// 12345678901234.5678 is refused). Digits beyond the third decimal are cut toward zero. Throws
// Exception("x", 0) otherwise.
int64_t parseQuantity(const UString& text);
// The same over `length` units, for a field that is not cut out of its line.
int64_t parseQuantity(const char16_t* units, uint32_t length);
// The same over `length` ASCII bytes, one a unit, for a field of a line that is not decoded.
int64_t parseQuantity(const char* bytes, uint32_t length);
