// Fuzz target: parseQuantity against a model computed in 128-bit arithmetic, from units and from the bytes
// of a plain line, and the same number written with the other decimal separator or with blanks between its
// units; every text it refuses under the length limit has a reason the terminal can give.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/declaration/entry_reasons.h"
#include "app/declaration/quantity.h"
#include "fuzz/fuzz_support.h"
#include "text/exception.h"

namespace {

using Wide = __int128;

struct Outcome {
  bool rejected = false;
  int64_t thousandths = 0;
  bool operator==(const Outcome& other) const {
    return rejected == other.rejected && (rejected || thousandths == other.thousandths);
  }
};

Outcome parsed(const UString& text) {
  try {
    return Outcome{false, parseQuantity(text)};
  } catch (const Exception& failure) {
    FUZZ_CHECK(failure.code() == 0);
    FUZZ_CHECK(failure.kind() != nullptr && std::strcmp(failure.kind(), "x") == 0);
    return Outcome{true, 0};
  }
}

// Minus signs ('-' or U+2212) before the first digit or after the last, one separator, blanks ignored, at
// most 18 significant digits and 7 decimals, fewer than 1000 units; all digits times 1000 must fit in
// signed 64 bits before the cut toward zero.
Outcome model(const std::vector<char16_t>& units) {
  const Outcome rejected{true, 0};
  if (units.size() >= 1000) return rejected;
  std::size_t firstDigit = units.size();
  std::size_t lastDigit = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] < u'0' || units[i] > u'9') continue;
    firstDigit = std::min(firstDigit, i);
    lastDigit = i;
  }
  int sign = 1;
  Wide accumulator = 0;
  Wide scale = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (unit == u'-' || unit == u'\u2212') {
      if (i > firstDigit && i < lastDigit) return rejected;
      sign = -1;
    } else if (unit == u'.' || unit == u',') {
      if (scale != 0) return rejected;
      scale = 1;
    } else if (unit == u' ') {
      continue;
    } else if (unit >= u'0' && unit <= u'9') {
      if (accumulator >= Wide(100000000000000000)) return rejected;
      accumulator = accumulator * 10 + (unit - u'0');
      if (scale != 0) {
        if (scale >= 10000000) return rejected;
        scale *= 10;
      }
    } else {
      return rejected;
    }
  }
  Wide product = sign * accumulator * 1000;
  if (product > INT64_MAX || product < INT64_MIN) return rejected;
  Wide value = scale <= 1 ? product : product / scale;  // C++ division truncates toward zero
  return Outcome{false, static_cast<int64_t>(value)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::vector<char16_t> units = fuzz::unitsFromBytes(data, size);
  Outcome outcome = parsed(fuzz::textOf(units));
  FUZZ_CHECK(outcome == model(units));
  if (outcome.rejected && units.size() < 1000) {
    FUZZ_CHECK(invalidNumberReason(fuzz::textOf(units)).reason != Reason::None);
  }

  // The bytes of a plain line are read as its units are.
  if (std::all_of(units.begin(), units.end(), [](char16_t unit) { return unit < 0x80; })) {
    const std::string bytes(units.begin(), units.end());
    Outcome fromBytes{true, 0};
    try {
      fromBytes = Outcome{false, parseQuantity(bytes.data(), static_cast<uint32_t>(bytes.size()))};
    } catch (const Exception&) {
    }
    FUZZ_CHECK(fromBytes == outcome);
  }

  // A decimal point and a decimal comma mean the same.
  std::vector<char16_t> swapped = units;
  for (char16_t& unit : swapped) unit = unit == u'.' ? u',' : unit == u',' ? u'.' : unit;
  FUZZ_CHECK(parsed(fuzz::textOf(swapped)) == outcome);

  // Blanks between the units change nothing while the text stays under the length limit.
  if (2 * units.size() + 1 < 1000) {
    std::vector<char16_t> spaced{u' '};
    for (char16_t unit : units) spaced.insert(spaced.end(), {unit, u' '});
    FUZZ_CHECK(parsed(fuzz::textOf(spaced)) == outcome);
  }
  return 0;
}
