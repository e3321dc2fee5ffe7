// The item step on its own: a rejected line leaves every total as it was.
#include "app/declaration/items.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/read/line_reader.h"
#include "charset/case_mapping.h"
#include "charset/charset.h"

namespace {

// Hands one line to the item step as the run's reader gives it: a plain line as its bytes alone.
void handle(RunContext& run, const std::string& line) {
  LineReader reader(line.data(), line.size(), "UTF-8");
  ReadLine read;
  ASSERT_TRUE(reader.next(read, false));
  run.lineNumber = read.number;
  handleItemLine(run, read.fields);
  settleItems(run);
}

// A run in its item state on the form, with an error report to write entries to.
struct ItemRun {
  explicit ItemRun(int formCode) {
    run.errors = std::tmpfile();
    run.lineState = 3;
    run.formCode = formCode;
    run.items = ItemTable(formCode == 2010);
  }
  ~ItemRun() {
    if (run.errors != nullptr) std::fclose(run.errors);
  }
  RunContext run;
};

TEST(ItemStep, ALineThatWouldCarryATotalOutOfRangeAddsNothing) {
  ItemRun item(2012);
  RunContext& run = item.run;
  ASSERT_NE(run.errors, nullptr);
  handle(run, "1;1;1;AT;CN;1;2;9223372036854775;-9223372036854775");
  ASSERT_TRUE(run.ok);
  // Its first three values fit; the last would leave the range.
  handle(run, "2;1;1;AT;CN;5;5;-5;-1");
  EXPECT_FALSE(run.ok);
  ASSERT_EQ(run.items.records().size(), 1u);
  const ItemRecord record = run.items.records()[0];
  EXPECT_EQ(record.netMass, 1000);
  EXPECT_EQ(record.supplementaryQuantity, 2000);
  EXPECT_EQ(record.invoicedAmount, 9223372036854775000);
  EXPECT_EQ(record.statisticalValue, -9223372036854775000);
  // A rejected quantity on a new key creates no record.
  handle(run, "3;2;1;AT;CN;1;1.000.000");
  EXPECT_EQ(run.items.records().size(), 1u);
}

// A plain ASCII line is keyed from its bytes, padded and upper-cased as its key is packed; a line with a
// cell beyond ASCII or in quotes is keyed from its units. Spelled either way, equal keys meet in one record,
// and a key with a unit beyond one byte (U+0150) meets its lower-case spelling (U+0151).
TEST(ItemStep, KeysReadFromBytesAndFromUnitsMeet) {
  ItemRun item(2010);
  RunContext& run = item.run;
  ASSERT_NE(run.errors, nullptr);
  const struct {
    std::string line;
    std::size_t record;  // the record the line adds its KGM to
    int64_t kgm;
  } rows[] = {
      {"1;847130;1;de;cn;1;;;;de123", 0, 1},
      {"2\xC3\xA9;00847130;01;DE;CN;2;;;;DE123", 0, 2},   // beyond ASCII in a cell outside the key
      {"3;\"847130\";\"1\";\"De\";cN;4;;;;dE123", 0, 4},  // quoted cells
      {"4;847130;1;de;cn;8;;;;de124", 1, 8},
      {"5;847130;1;de;cn;16;;;;hu\xC5\x91x", 2, 16},  // U+0151
      {"6;847130;1;DE;CN;32;;;;HU\xC5\x90X", 2, 32},  // U+0150
      {"7;847130;1;de;cn;64;;;;hU\xC5\x90x", 2, 64},
      {"8;8471 30 00;1;de;cn;128;;;;de123", 3, 128},  // blanks in TEKOD dropped
      {"9;\"84 713000\";01;DE;CN;256;;;;DE123", 3, 256},
      {"10;84713000;01;DE;CN;512;;;;DE123", 3, 512},
  };
  int64_t expected[4] = {0, 0, 0, 0};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    handle(run, row.line);
    expected[row.record] += row.kgm * 1000;
  }
  EXPECT_TRUE(run.ok);
  const std::vector<ItemRecord> records = run.items.records();
  ASSERT_EQ(records.size(), 4u);
  for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(records[k].netMass, expected[k]) << k;
  const ItemRecord& first = records[0];
  EXPECT_EQ(first.goodsCode, UString(u"00847130"));
  EXPECT_EQ(first.transactionCode, UString(u"01"));
  EXPECT_EQ(first.memberState, UString(u"DE"));
  EXPECT_EQ(first.originCountry, UString(u"CN"));
  EXPECT_EQ(first.partnerId, UString(u"DE123"));
  EXPECT_EQ(records[2].partnerId, UString(u"HU\u0150X"));
  EXPECT_EQ(records[3].goodsCode, UString(u"84713000"));
}

// A goods code of eight characters with any printable ASCII character at any place: a goods line only when
// that character is a digit, read from the line's bytes as from its units (quoted).
TEST(ItemStep, AGoodsCodeOfEightCharactersIsEightDigits) {
  for (char c = 0x21; c < 0x7F; ++c) {
    if (c == ';' || c == ',' || c == '"') continue;
    for (std::size_t at = 0; at < 8; ++at) {
      std::string goods = "84713000";
      goods[at] = c;
      for (const std::string& cell : {goods, "\"" + goods + "\""}) {
        SCOPED_TRACE(cell);
        ItemRun item(2012);
        ASSERT_NE(item.run.errors, nullptr);
        handle(item.run, "1;" + cell + ";11;AT;CN;1");
        const bool digit = c >= '0' && c <= '9';
        EXPECT_EQ(item.run.ok, digit);
        EXPECT_EQ(item.run.items.records().size(), digit ? 1u : 0u);
      }
    }
  }
}

// Countries of two letters and partners of every length up to three words, of any printable ASCII but the
// separators and the quote after their country: a plain line packs them from its bytes, upper-casing a word
// at a time; the same cells quoted are read as units and upper-cased by toUpper. Both must meet in one
// record whose texts are toUpper's.
TEST(ItemStep, KeysUpperCasedFromBytesAreWhatToUpperGives) {
  std::mt19937 random(2010);
  std::string printable;
  for (char c = 0x21; c < 0x7F; ++c) {
    if (c != ';' && c != ',' && c != '"' && c != '#') printable += c;
  }
  const auto randomText = [&](std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += printable[random() % printable.size()];
    return text;
  };
  ItemRun item(2010);
  RunContext& run = item.run;
  ASSERT_NE(run.errors, nullptr);
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const auto randomCountry = [&] {
    return std::string{letters[random() % letters.size()], letters[random() % letters.size()]};
  };
  for (std::size_t length = 1; length <= 24; ++length) {
    const std::string member = randomCountry();
    const std::string country = randomCountry();
    const std::string partner = randomCountry() + randomText(length - 1);
    SCOPED_TRACE(member + " " + country + " " + partner);
    handle(run, "1;12345678;11;" + member + ";" + country + ";1;;;;" + partner);
    handle(run, "2;12345678;11;\"" + member + "\";\"" + country + "\";2;;;;\"" + partner + "\"");
    ASSERT_TRUE(run.ok);
    const std::vector<ItemRecord> records = run.items.records();
    ASSERT_EQ(records.size(), length);
    const ItemRecord& record = records.back();
    EXPECT_EQ(record.netMass, 3000);
    const auto upper = [](const std::string& text) {
      return toUpper(decodeBytes(text.data(), text.size(), "UTF-8"), "en");
    };
    EXPECT_EQ(record.memberState, upper(member));
    EXPECT_EQ(record.originCountry, upper(country));
    EXPECT_EQ(record.partnerId, upper(partner));
  }
}

}  // namespace
