// The parse family of UString: strict integers in any radix, truth values, code units and floating point.
#include "text/value_parse.h"

#include <cstdint>
#include <cwchar>
#include <limits>
#include <string>

namespace {

constexpr uint64_t kInt64MaxMagnitude = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
constexpr uint64_t kInt64MinMagnitude = kInt64MaxMagnitude + 1;

[[noreturn]] void fail(const char* kind) {
  throw Exception(kind, 0);
}

int digitValue(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  if (unit >= u'A' && unit <= u'Z') return unit - u'A' + 10;
  if (unit >= u'a' && unit <= u'z') return unit - u'a' + 10;
  return -1;
}

// The radix without its sign; 0 means that the text names it. Widened before negating: the smallest
// 32-bit radix has no 32-bit magnitude.
uint32_t checkedRadix(int32_t radix) {
  int64_t magnitude = radix < 0 ? -static_cast<int64_t>(radix) : radix;
  if (magnitude == 1 || magnitude > 36) fail(failure::kIllegalArgument);
  return static_cast<uint32_t>(magnitude);
}

// For radix 0: "0x" or "0X" means 16, "0b" or "0B" means 2, another leading '0' means 8 (that '0' is
// read as a digit), anything else 10. Returns the position of the first digit.
uint32_t readRadixPrefix(const UString& text, uint32_t position, uint32_t& radix) {
  if (radix != 0) return position;
  if (text.charAt(position) != u'0') {
    radix = 10;
    return position;
  }
  char16_t next = text.charAt(position + 1);
  if (next == u'x' || next == u'X') {
    radix = 16;
    position += 2;
  } else if (next == u'b' || next == u'B') {
    radix = 2;
    position += 2;
  } else {
    radix = 8;
  }
  if (position >= text.length()) fail(failure::kNumberFormat);
  return position;
}

// Digits from the left; each is checked for the radix before the value is checked for overflow, so
// the first fault met decides the kind. The overflow test is exact, m * radix + digit > maxMagnitude
// worked out without overflowing: the smallest 64-bit value is accepted in every radix, including the
// powers of two, where 2^63 / radix leaves no remainder.
uint64_t readMagnitude(const UString& text, uint32_t position, uint32_t radix, uint64_t maxMagnitude) {
  uint64_t magnitude = 0;
  for (uint32_t i = position; i < text.length(); ++i) {
    int digit = digitValue(text.charAt(i));
    if (digit < 0 || static_cast<uint32_t>(digit) >= radix) fail(failure::kNumberFormat);
    if (magnitude > (maxMagnitude - static_cast<uint64_t>(digit)) / radix) fail(failure::kNumberValue);
    magnitude = magnitude * radix + static_cast<uint64_t>(digit);
  }
  return magnitude;
}

// Hands the zero-terminated units to the wide-character formatted input. Where wchar_t is wider than a
// code unit they are widened first (one wchar_t per unit), so the same units give the same result as
// where wchar_t is 16 bits; the buffer grows with the text.
template <typename Value>
Value scanFloating(const UString& text, const wchar_t* format) {
  Value value{};
  int converted = 0;
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    converted = std::swscanf(reinterpret_cast<const wchar_t*>(text.units()), format, &value);
  } else {
    std::wstring wide(text.length(), L'\0');
    for (uint32_t i = 0; i < text.length(); ++i) wide[i] = static_cast<wchar_t>(text.charAt(i));
    converted = std::swscanf(wide.c_str(), format, &value);
  }
  if (converted != 1) fail(failure::kNumberFormat);
  return value;
}

}  // namespace

char16_t UString::toChar() const {
  if (isEmpty()) fail(failure::kIndexOutOfBounds);
  return charAt(0);
}

bool UString::toBool() const {
  if (isEmpty()) return false;
  static const UString falseText(u"false");
  if (equals(falseText)) return false;
  try {
    return toInt64(0) != 0;
  } catch (Exception&) {
    return true;
  }
}

int64_t UString::toInt64(int32_t radix) const {
  if (isEmpty()) fail(failure::kNumberFormat);
  bool negative = charAt(0) == u'-';
  if (negative && length() == 1) fail(failure::kNumberFormat);
  uint32_t base = checkedRadix(radix);
  uint32_t position = readRadixPrefix(*this, negative ? 1 : 0, base);
  uint64_t magnitude =
      readMagnitude(*this, position, base, negative ? kInt64MinMagnitude : kInt64MaxMagnitude);
  // Negated in unsigned arithmetic; the conversion to int64_t is exact for every magnitude up to 2^63.
  return static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
}

uint64_t UString::toUInt64(int32_t radix) const {
  if (isEmpty()) fail(failure::kNumberFormat);
  uint32_t base = checkedRadix(radix);
  uint32_t position = readRadixPrefix(*this, 0, base);
  return readMagnitude(*this, position, base, std::numeric_limits<uint64_t>::max());
}

int16_t UString::toInt16(int32_t radix) const {
  int64_t value = toInt64(radix);
  if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max()) {
    fail(failure::kNumberValue);
  }
  return static_cast<int16_t>(value);
}

uint16_t UString::toUInt16(int32_t radix) const {
  uint64_t value = toUInt64(radix);
  if (value > std::numeric_limits<uint16_t>::max()) fail(failure::kNumberValue);
  return static_cast<uint16_t>(value);
}

int32_t UString::toInt32(int32_t radix) const {
  int64_t value = toInt64(radix);
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    fail(failure::kNumberValue);
  }
  return static_cast<int32_t>(value);
}

uint32_t UString::toUInt32(int32_t radix) const {
  uint64_t value = toUInt64(radix);
  if (value > std::numeric_limits<uint32_t>::max()) fail(failure::kNumberValue);
  return static_cast<uint32_t>(value);
}

float UString::toFloat() const {
  return scanFloating<float>(*this, L"%f");
}

double UString::toDouble() const {
  return scanFloating<double>(*this, L"%lf");
}

long double UString::toLongDouble() const {
  return scanFloating<long double>(*this, L"%Lf");
}
