// parseQuantity: the examples table, the digit, decimal and length limits, and the 64-bit range.
#include "app/declaration/quantity.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "text/exception.h"

namespace {

std::optional<int64_t> parsed(const std::u16string& text) {
  try {
    return parseQuantity(UString(text.data(), static_cast<uint32_t>(text.size())));
  } catch (const Exception& e) {
    EXPECT_STREQ(e.kind(), "x");
    EXPECT_EQ(e.code(), 0);
    return std::nullopt;
  }
}

struct Row {
  std::u16string text;
  std::optional<int64_t> thousandths;  // nullopt: rejected
};

TEST(ParseQuantity, AcceptsTheWaysSpreadsheetUsersWriteNumbersAndRejectsTheRest) {
  const Row rows[] = {
      {u"", 0},
      {u" ", 0},
      {u"-", 0},
      {u",", 0},
      {u"12", 12000},
      {u"1,5", 1500},
      {u"1.5", 1500},
      {u",5", 500},
      {u"5,", 5000},
      {u"1 234,5", 1234500},
      {u"1 234 567", 1234567000},
      {u"-2,25", -2250},
      {u"2,25-", -2250},
      {u"--5-", -5000},  // a second minus never sets the sign back
      {u"- 5", -5000},
      {u"\u22122,25", -2250},  // U+2212 MINUS SIGN
      {u"12,5\u2212", -12500},
      // A minus sign between two digits: a date the sheet made of 12.5, or a range.
      {u"2026-12-05", std::nullopt},
      {u"1-2", std::nullopt},
      {u"1 - 2", std::nullopt},
      {u"1-,5", std::nullopt},
      {u"-2-,25-", std::nullopt},
      {u"1\u22122", std::nullopt},
      {u"1,2345", 1234},
      {u"-1,2345", -1234},
      {u"1,9999", 1999},  // cut toward zero, not rounded
      {u"-1,9999", -1999},
      {u"0,0005", 0},
      {u"0,1234567", 123},
      {u"0,12345678", std::nullopt},  // 8 digits after the separator
      {u"1,00000000", std::nullopt},  // even zeros
      {u"1.000.000", std::nullopt},
      {u"1,000.5", std::nullopt},
      {u"+5", std::nullopt},
      {u"1e3", std::nullopt},
      {u"1\t5", std::nullopt},
      {u"1\u00A05", std::nullopt},  // no-break space
      {u"\u0661", std::nullopt},    // an Arabic-Indic digit
      {u"\uFF11", std::nullopt},    // a fullwidth digit
  };
  for (const Row& row : rows) {
    EXPECT_EQ(parsed(row.text), row.thousandths) << std::string(row.text.begin(), row.text.end());
  }
}

TEST(ParseQuantity, DigitAndLengthLimits) {
  const std::u16string eighteenNines(18, u'9');
  const Row rows[] = {
      // 18 significant digits pass the digit limit; their product with 1000 decides.
      {u"9223372036854775", 9223372036854775000},
      {u"-9223372036854775", -9223372036854775000},
      {u"9223372036854,775", 9223372036854775},
      {u"92233720368547,75", 92233720368547750},
      {u"9223372036854776", std::nullopt},  // times 1000 leaves int64
      {eighteenNines, std::nullopt},
      {u"99999999999,9999999", std::nullopt},  // 18 digits, accumulator too large before the division
      {u"1" + std::u16string(18, u'0'), std::nullopt},  // 19 significant digits
      {std::u16string(900, u'0') + u"12", 12000},       // leading zeros are not limited
      {std::u16string(996, u' ') + u"123", 123000},     // 999 units are walked
      {std::u16string(1000, u' '), std::nullopt},       // 1000 units reject before the walk
  };
  for (const Row& row : rows) EXPECT_EQ(parsed(row.text), row.thousandths) << row.text.size() << " units";
}

// The walk unit by unit exactly as the rule gives it, with no shortcut for plain numbers: a second way to
// compute every result.
std::optional<int64_t> walked(const std::string& text) {
  if (text.size() > 999) return std::nullopt;
  // A minus sign between the first digit and the last rejects.
  const std::size_t firstDigit = text.find_first_of("0123456789");
  const std::size_t lastDigit = text.find_last_of("0123456789");
  if (firstDigit != std::string::npos && text.find('-', firstDigit) < lastDigit) return std::nullopt;
  int64_t sign = 1;
  int64_t accumulator = 0;
  int32_t scale = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (accumulator >= 100000000000000000) return std::nullopt;
      accumulator = accumulator * 10 + (c - '0');
      if (scale != 0) {
        if (scale > 9999999) return std::nullopt;
        scale *= 10;
      }
    } else if (c == '-') {
      sign = -1;
    } else if (c == '.' || c == ',') {
      if (scale != 0) return std::nullopt;
      scale = 1;
    } else if (c != ' ') {
      return std::nullopt;
    }
  }
  if (accumulator > std::numeric_limits<int64_t>::max() / 1000) return std::nullopt;
  return scale <= 1 ? sign * accumulator * 1000 : sign * accumulator * 1000 / scale;
}

std::optional<int64_t> parsedBytes(const std::string& text) {
  try {
    return parseQuantity(text.data(), static_cast<uint32_t>(text.size()));
  } catch (const Exception&) {
    return std::nullopt;
  }
}

// Mostly digits with a separator, around the 18 units up to which plain numbers are read without the
// walk's checks and the eight bytes that are read as one word, from bytes and from units; the bytes B0
// and B9 are '0' and '9' with the top bit set.
TEST(ParseQuantity, BytesAndUnitsAgreeWithTheWalkUnitByUnit) {
  std::mt19937 random(20210603);
  const char alphabet[] = "01234567890123456789,,.- x\xB0\xB9";
  for (int round = 0; round < 100000; ++round) {
    std::string text(random() % 24, '0');
    for (char& c : text)
      c = random() % 4 == 0 ? alphabet[random() % (sizeof alphabet - 1)] : '0' + random() % 10;
    const std::optional<int64_t> expected = walked(text);
    ASSERT_EQ(parsedBytes(text), expected) << text;
    ASSERT_EQ(parsed(std::u16string(text.begin(), text.end())), expected) << text;
  }
}

}  // namespace
