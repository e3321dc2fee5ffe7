// parseQuantity: the examples table, the digit, decimal and length limits, and the 64-bit range.
#include "app/quantity.h"

#include <gtest/gtest.h>

#include <optional>
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
      {u"-2-,25-", -2250},  // a second minus never sets the sign back
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

}  // namespace
