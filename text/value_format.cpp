// valueOf: texts from code units, truth values, integers in any radix and floating-point values.
#include "text/value_format.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr char kLowerDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr uint32_t kMaxWidth = 999;
constexpr std::size_t kBufferSize = 1000;

// Copies through the sized construction, not construction from units: a pad unit of zero must not
// cut the text short.
UString fromBuffer(const char16_t* units, std::size_t length) {
  if (length == 0) return UString();
  UStringBuffer text(static_cast<uint32_t>(length));
  std::memcpy(text.data(), units, length * sizeof(char16_t));
  return text.finish();
}

// The text is built right to left at the end of a fixed buffer; digits and sign take at most 65 units
// and the width at most 999, so it always fits.
UString formatInteger(uint64_t magnitude, bool negative, int32_t radix, uint32_t width, char16_t pad) {
  const char* alphabet = radix < 0 ? kLowerDigits : kUpperDigits;
  // Widened before negating: the smallest 32-bit radix has no 32-bit magnitude.
  int64_t base = radix < 0 ? -static_cast<int64_t>(radix) : radix;
  if (base <= 1 || base > 36) return UString();
  if (width > kMaxWidth) width = kMaxWidth;

  char16_t buffer[kBufferSize];
  std::size_t start = kBufferSize;
  do {
    buffer[--start] = static_cast<char16_t>(alphabet[magnitude % static_cast<uint64_t>(base)]);
    magnitude /= static_cast<uint64_t>(base);
  } while (magnitude != 0);

  if (negative && pad == u'0') {
    // Zeros go between the sign and the digits.
    while (kBufferSize - start + 1 < width) buffer[--start] = u'0';
    buffer[--start] = u'-';
  } else {
    if (negative) buffer[--start] = u'-';
    while (kBufferSize - start < width) buffer[--start] = pad;
  }
  return fromBuffer(buffer + start, kBufferSize - start);
}

bool isConversionLetter(char letter) {
  switch (letter) {
    case 'A':
    case 'a':
    case 'E':
    case 'e':
    case 'F':
    case 'f':
    case 'G':
    case 'g':
      return true;
    default:
      return false;
  }
}

}  // namespace

UString valueOf(char16_t unit) {
  if (unit == 0) return UString();
  return UString(&unit, 1);
}

UString valueOf(bool value) {
  return UString(value ? u"true" : u"false");
}

UString valueOf(int64_t value, int32_t radix, uint32_t width, char16_t pad) {
  bool negative = value < 0;
  // Negated in unsigned arithmetic, so the smallest value keeps all its digits.
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  return formatInteger(magnitude, negative, radix, width, pad);
}

UString valueOf(uint64_t value, int32_t radix, uint32_t width, char16_t pad) {
  return formatInteger(value, false, radix, width, pad);
}

UString valueOf(int32_t value, int32_t radix, uint32_t width, char16_t pad) {
  return valueOf(static_cast<int64_t>(value), radix, width, pad);
}

UString valueOf(long double value, char letter, uint32_t width, int32_t precision, char16_t pad) {
  if (!isConversionLetter(letter)) letter = 'G';
  if (width > kMaxWidth) width = kMaxWidth;
  if (precision < 0) precision = 0;
  // Under A, E and F every precision digit is written, so above 999 nothing fits; under G a lower
  // cap does not change a text that fits. The cap keeps the platform from building huge texts.
  if (precision > static_cast<int32_t>(kMaxWidth)) precision = static_cast<int32_t>(kMaxWidth);

  char widthText[16] = "";
  if (width > 0) std::snprintf(widthText, sizeof widthText, "%d", static_cast<int>(width));

  // A text longer than 999 bytes is never cut: a cut number would read as a different value. The
  // precision is lowered until the whole text fits (still correctly rounded); when even precision 0
  // does not fit (F of a value above 10^999), the result is the empty text.
  char text[kBufferSize];
  int written = 0;
  for (;;) {
    char format[64];
    std::snprintf(format, sizeof format, "%%%s%s.%dL%c", pad == u'0' ? "0" : "", widthText, precision,
                  letter);
    written = std::snprintf(text, sizeof text, format, value);
    if (written < 0) return UString();
    if (static_cast<std::size_t>(written) < kBufferSize) break;
    if (precision == 0) return UString();
    int excess = written - static_cast<int>(kBufferSize - 1);
    precision = excess < precision ? precision - excess : 0;
  }

  char16_t units[kBufferSize];
  bool padIsSpaceOrZero = pad == u' ' || pad == u'0';
  for (int i = 0; i < written; ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    units[i] = byte == ' ' && !padIsSpaceOrZero ? pad : static_cast<char16_t>(byte);
  }
  return fromBuffer(units, static_cast<std::size_t>(written));
}
