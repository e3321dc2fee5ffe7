// Case mapping: the locale rules, one-unit mappings against the data files, and the context's conditions.
#include "charset/case_mapping.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "charset/case_context.h"
#include "charset/unicode_props.h"

#include "ucd_files.h"

namespace {

std::u16string unitsOf(const UString& text) {
  return std::u16string(text.units(), text.length());
}

// Builds the text unit by unit, so that zero units and lone surrogates survive.
UString textOf(const std::u16string& units) {
  if (units.empty()) return UString();
  UStringBuffer buffer(static_cast<uint32_t>(units.size()));
  std::memcpy(buffer.data(), units.data(), units.size() * sizeof(char16_t));
  return buffer.finish();
}

std::string hexUnits(const std::u16string& units) {
  std::ostringstream out;
  for (char16_t unit : units) out << std::hex << std::uppercase << static_cast<int>(unit) << ' ';
  return out.str();
}

enum class Op { Upper, Lower, Title };

UString applyCase(Op op, const UString& text, const char* locale) {
  switch (op) {
    case Op::Upper:
      return toUpper(text, locale);
    case Op::Lower:
      return toLower(text, locale);
    case Op::Title:
      return toTitle(text, locale);
  }
  return text;
}

struct CaseExample {
  Op op;
  const char* locale;
  std::u16string input;
  std::u16string expected;
  const char* why;
};

TEST(CaseMapping, MapsTheExamplesInEveryLocale) {
  const CaseExample examples[] = {
      {Op::Upper, "en", u"abcdefghijklmnopqrstuvwxyz", u"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ASCII letters"},
      {Op::Upper, "en", u"\u00E1\u00E9\u00ED\u00F3\u00F6\u00FA\u00FC\u0151\u0171",
       u"\u00C1\u00C9\u00CD\u00D3\u00D6\u00DA\u00DC\u0150\u0170", "Hungarian accented letters"},
      {Op::Upper, "en", u"stra\u00DFe", u"STRASSE", "sharp s grows the text by one unit"},
      {Op::Upper, "en", u"\uFB01", u"FI", "ligature fi"},
      {Op::Upper, "en", u"0123456789 ,.;-'\"#{}", u"0123456789 ,.;-'\"#{}", "digits, blanks, punctuation"},
      {Op::Upper, "en", u"\u00FF\u01C6", u"\u0178\u01C4", "simple mappings outside Latin-1"},
      {Op::Upper, "en", u"hu at de", u"HU AT DE", "country codes"},
      {Op::Upper, nullptr, u"i", u"I", "a null locale is en"},
      {Op::Upper, "en", u"i", u"I", "dotted i in en"},
      {Op::Upper, "tr", u"i", u"\u0130", "dotted i in tr"},
      {Op::Upper, "az", u"i", u"\u0130", "dotted i in az"},
      {Op::Upper, "tr-TR", u"i", u"\u0130", "a region after the language still selects it"},
      {Op::Upper, "TR", u"i", u"I", "capitals select no locale"},
      {Op::Upper, "t", u"i", u"I", "a one-byte tag selects no locale"},
      {Op::Upper, "", u"i", u"I", "an empty tag selects no locale"},
      {Op::Upper, "lt", u"i\u0307", u"I", "lt drops the dot above after i"},
      {Op::Upper, "lt", u"i\u0316\u0307", u"I\u0316", "lt drops the dot across a mark below"},
      {Op::Upper, "lt", u"a\u0307", u"A\u0307", "lt keeps the dot after a letter that is not soft-dotted"},
      {Op::Upper, "en", u"i\u0307", u"I\u0307", "en keeps the dot"},
      {Op::Upper, "tr", u"I\u0307", u"I\u0307", "tr keeps the dot in upper case"},
      {Op::Lower, "en", u"\u0130", u"i", "capital dotted I in en"},
      {Op::Lower, "lt", u"\u0130", u"i", "capital dotted I in lt"},
      {Op::Lower, "tr", u"\u0130", u"i", "capital dotted I in tr"},
      {Op::Lower, "az", u"\u0130", u"i", "capital dotted I in az"},
      {Op::Lower, "tr", u"I", u"\u0131", "dotless i in tr"},
      {Op::Lower, "az", u"I", u"\u0131", "dotless i in az"},
      {Op::Lower, "en", u"I", u"i", "plain i in en"},
      {Op::Lower, "tr", u"I\u0307", u"i", "tr: I with dot above becomes i"},
      {Op::Lower, "tr", u"AI\u0307", u"ai", "tr: the dot is found after a fresh scan at the I"},
      {Op::Lower, "tr", u"I\u0316\u0307", u"i\u0316", "tr: Before_Dot and After_I across a mark below"},
      {Op::Lower, "tr", u"I\u0300\u0307", u"\u0131\u0300\u0307", "tr: a mark above hides the dot"},
      {Op::Lower, "lt", u"aI\u0300", u"ai\u0307\u0300", "lt: More_Above found by a fresh scan at the I"},
      {Op::Lower, "lt", u"I\u0316\u0300", u"i\u0307\u0316\u0300", "lt: More_Above across a mark below"},
      {Op::Lower, "lt", u"I a\u0300", u"i a\u0300", "lt: a class-0 unit ends the scan"},
      {Op::Lower, "lt", u"J\u0301", u"j\u0307\u0301", "lt: J with an accent"},
      {Op::Lower, "lt", u"\u012E\u0301", u"\u012F\u0307\u0301", "lt: I with ogonek with an accent"},
      {Op::Lower, "lt", u"\u00CC\u00CD\u0128", u"i\u0307\u0300i\u0307\u0301i\u0307\u0303",
       "lt: three units each"},
      {Op::Lower, "en", u"\u00CC", u"\u00EC", "en: I with grave is one unit"},
      {Op::Lower, "lt", u"i\u0307", u"i\u0307", "lt keeps the dot in lower case"},
      {Op::Lower, "en", u"\u03A3\u0391\u03A3", u"\u03C3\u03B1\u03C2", "final sigma"},
      {Op::Lower, "tr", u"\u03A3\u0391\u03A3", u"\u03C3\u03B1\u03C2", "final sigma in every locale"},
      {Op::Lower, "en", u"\u03A3", u"\u03C3", "a lone sigma is not final"},
      {Op::Lower, "en", u"\u03A3\u0391\u03A3 \u03A3\u0391\u03A3", u"\u03C3\u03B1\u03C2 \u03C3\u03B1\u03C2",
       "each word is judged by itself"},
      {Op::Lower, "en", u"\u0391\u03A3.", u"\u03B1\u03C2.", "punctuation stays inside the word"},
      {Op::Lower, "en", u"\u1E9E", u"\u00DF", "searched block without a row takes the simple mapping"},
      {Op::Upper, "en", u"\u1E01", u"\u1E00", "searched block without a row takes the simple mapping"},
      {Op::Upper, "en", u"\u1F80", u"\u1F08\u0399", "Greek with ypogegrammeni"},
      {Op::Lower, "en", u"\u1F88", u"\u1F80", "Greek with prosgegrammeni"},
      {Op::Upper, "en", u"\u0390", u"\u0399\u0308\u0301", "three-unit upper mapping"},
      {Op::Upper, "en", u"\U00010428", u"\U00010428", "surrogate units pass unchanged"},
      {Op::Title, "en", u"hello world", u"Hello World", "two words"},
      {Op::Title, "en", u"jean-luc o'neil", u"Jean-luc O'neil", "hyphen and apostrophe stay inside the word"},
      {Op::Title, "en", u"HELLO", u"Hello", "the rest is lowered"},
      {Op::Title, "en", u"\u00DFa", u"Ssa", "sharp s takes its title column"},
      {Op::Title, "en", u"\u01C6", u"\u01C5", "dz digraph takes its title form"},
      {Op::Title, "en", u"a\u0307", u"A\u0307", "a mark after the letter is kept"},
      {Op::Title, "en", u"'a b", u"'A B", "the first cased letter, not the first unit"},
      {Op::Title, "en", u"a\u00A0b\tc", u"A\u00A0B\tC", "no-break space and tab are white space"},
      {Op::Title, "en", u"ab\U00010428cd", u"Ab\U00010428Cd", "a unit without a record starts a word"},
      {Op::Title, "tr", u"istanbul", u"\u0130stanbul", "tr title of i"},
      {Op::Title, "en", u"\uFB03x", u"Ffix", "three-unit title mapping"},
  };
  for (const CaseExample& example : examples) {
    UString input = textOf(example.input);
    UString result = applyCase(example.op, input, example.locale);
    EXPECT_EQ(unitsOf(result), example.expected)
        << example.why << ": got " << hexUnits(unitsOf(result)) << "from " << hexUnits(example.input);
    EXPECT_EQ(unitsOf(input), example.input) << example.why << ": the argument changed";
  }
}

TEST(CaseMapping, EmptyTextGivesEmptyText) {
  for (const char* locale : {"en", "lt", "tr", "az"}) {
    EXPECT_TRUE(toUpper(UString(), locale).isEmpty());
    EXPECT_TRUE(toLower(UString(), locale).isEmpty());
    EXPECT_TRUE(toTitle(UString(), locale).isEmpty());
  }
}

TEST(CaseMapping, KeepsZeroUnitsInsideTheText) {
  EXPECT_EQ(unitsOf(toUpper(textOf(std::u16string(u"a\0b", 3)), "en")), std::u16string(u"A\0B", 3));
}

// Texts that outgrow the first buffer several times over: every unit must arrive, in order.
TEST(CaseMapping, GrowsTheBufferForLongExpansions) {
  struct Growth {
    char16_t unit;
    std::u16string expansion;
  };
  const Growth rows[] = {{u'\u00DF', u"SS"}, {u'\u0390', u"\u0399\u0308\u0301"}, {u'\uFB03', u"FFI"}};
  for (const Growth& row : rows) {
    for (size_t length : {1u, 67u, 68u, 200u, 5000u}) {
      std::u16string expected;
      for (size_t i = 0; i < length; ++i) expected += row.expansion;
      UString result = toUpper(textOf(std::u16string(length, row.unit)), "en");
      EXPECT_EQ(unitsOf(result), expected) << std::hex << int{row.unit} << " x" << std::dec << length;
    }
  }
}

TEST(FindSpecialCasing, FindsEveryRowAndNothingElse) {
  std::map<char16_t, int32_t> rows;
  for (int32_t row = 0; row < specialCasingRowCount; ++row) rows[specialCasingTable[row].unit] = row;
  ASSERT_EQ(rows.size(), static_cast<size_t>(specialCasingRowCount));
  for (int32_t unit = 0; unit <= 0xFFFF; ++unit) {
    auto found = rows.find(static_cast<char16_t>(unit));
    int32_t expected = found == rows.end() ? -1 : found->second;
    ASSERT_EQ(findSpecialCasing(static_cast<char16_t>(unit)), expected) << std::hex << unit;
  }
}

// --- The data files as an oracle -------------------------------------------------------------

using ucd_files::sourcePath;
using ucd_files::splitFields;

std::u16string parseUnits(const std::string& text) {
  std::u16string units;
  std::istringstream in(text);
  std::string hex;
  while (in >> hex) units += static_cast<char16_t>(std::stoul(hex, nullptr, 16));
  return units;
}

struct UnitCasing {
  std::string category;
  std::u16string lower, title, upper;
};

// Every BMP unit's full mappings for the en locale, from UnicodeData.txt and the unconditional rows
// of SpecialCasing.txt. U+0130 keeps its simple lower mapping: its two-unit row is left out on purpose.
std::vector<UnitCasing> readBmpCasing() {
  std::vector<UnitCasing> units(0x10000);
  for (int32_t unit = 0; unit <= 0xFFFF; ++unit) {
    std::u16string self(1, static_cast<char16_t>(unit));
    units[unit] = {"", self, self, self};
  }
  std::ifstream data(sourcePath("charset/data/ucd-9.0.0/UnicodeData.txt"));
  EXPECT_TRUE(data.good()) << "UnicodeData.txt not found; set ZELVORA_SOURCE_DIR";
  std::string line;
  while (std::getline(data, line)) {
    std::vector<std::string> f = splitFields(line);
    unsigned long cp = std::stoul(f.at(0), nullptr, 16);
    if (cp > 0xFFFF) continue;
    UnitCasing& casing = units[cp];
    casing.category = f.at(2);
    if (!f.at(12).empty()) casing.upper = parseUnits(f[12]);
    if (!f.at(13).empty()) casing.lower = parseUnits(f[13]);
    if (!f.at(14).empty()) casing.title = parseUnits(f[14]);
  }
  std::ifstream special(sourcePath("charset/data/ucd-9.0.0/SpecialCasing.txt"));
  EXPECT_TRUE(special.good());
  while (std::getline(special, line)) {
    std::string body = line.substr(0, line.find('#'));
    std::vector<std::string> f = splitFields(body);
    // Unconditional rows have four fields; a fifth names the condition of a locale rule.
    if (f.size() != 5 || f[4].find_first_not_of(' ') != std::string::npos) continue;
    unsigned long cp = std::stoul(f[0], nullptr, 16);
    if (cp == 0x0130) continue;
    units[cp].lower = parseUnits(f[1]);
    units[cp].title = parseUnits(f[2]);
    units[cp].upper = parseUnits(f[3]);
  }
  return units;
}

TEST(CaseMapping, OneUnitMatchesTheDataFilesForEveryBmpUnit) {
  std::vector<UnitCasing> casing = readBmpCasing();
  for (int32_t unit = 0; unit <= 0xFFFF; ++unit) {
    UString text = textOf(std::u16string(1, static_cast<char16_t>(unit)));
    const UnitCasing& expected = casing[unit];
    bool cased = expected.category == "Lu" || expected.category == "Ll" || expected.category == "Lt";
    ASSERT_EQ(unitsOf(toUpper(text, "en")), expected.upper) << std::hex << unit;
    ASSERT_EQ(unitsOf(toLower(text, "en")), expected.lower) << std::hex << unit;
    // A word's first cased letter takes its title form; a unit that is no cased letter is lowered.
    ASSERT_EQ(unitsOf(toTitle(text, "en")), cased ? expected.title : expected.lower) << std::hex << unit;
  }
}

// Every row of the table is the unconditional row of SpecialCasing.txt for its unit.
TEST(SpecialCasingTable, RowsMatchSpecialCasingTxt) {
  std::vector<UnitCasing> casing = readBmpCasing();
  auto padded = [](const uint16_t* column) {
    std::u16string units;
    for (int i = 0; i < 3 && column[i] != 0; ++i) units += static_cast<char16_t>(column[i]);
    return units;
  };
  for (int32_t row = 0; row < specialCasingRowCount; ++row) {
    const SpecialCasingEntry& entry = specialCasingTable[row];
    if (row > 0) {
      EXPECT_LT(specialCasingTable[row - 1].unit, entry.unit) << "rows are sorted";
    }
    const UnitCasing& expected = casing[entry.unit];
    EXPECT_EQ(std::u16string(1, static_cast<char16_t>(entry.lower)), expected.lower)
        << std::hex << entry.unit;
    EXPECT_EQ(padded(entry.title), expected.title) << std::hex << entry.unit;
    EXPECT_EQ(padded(entry.upper), expected.upper) << std::hex << entry.unit;
  }
  const SpecialCasingEntry& sharpS = specialCasingTable[0];
  EXPECT_EQ(sharpS.unit, 0x00DF);
  EXPECT_EQ(specialCasingTable[101].unit, 0xFB17);
}

// --- CaseContext against a fresh computation at every position -------------------------------

uint8_t combiningClassOf(char16_t unit) {
  CharProperties properties;
  int32_t upper, lower, title, mirror;
  lookupCharProperties(unit, properties, upper, lower, title, mirror);
  return properties.combiningClass;
}

bool stopsScan(char16_t unit) {
  uint8_t combining = combiningClassOf(unit);
  return combining == 0 || combining == 230;
}

struct FreshConditions {
  bool finalSigma, afterI, afterSoftDotted, moreAbove, beforeDot;
  int64_t firstCased, lastCased;
};

FreshConditions freshConditions(const std::u16string& text, int64_t position) {
  FreshConditions c{};
  int64_t length = static_cast<int64_t>(text.size());
  for (int64_t next = position + 1; next < length; ++next) {
    if (stopsScan(text[next])) {
      c.moreAbove = combiningClassOf(text[next]) == 230;
      c.beforeDot = text[next] == 0x0307;
      break;
    }
  }
  for (int64_t before = position - 1; before >= 0; --before) {
    if (text[before] == 0x0049) c.afterI = true;
    if (text[before] == 0x0049 || stopsScan(text[before])) break;
  }
  for (int64_t before = position - 1; before >= 0; --before) {
    if (isSoftDotted(text[before])) c.afterSoftDotted = true;
    if (isSoftDotted(text[before]) || stopsScan(text[before])) break;
  }
  // Words: each begins at 0 or at a unit without a record or that is white space (except at its start).
  auto startsWord = [&](int64_t at) {
    CharProperties properties;
    int32_t upper, lower, title, mirror;
    return at == 0 || !lookupCharProperties(text[at], properties, upper, lower, title, mirror) ||
           isWhiteSpace(text[at]);
  };
  int64_t start = position;
  while (!startsWord(start)) --start;
  int64_t end = position + 1;
  while (end < length && !startsWord(end)) ++end;
  c.firstCased = c.lastCased = -1;
  for (int64_t at = start; at < end; ++at) {
    CharProperties properties;
    int32_t upper, lower, title, mirror;
    if (lookupCharProperties(text[at], properties, upper, lower, title, mirror) &&
        properties.generalCategory <= 2) {
      if (c.firstCased < 0) c.firstCased = at;
      c.lastCased = at;
    }
  }
  c.finalSigma = position == c.lastCased && c.firstCased < c.lastCased;
  return c;
}

TEST(CaseContext, AgreesWithAFreshScanAtEveryPosition) {
  // Letters, marks of class 0, 220, 230 and 240, the dot above, white space, a unit without a record.
  const char16_t alphabet[] = {
      u'I', u'i', u'J',      u'A',      u'a',      u'\u0307', u'\u0300',        u'\u0316', u'\u0345',
      u' ', u'-', u'\u03A3', u'\u012F', u'\u0130', u'\u00A0', char16_t{0xD801}, u'\u0331'};
  std::mt19937 random(20261210);
  std::uniform_int_distribution<size_t> pick(0, sizeof alphabet / sizeof alphabet[0] - 1);
  std::uniform_int_distribution<size_t> size(0, 12);
  for (int round = 0; round < 20000; ++round) {
    std::u16string text(size(random), u'\0');
    for (char16_t& unit : text) unit = alphabet[pick(random)];
    CaseContext context;
    context.start(text.data(), static_cast<int64_t>(text.size()));
    for (int64_t position = 0; position < static_cast<int64_t>(text.size()); ++position) {
      ASSERT_EQ(context.position, position);
      FreshConditions fresh = freshConditions(text, position);
      ASSERT_EQ(context.moreAbove, fresh.moreAbove) << hexUnits(text) << "at " << position;
      ASSERT_EQ(context.beforeDot, fresh.beforeDot) << hexUnits(text) << "at " << position;
      ASSERT_EQ(context.afterI, fresh.afterI) << hexUnits(text) << "at " << position;
      ASSERT_EQ(context.afterSoftDotted, fresh.afterSoftDotted) << hexUnits(text) << "at " << position;
      ASSERT_EQ(context.firstCased, fresh.firstCased) << hexUnits(text) << "at " << position;
      ASSERT_EQ(context.lastCased, fresh.lastCased) << hexUnits(text) << "at " << position;
      ASSERT_EQ(context.finalSigma, fresh.finalSigma) << hexUnits(text) << "at " << position;
      context.advance();
    }
    ASSERT_EQ(context.position, static_cast<int64_t>(text.size()));
  }
}

}  // namespace
