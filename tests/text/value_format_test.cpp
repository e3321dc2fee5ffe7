// valueOf: integer digits, widths and pads, truth values, code units and the floating-point form.
#include "text/value_format.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "show_units.h"

namespace {

struct FormatCase {
  const char* behaviour;
  std::function<UString()> format;
  std::string expected;
};

void expectAll(const std::vector<FormatCase>& cases) {
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.behaviour);
    EXPECT_EQ(show(c.format()), c.expected);
  }
}

constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();
constexpr uint64_t kUInt64Max = std::numeric_limits<uint64_t>::max();

TEST(ValueOfInteger, WidthsPadsAndSigns) {
  expectAll({
      {"month 1 gets a leading zero", [] { return valueOf(int32_t{1}, 10, 2, u'0'); }, "01"},
      {"two digits need no pad", [] { return valueOf(int32_t{21}, 10, 2, u'0'); }, "21"},
      {"a longer number is not cut", [] { return valueOf(int32_t{123}, 10, 2, u'0'); }, "123"},
      {"zero is one digit, then padded", [] { return valueOf(int32_t{0}, 10, 2, u'0'); }, "00"},
      {"width 0 is plain decimal", [] { return valueOf(int32_t{7}, 10, 0, u' '); }, "7"},
      {"width 0 keeps the sign", [] { return valueOf(int32_t{-7}, 10, 0, u' '); }, "-7"},
      {"zeros go after the sign", [] { return valueOf(int64_t{-5}, 10, 5, u'0'); }, "-0005"},
      {"other pads go before the sign", [] { return valueOf(int64_t{-5}, 10, 5, u' '); }, "   -5"},
      {"any pad unit before the sign", [] { return valueOf(int64_t{-5}, 10, 4, u'*'); }, "**-5"},
      {"the sign counts towards the width", [] { return valueOf(int64_t{-5}, 10, 2, u'0'); }, "-5"},
      {"negative, zero pad, width 0", [] { return valueOf(int64_t{-5}, 10, 0, u'0'); }, "-5"},
      {"negative, zero pad, width 1", [] { return valueOf(int64_t{-5}, 10, 1, u'0'); }, "-5"},
      {"unsigned pads like a positive value", [] { return valueOf(uint64_t{7}, 10, 3, u'0'); }, "007"},
      {"a zero pad unit is kept, not a terminator", [] { return valueOf(int32_t{7}, 10, 3, u'\0'); },
       "\\u0000\\u00007"},
  });
}

TEST(ValueOfInteger, RadixAndAlphabet) {
  expectAll({
      {"positive radix writes upper case", [] { return valueOf(int32_t{255}, 16, 0, u' '); }, "FF"},
      {"negative radix writes lower case", [] { return valueOf(int32_t{255}, -16, 0, u' '); }, "ff"},
      {"radix 2", [] { return valueOf(int32_t{255}, 2, 0, u' '); }, "11111111"},
      {"radix 36, last digit", [] { return valueOf(int32_t{35}, 36, 0, u' '); }, "Z"},
      {"radix -36, last digit", [] { return valueOf(int32_t{35}, -36, 0, u' '); }, "z"},
      {"zero in radix 2", [] { return valueOf(int64_t{0}, 2, 0, u' '); }, "0"},
      {"radix 1", [] { return valueOf(int32_t{5}, 1, 0, u' '); }, ""},
      {"radix 0", [] { return valueOf(int32_t{5}, 0, 0, u' '); }, ""},
      {"radix -1", [] { return valueOf(int32_t{5}, -1, 0, u' '); }, ""},
      {"radix 37", [] { return valueOf(int32_t{5}, 37, 0, u' '); }, ""},
      {"radix -37", [] { return valueOf(int32_t{5}, -37, 0, u' '); }, ""},
      {"smallest radix has no 32-bit magnitude",
       [] { return valueOf(int32_t{5}, std::numeric_limits<int32_t>::min(), 0, u' '); }, ""},
      {"unsigned, impossible radix", [] { return valueOf(uint64_t{5}, 99, 3, u'0'); }, ""},
      {"smallest 64-bit value, all its digits", [] { return valueOf(kInt64Min, 10, 0, u' '); },
       "-9223372036854775808"},
      {"smallest 64-bit value in radix 2", [] { return valueOf(kInt64Min, 2, 0, u' '); },
       "-1" + std::string(63, '0')},
      {"smallest 64-bit value in radix 36", [] { return valueOf(kInt64Min, 36, 0, u' '); }, "-1Y2P0IJ32E8E8"},
      {"largest unsigned value in radix 16", [] { return valueOf(kUInt64Max, 16, 0, u' '); },
       "FFFFFFFFFFFFFFFF"},
      {"largest unsigned value in radix 36", [] { return valueOf(kUInt64Max, 36, 0, u' '); },
       "3W5E11264SGSF"},
      {"smallest 32-bit value widens with its sign",
       [] { return valueOf(std::numeric_limits<int32_t>::min(), 16, 0, u' '); }, "-80000000"},
  });
}

TEST(ValueOfInteger, WidthAbove999CountsAs999) {
  UString positive = valueOf(int64_t{42}, 10, 5000, u'#');
  EXPECT_EQ(show(positive), std::string(997, '#') + "42");
  UString negative = valueOf(int64_t{-42}, 10, 5000, u'0');
  EXPECT_EQ(show(negative), "-" + std::string(996, '0') + "42");
  EXPECT_EQ(valueOf(uint64_t{1}, 2, std::numeric_limits<uint32_t>::max(), u' ').length(), 999u);
  EXPECT_EQ(valueOf(kInt64Min, 2, 1000, u' ').length(), 999u);
  EXPECT_EQ(valueOf(kInt64Min, 2, 999, u'0').length(), 999u);
}

