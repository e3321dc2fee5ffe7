// Fuzz target: toUpper, toLower and toTitle in every locale: length bounds, locale tags that must agree,
// and upper- and lower-casing without language rules done one unit at a time.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "charset/case_mapping.h"
#include "fuzz/fuzz_support.h"

namespace {

// Units the special and conditional rules name, and their neighbours, so short inputs reach them.
const char16_t kInteresting[] = {
    0x0049, 0x0069, 0x004A, 0x006A, 0x00CC, 0x00CD, 0x0128, 0x012E, 0x012F, 0x0130, 0x0131, 0x0307, 0x0300,
    0x0301, 0x0303, 0x0316, 0x0345, 0x03A3, 0x03C3, 0x03C2, 0x0391, 0x03B1, 0x0390, 0x03B0, 0x00DF, 0x1E9E,
    0x0149, 0x01F0, 0x0587, 0x01C4, 0x01C5, 0x01C6, 0x01F1, 0x01F2, 0x01F3, 0x1E96, 0x1E9A, 0x1E01, 0x1F50,
    0x1F80, 0x1F88, 0x1FAF, 0x1FB3, 0x1FBC, 0x1FF3, 0x1FFC, 0x1FB7, 0xFB00, 0xFB03, 0xFB06, 0xFB13, 0xFB17,
    0x00FF, 0x0178, 0x0151, 0x0150, 0x0171, 0x0170, 0x00E9, 0x00C9, 0x0020, 0x00A0, 0x2028, 0x3000, 0x0027,
    0x002D, 0xD83D, 0xDE00, 0x0041, 0x0061, 0x1E00, 0x10A0, 0x2D00, 0xA640, 0xFF21, 0xFF41, 0x0345, 0x1DA4};
const int kInterestingCount = sizeof kInteresting / sizeof kInteresting[0];

// Bytes below 0x80 are ASCII units, 0x80 to 0xEF pick from the table above, 0xF0 and up take two bytes.
std::vector<char16_t> unitsFrom(const uint8_t* data, std::size_t size) {
  std::vector<char16_t> units;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] < 0x80) {
      units.push_back(data[i]);
    } else if (data[i] < 0xF0) {
      units.push_back(kInteresting[(data[i] - 0x80) % kInterestingCount]);
    } else if (i + 2 < size) {
      units.push_back(static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8)));
      i += 2;
    }
  }
  return units;
}

struct Mapped {
  UString upper, lower, title;
};

Mapped mapAll(const UString& text, const char* locale) {
  Mapped mapped{toUpper(text, locale), toLower(text, locale), toTitle(text, locale)};
  // One unit gives at most three.
  uint32_t bound = 3 * text.length();
  FUZZ_CHECK(mapped.upper.length() <= bound && mapped.lower.length() <= bound &&
             mapped.title.length() <= bound);
  if (text.isEmpty()) FUZZ_CHECK(mapped.upper.isEmpty() && mapped.lower.isEmpty() && mapped.title.isEmpty());
  return mapped;
}

bool sameMapping(const Mapped& a, const Mapped& b) {
  return a.upper == b.upper && a.lower == b.lower && a.title == b.title;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::vector<char16_t> units = unitsFrom(data, size);
  UString text = fuzz::textOf(units);

  Mapped english = mapAll(text, "en");
  // Tags without a rule of their own all behave as English: null, other languages, and capitals.
  FUZZ_CHECK(sameMapping(mapAll(text, nullptr), english));
  FUZZ_CHECK(sameMapping(mapAll(text, "hu"), english));
  FUZZ_CHECK(sameMapping(mapAll(text, ""), english));
  FUZZ_CHECK(sameMapping(mapAll(text, "TR"), english));
  FUZZ_CHECK(sameMapping(mapAll(text, "LT"), english));
  // The first two letters choose the language; Turkish and Azeri share every rule.
  Mapped turkish = mapAll(text, "tr");
  FUZZ_CHECK(sameMapping(mapAll(text, "tr-TR"), turkish));
  FUZZ_CHECK(sameMapping(mapAll(text, "az"), turkish));
  Mapped lithuanian = mapAll(text, "lt");
  FUZZ_CHECK(sameMapping(mapAll(text, "lt_LT"), lithuanian));

  // Without language rules, upper-casing looks at one unit at a time, and so does lower-casing apart from
  // the final form of capital sigma. (Checked on shorter texts only, which still make the buffer grow.)
  if (units.size() > 600) return 0;
  bool hasSigma = false;
  for (char16_t unit : units) hasSigma = hasSigma || unit == 0x03A3;
  std::vector<char16_t> upperByUnit;
  std::vector<char16_t> lowerByUnit;
  for (char16_t unit : units) {
    UString one = fuzz::textOf({unit});
    for (char16_t mapped : fuzz::unitsOf(toUpper(one, "en"))) upperByUnit.push_back(mapped);
    for (char16_t mapped : fuzz::unitsOf(toLower(one, "en"))) lowerByUnit.push_back(mapped);
  }
  FUZZ_CHECK(fuzz::unitsOf(english.upper) == upperByUnit);
  if (!hasSigma) FUZZ_CHECK(fuzz::unitsOf(english.lower) == lowerByUnit);
  return 0;
}
