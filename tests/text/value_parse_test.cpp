// The parse family: strict integers, radix prefixes, failure kinds and their order, truth values,
// code units, floating point, bad input and the round trip with valueOf.
#include "text/value_parse.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "show_units.h"
#include "text/value_format.h"

namespace {

constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();
constexpr uint64_t kUInt64Max = std::numeric_limits<uint64_t>::max();

// prefix, then count copies of unit, then suffix (built by appending: GCC 12 warns falsely on
// a literal + std::u16string at -O2).
std::u16string repeated(const char16_t* prefix, std::size_t count, char16_t unit,
                        const char16_t* suffix = u"") {
  std::u16string text(prefix);
  text.append(count, unit);
  text.append(suffix);
  return text;
}

struct ParseCase {
  std::u16string text;
  int32_t radix;
  std::string expected;  // the value in decimal, or the failure kind
};

template <typename Value>
void expectAll(Value (UString::*parse)(int32_t) const, const std::vector<ParseCase>& cases) {
  for (const ParseCase& c : cases) {
    UString text(c.text.c_str());
    SCOPED_TRACE("text \"" + show(text) + "\", radix " + std::to_string(c.radix));
    EXPECT_EQ(outcome([&] { return (text.*parse)(c.radix); }), c.expected);
  }
}

TEST(ToInt32, DecimalIsStrict) {
  expectAll(&UString::toInt32, {
                                   {u"2147483647", 10, "2147483647"},
                                   {u"2147483648", 10, "NumberValue"},
                                   {u"-2147483648", 10, "-2147483648"},
                                   {u"-2147483649", 10, "NumberValue"},
                                   {u"08", 10, "8"},
                                   {u"-0", 10, "0"},
                                   {u" 5", 10, "NumberFormat"},
                                   {u"5 ", 10, "NumberFormat"},
                                   {u"+5", 10, "NumberFormat"},
                                   {u"-", 10, "NumberFormat"},
                                   {u"--5", 10, "NumberFormat"},
                                   {u"5-", 10, "NumberFormat"},
                                   {u"", 10, "NumberFormat"},
                                   {u"1.5", 10, "NumberFormat"},
                                   {u"\uFF11", 10, "NumberFormat"},  // a full-width digit is no digit
                                   {u"A", 10, "NumberFormat"},
                               });
}

TEST(ToInt32, RadixFromPrefix) {
  expectAll(&UString::toInt32, {
                                   {u"08", 0, "NumberFormat"},  // octal
                                   {u"010", 0, "8"},
                                   {u"0x1F", 0, "31"},
                                   {u"0X1f", 0, "31"},
                                   {u"-0x1F", 0, "-31"},
                                   {u"0b101", 0, "5"},
                                   {u"0B101", 0, "5"},
                                   {u"0b2", 0, "NumberFormat"},
                                   {u"0", 0, "0"},
                                   {u"-0", 0, "0"},
                                   {u"19", 0, "19"},
                                   {u"0x", 0, "NumberFormat"},
                                   {u"0X", 0, "NumberFormat"},
                                   {u"0b", 0, "NumberFormat"},
                                   {u"-0x", 0, "NumberFormat"},
                                   {u"-", 0, "NumberFormat"},
                                   {u"x1", 0, "NumberFormat"},
                                   {u"0x-1", 0, "NumberFormat"},
                                   {u"0x1F", 16, "NumberFormat"},  // a prefix only when the radix is 0
                                   {u"0b1", 2, "NumberFormat"},
                               });
}

TEST(ToInt32, RadixRangeAndCheckOrder) {
  expectAll(&UString::toInt32, {
                                   {u"z", 36, "35"},
                                   {u"Z", -36, "35"},
                                   {u"ff", -16, "255"},
                                   {u"10", 1, "IllegalArgument"},
                                   {u"10", -1, "IllegalArgument"},
                                   {u"10", 37, "IllegalArgument"},
                                   {u"10", std::numeric_limits<int32_t>::min(), "IllegalArgument"},
                                   {u"", 37, "NumberFormat"},   // empty is checked before the radix
                                   {u"-", 37, "NumberFormat"},  // so is a lone minus sign
                                   {u"x", 37, "IllegalArgument"},
                                   {u"2", 2, "NumberFormat"},
                                   {u"1", 2, "1"},
                               });
}

TEST(ToInt64, LimitsAndWhichFaultComesFirst) {
  expectAll(&UString::toInt64, {
                                   {u"-9223372036854775808", 10, std::to_string(kInt64Min)},
                                   {u"9223372036854775807", 10, std::to_string(kInt64Max)},
                                   {u"9223372036854775808", 10, "NumberValue"},
                                   {u"-9223372036854775809", 10, "NumberValue"},
                                   {u"1234567890123456789012345z", 10, "NumberValue"},  // overflow before z
                                   {u"12z", 10, "NumberFormat"},
                                   {u"-8000000000000000", 16, std::to_string(kInt64Min)},
                                   {u"-0x8000000000000000", 0, std::to_string(kInt64Min)},
                                   {u"8000000000000000", 16, "NumberValue"},
                                   {u"7FFFFFFFFFFFFFFF", 16, std::to_string(kInt64Max)},
                                   {repeated(u"-1", 63, u'0'), 2, std::to_string(kInt64Min)},
                                   {repeated(u"1", 63, u'0'), 2, "NumberValue"},
                                   {repeated(u"-1", 63, u'0', u"z"), 2, "NumberFormat"},
                                   {repeated(u"-1", 64, u'0'), 2, "NumberValue"},
                               });
}

// A negative power-of-two radix limit that rounds 2^63 / radix down would refuse the smallest value.
TEST(ToInt64, SmallestValueParsesInEveryRadix) {
  for (int32_t radix = 2; radix <= 36; ++radix) {
    UString text = valueOf(kInt64Min, radix, 0, u' ');
    EXPECT_EQ(outcome([&] { return text.toInt64(radix); }), std::to_string(kInt64Min)) << "radix " << radix;
  }
}

TEST(ToUInt64, LimitsAndSigns) {
  expectAll(&UString::toUInt64, {
                                    {u"18446744073709551615", 10, std::to_string(kUInt64Max)},
                                    {u"18446744073709551616", 10, "NumberValue"},
                                    {u"18446744073709551620", 10, "NumberValue"},
                                    {u"FFFFFFFFFFFFFFFF", 16, std::to_string(kUInt64Max)},
                                    {u"0xffffffffffffffff", 0, std::to_string(kUInt64Max)},
                                    {u"10000000000000000", 16, "NumberValue"},
                                    {u"-1", 10, "NumberFormat"},
                                    {u"-0", 10, "NumberFormat"},
                                    {u"-", 37, "IllegalArgument"},
                                    {u"", 10, "NumberFormat"},
                                    {u"0x", 0, "NumberFormat"},
                                    {u"017", 0, "15"},
                                });
}

TEST(NarrowIntegers, RangesAfterTheWideParse) {
  expectAll(&UString::toInt16, {
                                   {u"32767", 10, "32767"},
                                   {u"32768", 10, "NumberValue"},
                                   {u"-32768", 10, "-32768"},
                                   {u"-32769", 10, "NumberValue"},
                                   {u"99999999999999999999z", 10, "NumberValue"},
                                   {u"+1", 10, "NumberFormat"},
                                   {u"1", 99, "IllegalArgument"},
                               });
  expectAll(&UString::toUInt16, {
                                    {u"65535", 10, "65535"},
                                    {u"65536", 10, "NumberValue"},
                                    {u"-1", 10, "NumberFormat"},
                                    {u"0xFFFF", 0, "65535"},
                                });
  expectAll(&UString::toUInt32, {
                                    {u"4294967295", 10, "4294967295"},
                                    {u"4294967296", 10, "NumberValue"},
                                    {u"-1", 10, "NumberFormat"},
                                });
}

// The bad-input list: long texts, lone signs and prefixes never crash and fail with the right kind.
TEST(ParseBadInput, LongTextsAndLoneMarks) {
  std::u16string tenThousandOnes(10000, u'1');
  std::u16string tenThousandZeros(10000, u'0');
  std::u16string zerosThenSeven = repeated(u"", 9999, u'0', u"7");
  expectAll(&UString::toInt64, {
                                   {tenThousandOnes, 10, "NumberValue"},
                                   {repeated(u"-", 10000, u'1'), 10, "NumberValue"},
                                   {tenThousandZeros, 10, "0"},
                                   {zerosThenSeven, 0, "7"},
                                   {u"-", 0, "NumberFormat"},
                                   {u"0x", 0, "NumberFormat"},
                               });
  expectAll(&UString::toUInt64, {
                                    {tenThousandOnes, 36, "NumberValue"},
                                    {zerosThenSeven, 10, "7"},
                                    {u"-", 10, "NumberFormat"},
                                    {u"0b", 0, "NumberFormat"},
                                });
}

// std::from_chars is a second implementation for an explicit radix: it reads the longest run of digits,
// so a run that does not reach the end means a bad unit and "out of range" means the value overflowed
// before any bad unit was met. The narrow parses read the 64-bit value first, then check its range.
template <typename Wide, typename Narrow = Wide>
std::string fromCharsOutcome(const std::string& text, int radix) {
  Wide value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, radix);
  if (error == std::errc::result_out_of_range) return "NumberValue";
  if (error != std::errc() || end != text.data() + text.size()) return "NumberFormat";
  if (!std::in_range<Narrow>(value)) return "NumberValue";
  return std::to_string(value);
}