// std::to_chars writes the same digits in lower case: an independent second implementation.
TEST(ValueOfInteger, MatchesToCharsForRandomValuesInEveryRadix) {
  std::mt19937_64 random(20210601);
  for (int radix = 2; radix <= 36; ++radix) {
    for (int i = 0; i < 200; ++i) {
      auto value = static_cast<int64_t>(random() >> (random() % 64));
      if (i % 2 == 1) value = static_cast<int64_t>(0 - static_cast<uint64_t>(value));
      char expected[80];
      auto end = std::to_chars(expected, expected + sizeof expected, value, radix).ptr;
      ASSERT_EQ(show(valueOf(value, -radix, 0, u' ')), std::string(expected, end)) << "radix " << radix;

      uint64_t unsignedValue = random();
      end = std::to_chars(expected, expected + sizeof expected, unsignedValue, radix).ptr;
      ASSERT_EQ(show(valueOf(unsignedValue, -radix, 0, u' ')), std::string(expected, end))
          << "radix " << radix;
    }
  }
}

TEST(ValueOfUnitAndBool, Texts) {
  expectAll({
      {"true", [] { return valueOf(true); }, "true"},
      {"false", [] { return valueOf(false); }, "false"},
      {"a code unit", [] { return valueOf(u'A'); }, "A"},
      {"a unit beyond ASCII", [] { return valueOf(u'\u0151'); }, "\\u0151"},
      {"the zero unit gives the empty text", [] { return valueOf(u'\0'); }, ""},
  });
  EXPECT_TRUE(valueOf(u'\0').sharesRepresentationWith(UString()));
}

TEST(ValueOfFloating, FormatFromTheTemplate) {
  expectAll({
      {"zero pad through the 0 flag", [] { return valueOf(3.14159L, 'f', 10, 3, u'0'); }, "000003.142"},
      {"other pad units replace the spaces", [] { return valueOf(3.14159L, 'f', 8, 3, u'*'); }, "***3.142"},
      {"space pad", [] { return valueOf(3.14159L, 'f', 8, 3, u' '); }, "   3.142"},
      {"width 0 adds no pad units", [] { return valueOf(1.5L, 'f', 0, 1, u'*'); }, "1.5"},
      {"negative value with zero pad", [] { return valueOf(-2.5L, 'f', 7, 2, u'0'); }, "-002.50"},
      {"e", [] { return valueOf(12345.0L, 'e', 0, 2, u' '); }, "1.23e+04"},
      {"E", [] { return valueOf(12345.0L, 'E', 0, 2, u' '); }, "1.23E+04"},
      {"g drops trailing zeros", [] { return valueOf(0.5L, 'g', 0, 6, u' '); }, "0.5"},
      {"unknown letter is G", [] { return valueOf(1e-10L, 'x', 0, 3, u' '); }, "1E-10"},
      {"zero letter is G", [] { return valueOf(1e-10L, '\0', 0, 3, u' '); }, "1E-10"},
      {"negative precision is 0", [] { return valueOf(3.7L, 'f', 0, -3, u' '); }, "4"},
      {"smallest precision is 0",
       [] { return valueOf(3.7L, 'f', 0, std::numeric_limits<int32_t>::min(), u' '); }, "4"},
      {"huge precision under g",
       [] { return valueOf(0.5L, 'g', 0, std::numeric_limits<int32_t>::max(), u' '); }, "0.5"},
  });
}

TEST(ValueOfFloating, WidthAbove999CountsAs999) {
  UString text = valueOf(1.0L, 'f', 5000, 2, u'-');
  EXPECT_EQ(show(text), std::string(995, '-') + "1.00");
}

// A text that would pass 999 bytes gets fewer decimals (correctly rounded), never a cut number.
TEST(ValueOfFloating, TooLongTextLowersThePrecision) {
  UString third = valueOf(1.0L / 3, 'f', 0, 5000, u' ');
  char expected[1000];
  std::snprintf(expected, sizeof expected, "%.997Lf", 1.0L / 3);
  EXPECT_EQ(show(third), expected);
  EXPECT_EQ(third.length(), 999u);

  UString large = valueOf(1e300L, 'f', 0, 900, u' ');
  EXPECT_LE(large.length(), 999u);
  EXPECT_EQ(large.length() - large.indexOf(u'.') - 1, 999u - 302u);
  EXPECT_EQ(large.toLongDouble(), 1e300L);

  UString exponent = valueOf(-1.0L / 7, 'e', 0, 2000, u' ');
  EXPECT_EQ(exponent.length(), 999u);
  EXPECT_TRUE(exponent.endsWith(UString(u"e-01")));
}

TEST(ValueOfFloating, IntegerPartAbove999DigitsGivesTheEmptyText) {
  if (std::numeric_limits<long double>::max_exponent10 <= 999) GTEST_SKIP() << "long double ends below 1e999";
  EXPECT_EQ(show(valueOf(std::numeric_limits<long double>::max(), 'f', 0, 0, u' ')), "");
  EXPECT_EQ(show(valueOf(std::numeric_limits<long double>::max(), 'e', 0, 3, u' ')).substr(0, 5), "1.190");
}

}  // namespace
