// parseQuantity: a quantity field as written by spreadsheet users, read as an exact count of thousandths.
#pragma once

#include <cstdint>
#include <limits>

#include "text/ustring.h"

// Accepts one decimal comma or point, blanks anywhere and minus signs ('-' or U+2212) before all digits or
// after them, never between two (2026-12-05 is a date, not a number); at most 18 significant digits, at
// most 7 after the separator, fewer than 1000 units, and all digits read as one integer must stay in
// signed 64 bits when multiplied by 1000 (the product is taken before the decimals are cut, so
// 12345678901234.5678 is refused). Digits beyond the third decimal are cut toward zero. Throws
// Exception("x", 0) otherwise.
int64_t parseQuantity(const UString& text);

namespace quantity_detail {

// The full walk with every check, for anything but the usual quantity below.
int64_t parseAnyQuantity(const char16_t* units, uint32_t length);
int64_t parseAnyQuantity(const char* bytes, uint32_t length);

// value * 1000 / fractionScale with a division by a constant: a division by a variable costs more than
// the rest of the line. Truncation toward zero is the same either way.
inline int64_t thousandths(int64_t value, int32_t fractionScale) {
  switch (fractionScale) {
    case 10:
      return value * 100;
    case 100:
      return value * 10;
    case 1000:
      return value;
    case 10000:
      return value / 10;
    case 100000:
      return value / 100;
    case 1000000:
      return value / 1000;
    case 10000000:
      return value / 10000;
    default:
      return value * 1000;
  }
}

// Nearly every quantity is digits, perhaps one separator and up to seven digits after it, in at most 18
// units. On those no check can fail but the last (fewer than 18 digits stand before any digit), so they
// are read here, inline in the item step, without them; anything else goes through the full walk.
// The unit's digit, or a number above 9 when it is none (a byte above 0x7F included, char being signed).
template <typename Unit>
unsigned digitOf(Unit unit) {
  return static_cast<unsigned>(unit) - u'0';
}

template <typename Unit>
[[gnu::always_inline]] inline int64_t parseUsualQuantity(const Unit* units, uint32_t length) {
  if (length <= 18) {
    static constexpr int32_t kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
    int64_t accumulator = 0;
    uint32_t i = 0;
    for (; i < length && digitOf(units[i]) <= 9; ++i) accumulator = accumulator * 10 + digitOf(units[i]);
    int32_t fractionScale = 0;
    uint32_t fractionDigits = 0;
    if (i < length && (units[i] == Unit('.') || units[i] == Unit(','))) {
      const uint32_t fractionStart = ++i;
      for (; i < length && digitOf(units[i]) <= 9; ++i) accumulator = accumulator * 10 + digitOf(units[i]);
      fractionDigits = i - fractionStart;
      fractionScale = kScales[fractionDigits < 7 ? fractionDigits : 7];
    }
    // All digits are scaled by 1000 before the division, so the product must fit first.
    if (i == length && fractionDigits <= 7 && accumulator <= std::numeric_limits<int64_t>::max() / 1000) {
      return thousandths(accumulator, fractionScale);
    }
  }
  return parseAnyQuantity(units, length);
}

}  // namespace quantity_detail

// The same over `length` units, for a field that is not cut out of its line.
inline int64_t parseQuantity(const char16_t* units, uint32_t length) {
  return quantity_detail::parseUsualQuantity(units, length);
}
// The same over `length` ASCII bytes, one a unit, for a field of a line that is not decoded.
inline int64_t parseQuantity(const char* bytes, uint32_t length) {
  return quantity_detail::parseUsualQuantity(bytes, length);
}