TEST(ParseIntegers, AgreeWithFromCharsOnRandomTexts) {
  std::mt19937 random(424242);
  const std::string alphabet = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-+ .";
  for (int i = 0; i < 20000; ++i) {
    int radix = 2 + static_cast<int>(random() % 35);
    std::string text;
    if (random() % 4 == 0) text += '-';
    std::size_t length = 1 + random() % 24;
    for (std::size_t k = 0; k < length; ++k) {
      // Mostly digits of the radix, so that many texts are valid or overflow.
      text += random() % 8 != 0 ? alphabet[random() % radix] : alphabet[random() % alphabet.size()];
    }
    UString unitText(std::u16string(text.begin(), text.end()).c_str());
    SCOPED_TRACE("text \"" + text + "\", radix " + std::to_string(radix));
    std::string expected64 = fromCharsOutcome<int64_t>(text, radix);
    std::string expected32 = fromCharsOutcome<int64_t, int32_t>(text, radix);
    std::string expectedUnsigned64 = fromCharsOutcome<uint64_t>(text, radix);
    std::string expectedUnsigned16 = fromCharsOutcome<uint64_t, uint16_t>(text, radix);
    ASSERT_EQ(outcome([&] { return unitText.toInt64(radix); }), expected64);
    ASSERT_EQ(outcome([&] { return unitText.toInt32(radix); }), expected32);
    ASSERT_EQ(outcome([&] { return unitText.toUInt64(radix); }), expectedUnsigned64);
    ASSERT_EQ(outcome([&] { return unitText.toUInt16(radix); }), expectedUnsigned16);
  }
}

