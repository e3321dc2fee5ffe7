// parseQuantity: one pass over the units, no allocation except the exception on rejection.
#include "app/quantity.h"

#include <limits>

#include "text/exception.h"

namespace {

[[noreturn]] void reject() {
  throw Exception("x", 0);
}

}  // namespace

int64_t parseQuantity(const UString& text) {
  return parseQuantity(text.units(), text.length());
}

int64_t parseQuantity(const char16_t* units, uint32_t length) {
  if (length > 999) reject();
  int64_t sign = 1;
  int64_t accumulator = 0;
  int32_t fractionScale = 0;  // 0: no separator yet; else 10 to the number of digits after it
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
    } else if (unit == u'-') {
      sign = -1;
    } else if (unit == u'.' || unit == u',') {
      if (fractionScale != 0) reject();
      fractionScale = 1;
    } else if (unit != u' ') {
      reject();
    }
  }
  // All digits are scaled by 1000 before the division, so the product must fit first.
  if (accumulator > std::numeric_limits<int64_t>::max() / 1000) reject();
  const int64_t thousandths = sign * accumulator * 1000;
  return fractionScale <= 1 ? thousandths : thousandths / fractionScale;
}
