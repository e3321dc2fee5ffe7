// parseQuantity: one pass over the units, no allocation except the exception on rejection.
#include "app/declaration/quantity.h"

#include <limits>

#include "text/exception.h"

namespace {

[[noreturn]] void reject() {
  throw Exception("x", 0);
}

// The result from the sign, all digits read as one integer and the fraction scale (0 or 1 without
// digits after a separator, else 10 to their number, at most 10,000,000).
int64_t thousandthsOf(int64_t sign, int64_t accumulator, int32_t fractionScale) {
  // All digits are scaled by 1000 before the division, so the product must fit first.
  if (accumulator > std::numeric_limits<int64_t>::max() / 1000) reject();
  return quantity_detail::thousandths(sign * accumulator, fractionScale);
}

using quantity_detail::digitOf;

template <typename Unit>
bool holdsDigit(const Unit* units, uint32_t from, uint32_t to) {
  for (uint32_t i = from; i < to; ++i) {
    if (digitOf(units[i]) <= 9) return true;
  }
  return false;
}

template <typename Unit>
int64_t parseAnyUnits(const Unit* units, uint32_t length) {
  if (length > 999) reject();
  int64_t sign = 1;
  int64_t accumulator = 0;
  int32_t fractionScale = 0;  // 0: no separator yet; else 10 to the number of digits after it
  // A minus sign between digits makes no number but a date (2026-12-05) or a range (1-2): the first minus
  // sign after a digit, checked against the digits after it once the walk is done. Digits before a minus
  // sign are looked for from the previous one on, so each unit is looked at once.
  uint32_t minusAfterDigit = length;
  uint32_t lookedAt = 0;
  for (uint32_t i = 0; i < length; ++i) {
    const char16_t unit = units[i];
    // Digits first: nearly every unit is one.
    const unsigned digit = static_cast<unsigned>(unit) - u'0';
    if (digit <= 9) {
      if (accumulator >= 100000000000000000) reject();
      accumulator = accumulator * 10 + digit;
      if (fractionScale != 0) {
        if (fractionScale > 9999999) reject();
        fractionScale *= 10;
      }
    } else if (unit == u'-' || unit == u'\u2212') {  // U+2212 MINUS SIGN, as some spreadsheets write it
      sign = -1;
      if (minusAfterDigit == length) {
        if (holdsDigit(units, lookedAt, i)) minusAfterDigit = i;
        lookedAt = i;
      }
    } else if (unit == u'.' || unit == u',') {
      if (fractionScale != 0) reject();
      fractionScale = 1;
    } else if (unit != u' ') {
      reject();
    }
  }
  if (holdsDigit(units, minusAfterDigit, length)) reject();
  return thousandthsOf(sign, accumulator, fractionScale);
}

}  // namespace

int64_t parseQuantity(const UString& text) {
  return parseQuantity(text.units(), text.length());
}

int64_t quantity_detail::parseAnyQuantity(const char16_t* units, uint32_t length) {
  return parseAnyUnits(units, length);
}

int64_t quantity_detail::parseAnyQuantity(const char* bytes, uint32_t length) {
  return parseAnyUnits(reinterpret_cast<const unsigned char*>(bytes), length);
}