// valueOf then the matching parse gives the value back: every radix, both alphabets, both signs, zero
// pads of random widths, random magnitudes of every bit length and the extremes.
TEST(ParseIntegers, RoundTripWithValueOf) {
  std::mt19937_64 random(19700101);
  auto randomBits = [&] { return random() >> (random() % 64); };
  for (int32_t radix = 2; radix <= 36; ++radix) {
    for (int32_t signedRadix : {radix, -radix}) {
      std::vector<int64_t> values = {0, 1, -1, kInt64Min, kInt64Max, kInt64Min + 1};
      for (int i = 0; i < 300; ++i) {
        auto value = static_cast<int64_t>(randomBits());
        values.push_back(i % 2 == 0 ? value : static_cast<int64_t>(0 - static_cast<uint64_t>(value)));
      }
      for (int64_t value : values) {
        auto width = static_cast<uint32_t>(random() % 70);
        UString plain = valueOf(value, signedRadix, 0, u' ');
        UString padded = valueOf(value, signedRadix, width, u'0');
        ASSERT_EQ(plain.toInt64(signedRadix), value) << show(plain);
        ASSERT_EQ(padded.toInt64(signedRadix), value) << show(padded);

        auto narrow = static_cast<int32_t>(static_cast<uint64_t>(value));
        UString narrowText = valueOf(narrow, signedRadix, width, u'0');
        ASSERT_EQ(narrowText.toInt32(signedRadix), narrow) << show(narrowText);

        auto unsignedValue = static_cast<uint64_t>(value);
        UString unsignedText = valueOf(unsignedValue, signedRadix, width, u'0');
        ASSERT_EQ(unsignedText.toUInt64(signedRadix), unsignedValue) << show(unsignedText);
        auto unsignedNarrow = static_cast<uint32_t>(unsignedValue);
        UString unsignedNarrowText = valueOf(uint64_t{unsignedNarrow}, signedRadix, 0, u' ');
        ASSERT_EQ(unsignedNarrowText.toUInt32(signedRadix), unsignedNarrow) << show(unsignedNarrowText);
      }
    }
  }
}

