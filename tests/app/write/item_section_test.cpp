// formatTotal against printf: whole units from one up, three decimals below and for negatives.
#include "app/write/item_section.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace {

TEST(FormatTotal, WholeUnitsFromOneUpThreeDecimalsBelowAndForNegatives) {
  const struct {
    int64_t thousandths;
    const char* written;
  } rows[] = {
      {0, ""},
      {1, "0.001"},
      {500, "0.500"},
      {999, "0.999"},
      {1000, "1"},
      {1999, "1"},
      {123456789, "123456"},
      {-1, "-0.001"},
      {-2500, "-2.500"},
      {-1000, "-1.000"},
      {INT64_MAX, "9223372036854775"},
      // Exact where a double could not hold the value.
      {INT64_MIN, "-9223372036854775.808"},
      {-123456789012345678, "-123456789012345.678"},
  };
  for (const auto& row : rows) EXPECT_EQ(formatTotal(row.thousandths), row.written) << row.thousandths;
}

TEST(FormatTotal, AgreesWithPrintfWhereADoubleHoldsTheValue) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 100000; ++i) {
    const int64_t t = static_cast<int64_t>(random() % 2000000000001) - 1000000000000;
    char expected[64];
    if (t == 0) {
      expected[0] = '\0';
    } else if (t >= 1000) {
      std::snprintf(expected, sizeof expected, "%" PRId64, t / 1000);
    } else {
      std::snprintf(expected, sizeof expected, "%.3f", static_cast<double>(t) / 1000.0);
    }
    ASSERT_EQ(formatTotal(t), expected) << t;
  }
}

// Every length a total can have, at both ends, and next to each end: where the count of digits changes.
TEST(FormatTotal, AgreesWithPrintfWhereTheNumberOfDigitsChanges) {
  for (int64_t power = 1; power <= INT64_MAX / 1000 / 10; power *= 10) {
    for (int64_t units : {power - 1, power, power + 1, power * 10 - 1}) {
      if (units == 0) continue;
      for (int64_t thousandths : {units * 1000, units * 1000 + 999, -(units * 1000) - 1}) {
        char expected[64];
        if (thousandths >= 1000) {
          std::snprintf(expected, sizeof expected, "%" PRId64, thousandths / 1000);
        } else {
          const int64_t magnitude = -thousandths;
          std::snprintf(expected, sizeof expected, "-%" PRId64 ".%03" PRId64, magnitude / 1000,
                        magnitude % 1000);
        }
        ASSERT_EQ(formatTotal(thousandths), expected) << thousandths;
      }
    }
  }
}

// Every group of four digits, in the low four places and in the high four of an eight-digit total.
TEST(FormatTotal, AgreesWithPrintfForEveryGroupOfFourDigits) {
  for (int64_t group = 0; group < 10000; ++group) {
    for (int64_t units : {group, 12340000 + group, group * 10000 + 5678}) {
      if (units == 0) continue;
      char expected[32];
      std::snprintf(expected, sizeof expected, "%" PRId64, units);
      ASSERT_EQ(formatTotal(units * 1000), expected) << units;
    }
  }
}

}  // namespace
