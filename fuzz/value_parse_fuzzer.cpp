// Fuzz target: the integer parse family against a model of strict parsing, valueOf read back by the parsers
// (in every radix, width and pad), and the other parsers and the floating-point valueOf on any input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "text/exception.h"
#include "text/value_format.h"
#include "text/value_parse.h"

namespace {

using Wide = __int128;

// The outcome of a parse: a value, or the kind of the Exception thrown (copied: the Exception owns its text).
struct Outcome {
  bool failed = false;
  std::string kind;
  Wide value = 0;
  bool operator==(const Outcome& other) const {
    return failed == other.failed && (failed ? kind == other.kind : value == other.value);
  }
};

template <typename Parse>
Outcome outcomeOf(Parse parse) {
  Outcome outcome;
  try {
    outcome.value = static_cast<Wide>(parse());
  } catch (const Exception& failure) {
    FUZZ_CHECK(failure.code() == 0);
    FUZZ_CHECK(failure.kind() != nullptr);
    outcome.failed = true;
    outcome.kind = failure.kind();
  }
  return outcome;
}

Outcome failed(const char* kind) {
  return Outcome{true, kind, 0};
}

int digitValue(char16_t unit) {
  if (unit >= '0' && unit <= '9') return unit - '0';
  if (unit >= 'A' && unit <= 'Z') return unit - 'A' + 10;
  if (unit >= 'a' && unit <= 'z') return unit - 'a' + 10;
  return 99;
}

// Strict parsing into [minimum, maximum]: an optional '-' (signed only), a prefix when the radix is 0, then
// digits of the radix; any value of the range is accepted, the smallest signed one in every radix too.
Outcome modelParse(const std::vector<char16_t>& units, int32_t radix, Wide minimum, Wide maximum) {
  bool isSigned = minimum < 0;
  if (units.empty()) return failed(failure::kNumberFormat);
  std::size_t i = 0;
  int sign = 1;
  if (isSigned && units[0] == '-') {
    if (units.size() == 1) return failed(failure::kNumberFormat);
    sign = -1, i = 1;
  }
  int64_t r = radix < 0 ? -static_cast<int64_t>(radix) : radix;
  if (r == 1 || r > 36) return failed(failure::kIllegalArgument);
  if (r == 0) {
    if (units[i] == '0') {
      bool more = i + 1 < units.size();
      if (more && (units[i + 1] == 'x' || units[i + 1] == 'X')) {
        r = 16, i += 2;
      } else if (more && (units[i + 1] == 'b' || units[i + 1] == 'B')) {
        r = 2, i += 2;
      } else {
        r = 8;
      }
      if (i == units.size()) return failed(failure::kNumberFormat);
    } else {
      r = 10;
    }
  }
  // The 64-bit range is checked digit by digit; a narrower type is checked on the result.
  Wide limit = isSigned ? (sign < 0 ? (Wide(1) << 63) : (Wide(1) << 63) - 1) : (Wide(1) << 64) - 1;
  Wide magnitude = 0;
  for (; i < units.size(); ++i) {
    int digit = digitValue(units[i]);
    if (digit >= r) return failed(failure::kNumberFormat);
    magnitude = magnitude * r + digit;
    if (magnitude > limit) return failed(failure::kNumberValue);
  }
  Wide value = sign * magnitude;
  if (value < minimum || value > maximum) return failed(failure::kNumberValue);
  return Outcome{false, "", value};
}

void checkParsers(const UString& text, int32_t radix) {
  std::vector<char16_t> units = fuzz::unitsOf(text);
  FUZZ_CHECK(outcomeOf([&] { return text.toInt16(radix); }) ==
             modelParse(units, radix, INT16_MIN, INT16_MAX));
  FUZZ_CHECK(outcomeOf([&] { return text.toUInt16(radix); }) == modelParse(units, radix, 0, UINT16_MAX));
  FUZZ_CHECK(outcomeOf([&] { return text.toInt32(radix); }) ==
             modelParse(units, radix, INT32_MIN, INT32_MAX));
  FUZZ_CHECK(outcomeOf([&] { return text.toUInt32(radix); }) == modelParse(units, radix, 0, UINT32_MAX));
  FUZZ_CHECK(outcomeOf([&] { return text.toInt64(radix); }) ==
             modelParse(units, radix, INT64_MIN, INT64_MAX));
  FUZZ_CHECK(outcomeOf([&] { return text.toUInt64(radix); }) == modelParse(units, radix, 0, UINT64_MAX));

  // Only the empty text, "false" and texts that read as zero are false.
  Outcome number = modelParse(units, 0, INT64_MIN, INT64_MAX);
  bool falseText = text.isEmpty() || text == UString(u"false") || (!number.failed && number.value == 0);
  FUZZ_CHECK(text.toBool() == !falseText);
  FUZZ_CHECK(outcomeOf([&] { return text.toChar(); }) ==
             (text.isEmpty() ? failed(failure::kIndexOutOfBounds) : Outcome{false, "", text.charAt(0)}));

  // Floating point reads through the platform: it must only not crash, and the empty text fails.
  int floatFailures = 0;
  for (int precision = 0; precision < 3; ++precision) {
    try {
      if (precision == 0) text.toFloat();
      if (precision == 1) text.toDouble();
      if (precision == 2) text.toLongDouble();
    } catch (const Exception& failure) {
      FUZZ_CHECK(failure.code() == 0 && std::strcmp(failure.kind(), failure::kNumberFormat) == 0);
      ++floatFailures;
    }
  }
  if (text.isEmpty()) FUZZ_CHECK(floatFailures == 3);
}

// The text valueOf must give: sign and digits in the radix's alphabet, padded as the pad unit asks.
std::u16string modelFormat(bool negative, uint64_t magnitude, int32_t radix, uint32_t width, char16_t pad) {
  const char* alphabet =
      radix > 0 ? "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ" : "0123456789abcdefghijklmnopqrstuvwxyz";
  int64_t r = radix < 0 ? -static_cast<int64_t>(radix) : radix;
  if (r <= 1 || r > 36) return u"";
  if (width > 999) width = 999;
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(alphabet[magnitude % r]));
    magnitude /= r;
  } while (magnitude != 0);
  if (negative && pad == '0') {
    while (digits.size() + 1 < width) digits.insert(digits.begin(), u'0');
    return u"-" + digits;
  }
  if (negative) digits.insert(digits.begin(), u'-');
  while (digits.size() < width) digits.insert(digits.begin(), pad);
  return digits;
}