TEST(ToBool, OnlyEmptyFalseAndZeroAreFalse) {
  struct BoolCase {
    std::u16string text;
    bool expected;
  };
  std::vector<BoolCase> cases = {
      {u"", false},
      {u"false", false},
      {u"0", false},
      {u"00", false},
      {u"-0", false},
      {u"0x0", false},
      {u"0b0", false},
      {u"1", true},
      {u"-1", true},
      {u"08", true},
      {u"False", true},
      {u"FALSE", true},
      {u"no", true},
      {u" 0", true},
      {u"true", true},
      {u"0x", true},
      {u"-", true},
      {u"false ", true},
      {u"99999999999999999999", true},
  };
  for (const BoolCase& c : cases) {
    EXPECT_EQ(UString(c.text.c_str()).toBool(), c.expected)
        << "text \"" << show(UString(c.text.c_str())) << "\"";
  }
}

TEST(ToChar, FirstUnitOrIndexOutOfBounds) {
  EXPECT_EQ(outcome([] { return UString().toChar(); }), "IndexOutOfBounds");
  EXPECT_EQ(UString(u"ab").toChar(), u'a');
  EXPECT_EQ(UString(u"\uFFFF").toChar(), u'\uFFFF');
}

TEST(ToFloating, WideFormattedInput) {
  struct FloatCase {
    std::u16string text;
    std::string expected;
  };
  std::vector<FloatCase> cases = {
      {u"2.5", "2.500000"},          {u"  2.5 kg", "2.500000"},  // leading blanks skipped, the rest ignored
      {u"-0.125", "-0.125000"},      {u"1e3", "1000.000000"},       {u"7", "7.000000"},
      {u"1.5\xD800", "1.500000"},  // a lone surrogate after the number is just another unit
      {u"", "NumberFormat"},         {u"abc", "NumberFormat"},      {u"-", "NumberFormat"},
      {u"kg 2.5", "NumberFormat"},   {u"\uFF12.5", "NumberFormat"},  // a full-width digit is no digit
      {u"\u0132.5", "NumberFormat"},  // its low byte is '2': the units are not cut to bytes
  };
  for (const FloatCase& c : cases) {
    UString text(c.text.c_str());
    SCOPED_TRACE("text \"" + show(text) + "\"");
    EXPECT_EQ(outcome([&] { return text.toDouble(); }), c.expected);
    EXPECT_EQ(outcome([&] { return text.toFloat(); }), c.expected);
    EXPECT_EQ(outcome([&] { return text.toLongDouble(); }), c.expected);
  }
  EXPECT_EQ(UString(u"0.1").toFloat(), 0.1f);
  EXPECT_EQ(UString(u"0.1").toDouble(), 0.1);
  EXPECT_EQ(UString(u"0.1").toLongDouble(), 0.1L);
}

TEST(ToFloating, ZeroUnitEndsTheText) {
  UStringBuffer buffer(3);
  buffer.data()[0] = u'1';
  buffer.data()[1] = u'\0';
  buffer.data()[2] = u'5';
  EXPECT_EQ(buffer.finish().toDouble(), 1.0);
}

TEST(ToFloating, TenThousandDigitTexts) {
  std::u16string third = repeated(u"0.", 9998, u'3');
  EXPECT_EQ(UString(third.c_str()).toDouble(), 1.0 / 3);
  EXPECT_EQ(UString(third.c_str()).toLongDouble(), 1.0L / 3);
  std::u16string zerosFirst = repeated(u"", 9997, u'0', u"2.5");
  EXPECT_EQ(UString(zerosFirst.c_str()).toDouble(), 2.5);
}

TEST(ToFloating, RoundTripWithValueOf) {
  std::mt19937_64 random(31337);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  const int digits = std::numeric_limits<long double>::max_digits10;
  for (int i = 0; i < 2000; ++i) {
    long double value =
        std::ldexp(static_cast<long double>(mantissa(random)), static_cast<int>(random() % 400) - 200);
    value +=
        static_cast<long double>(mantissa(random)) * std::ldexp(1.0L, -60) * value;  // use the extra bits
    UString text = valueOf(value, 'e', 0, digits - 1, u' ');
    ASSERT_EQ(text.toLongDouble(), value) << show(text);
    auto narrow = static_cast<double>(value);
    UString doubleText = valueOf(static_cast<long double>(narrow), 'g', 0, 17, u' ');
    ASSERT_EQ(doubleText.toDouble(), narrow) << show(doubleText);
  }
}

}  // namespace
