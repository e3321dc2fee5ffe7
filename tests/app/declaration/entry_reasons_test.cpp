// The reason read from a refused quantity's text, against the number parser that refused it.
#include "app/declaration/entry_reasons.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/declaration/quantity.h"
#include "text/exception.h"

namespace {

UString units(const std::u16string& text) {
  return UString(text.data(), static_cast<uint32_t>(text.size()));
}

bool parses(const UString& value) {
  try {
    parseQuantity(value);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

TEST(InvalidNumberReason, NamesWhatTheTextShows) {
  const struct {
    std::u16string value;
    EntryReason expected;
  } rows[] = {
      {u"1.250,5", {Reason::SecondSeparator, {}}},
      {u"1,000.5", {Reason::SecondSeparator, {}}},
      {u"0,333333333333333", {Reason::TooManyDecimals, {}}},
      {u"1.250,55555555", {Reason::SecondSeparator, {}}},
      {u"1234567890123456789", {Reason::TooManyDigits, {}}},
      {u"9999999999999999", {Reason::TooLarge, {}}},
      {u"2026-12-05", {Reason::MinusBetweenDigits, {}}},
      {u"1 - 2", {Reason::MinusBetweenDigits, {}}},
      {u"2026\u221212\u221205", {Reason::MinusBetweenDigits, {}}},
      {u"1\u00A0312,6", {Reason::NoBreakSpace, {}}},
      {u"1\u202F312,6", {Reason::NarrowNoBreakSpace, {}}},
      {u"50,00%", {Reason::PercentSign, {}}},
      {u"+5", {Reason::PlusSign, {}}},
      {u"=H4*1,02", {Reason::Formula, {}}},
      {u"kb. 12", {Reason::Letter, "k"}},
      {u"1 200 Ft", {Reason::Letter, "F"}},
      {u"\u0151", {Reason::Letter, "\u0151"}},
      {u"\U0001D400", {Reason::Letter, "\U0001D400"}},
      {u"12*3", {Reason::OtherCharacter, "\"*\" (U+002A)"}},
      {u"\U0001F600", {Reason::OtherCharacter, "\"\U0001F600\" (U+1F600)"}},
      {u"1\t2", {Reason::OtherCharacter, "U+0009"}},
      {u"1\u20092", {Reason::OtherCharacter, "U+2009"}},
      {u"1\xD800", {Reason::OtherCharacter, "U+D800"}},
      // The typographic minus is named only where nothing else tells.
      {u"\u221212,5", {Reason::OtherCharacter, "\"\u2212\" (U+2212)"}},
      {u"\u22120,33333333", {Reason::TooManyDecimals, {}}},
      // Leading zeros are no significant digits; a minus after the digits is no range.
      {u"0000000000000000000000001", {}},
      {u"12-", {}},
      {u"", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.value.begin(), row.value.end()));
    const EntryReason reason = invalidNumberReason(units(row.value));
    EXPECT_EQ(static_cast<int>(reason.reason), static_cast<int>(row.expected.reason));
    EXPECT_EQ(reason.detail, row.expected.detail);
  }
}

// Every short text the parser refuses gets a reason: no refusal is left without one. Texts over an alphabet
// of what quantities hold and what spreadsheets put in them, from a fixed seed.
TEST(InvalidNumberReason, EveryRefusedTextHasOne) {
  const char16_t alphabet[] = u"0123456789000000,.  --+%a\u00A0\u2212";
  const uint32_t letters = sizeof alphabet / sizeof alphabet[0] - 1;
  uint64_t state = 88172645463325252u;
  int refused = 0;
  for (int i = 0; i < 200000; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::u16string text;
    for (uint64_t length = state % 24, bits = state >> 5; length > 0;
         --length, bits = bits * 6364136223846793005u + 1) {
      text += alphabet[(bits >> 33) % letters];
    }
    const UString value = units(text);
    if (parses(value)) continue;
    ++refused;
    ASSERT_NE(invalidNumberReason(value).reason, Reason::None) << std::string(text.begin(), text.end());
  }
  EXPECT_GT(refused, 1000);
}

TEST(ReasonTerminalText, OneLineInEachLanguageWithTheDetail) {
  EXPECT_EQ(reasonTerminalText({}), "");
  EXPECT_EQ(reasonTerminalText({Reason::Letter, "\u0151"}),
            " Oka: bet\u0171: \u0151\nReason: a letter: \u0151\n");
  // A detail is never read as a pattern.
  EXPECT_EQ(reasonTerminalText({Reason::EmptyColumns, "%s"}),
            " Oka: nincs kit\u00F6ltve: %s\nReason: not filled in: %s\n");
}

}  // namespace