std::u16string unitString(const UString& text) {
  return std::u16string(text.units(), text.length());
}

void checkFormatRoundTrip(fuzz::ByteReader& reader) {
  int64_t value = reader.integer<int64_t>();
  uint8_t radixByte = reader.byte();
  // Mostly radices near the valid range, sometimes any 32-bit radix.
  int32_t radix = radixByte == 0xFF ? reader.integer<int32_t>() : static_cast<int8_t>(radixByte) % 40;
  uint32_t width = reader.integer<uint16_t>() % 1200;
  const char16_t pads[] = {u' ', u'0', u'*', u'_', u'1', u'a', u'-'};
  char16_t pad = pads[reader.byte() % (sizeof pads / sizeof pads[0])];

  bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  UString text = valueOf(value, radix, width, pad);
  FUZZ_CHECK(unitString(text) == modelFormat(negative, magnitude, radix, width, pad));
  FUZZ_CHECK(text.length() <= 999);
  if (value >= INT32_MIN && value <= INT32_MAX)
    FUZZ_CHECK(valueOf(static_cast<int32_t>(value), radix, width, pad) == text);
  uint64_t unsignedValue = static_cast<uint64_t>(value);
  FUZZ_CHECK(unitString(valueOf(unsignedValue, radix, width, pad)) ==
             modelFormat(false, unsignedValue, radix, width, pad));

  if (text.isEmpty()) return;
  // The plain form reads back in every parser whose range holds the value.
  UString plain = valueOf(value, radix, 0, u' ');
  checkParsers(plain, radix);
  FUZZ_CHECK(plain.toInt64(radix) == value);
  FUZZ_CHECK(plain.toInt64(-radix) == value);
  FUZZ_CHECK(valueOf(unsignedValue, radix, 0, u' ').toUInt64(radix) == unsignedValue);
  if (pad == u'0') FUZZ_CHECK(text.toInt64(radix) == value);

  // With radix 0 the prefix chooses: 0x for 16, 0b for 2, a leading 0 for 8.
  const char16_t* prefix = radix == 16 || radix == -16 ? u"0x"
                           : radix == 2 || radix == -2 ? u"0B"
                           : radix == 8                ? u"0"
                                                       : nullptr;
  if (prefix != nullptr) {
    std::u16string source = negative ? u"-" : u"";
    source += prefix;
    source += modelFormat(false, magnitude, radix, 0, u' ');
    FUZZ_CHECK(UString(source.c_str()).toInt64(0) == value);
  }
}

void checkFloatFormat(fuzz::ByteReader& reader) {
  double base;
  uint64_t bits = reader.integer<uint64_t>();
  std::memcpy(&base, &bits, sizeof base);
  long double value = static_cast<long double>(base);
  // Now and then beyond the double range, up to the extended one (slow to print, so not too often).
  uint8_t scale = reader.byte();
  for (int i = 0xF8; i < scale; ++i) value *= 1e300L;
  char letter = static_cast<char>(reader.byte());
  uint32_t width = reader.integer<uint32_t>() % 2000;
  int32_t precision = reader.integer<int32_t>();
  if (reader.byte() % 2 == 0) precision %= 1200;  // usually a precision that fits, sometimes any
  const char16_t pads[] = {u' ', u'0', u'*'};
  char16_t pad = pads[reader.byte() % 3];
  UString text = valueOf(value, letter, width, precision, pad);
  // A text that does not fit even without decimals is given as the empty text, never cut.
  FUZZ_CHECK(text.length() <= 999);
  if (!text.isEmpty() && width <= 999) FUZZ_CHECK(text.length() >= width);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::ByteReader reader(data, size);
  switch (reader.byte() % 3) {
    case 0: {
      uint8_t radixByte = reader.byte();
      int32_t radix = radixByte == 0xFF ? reader.integer<int32_t>() : static_cast<int8_t>(radixByte) % 40;
      checkParsers(fuzz::textOf(fuzz::unitsFromBytes(reader.rest(), reader.remaining())), radix);
      break;
    }
    case 1:
      checkFormatRoundTrip(reader);
      break;
    default:
      checkFloatFormat(reader);
      break;
  }
  return 0;
}
