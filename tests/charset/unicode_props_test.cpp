// Unicode properties: every code point against UnicodeData.txt and BidiMirroring.txt, the predicates
// against PropList.txt, and the page layout.
#include "charset/unicode_props.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "charset/data/unicode_tables.h"

#include "ucd_files.h"

namespace {

using ucd_files::sourcePath;
using ucd_files::splitFields;

int32_t hexValue(const std::string& text) {
  return static_cast<int32_t>(std::stol(text, nullptr, 16));
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

struct Expected {
  bool hasRecord = false;
  int generalCategory = 15;
  int bidiClass = 0;
  int combiningClass = 0;
  int decompositionType = 127;
  int decimalDigit = 15;
  int digit = 15;
  bool hasNumeric = false;
  int64_t numerator = 0;
  int denominator = 1;
  int32_t upper = 0, lower = 0, title = 0, mirror = 0;
};

// The whole code space as UnicodeData.txt and BidiMirroring.txt describe it. Code points listed only as
// ranges have no record, except planes 15 and 16, which are private use as a whole.
std::vector<Expected> readExpected() {
  const std::map<std::string, int> categories = {
      {"Lu", 0},  {"Ll", 1},  {"Lt", 2},  {"Mn", 3},  {"Mc", 4},  {"Me", 5},  {"Nd", 6},
      {"Nl", 7},  {"No", 8},  {"Zs", 9},  {"Zl", 10}, {"Zp", 11}, {"Cc", 12}, {"Cf", 13},
      {"Co", 15}, {"Lm", 17}, {"Lo", 18}, {"Pc", 19}, {"Pd", 20}, {"Ps", 21}, {"Pe", 22},
      {"Pi", 23}, {"Pf", 24}, {"Po", 25}, {"Sm", 26}, {"Sc", 27}, {"Sk", 28}, {"So", 29}};
  const std::map<std::string, int> bidiClasses = {
      {"L", 0},  {"LRE", 1}, {"LRO", 2}, {"R", 3},     {"AL", 4},    {"RLE", 5},   {"RLO", 6},  {"PDF", 7},
      {"EN", 8}, {"ES", 9},  {"ET", 10}, {"AN", 11},   {"CS", 12},   {"NSM", 13},  {"BN", 14},  {"B", 15},
      {"S", 16}, {"WS", 17}, {"ON", 18}, {"LRI", 127}, {"RLI", 127}, {"FSI", 127}, {"PDI", 127}};
  const std::map<std::string, int> decompositions = {
      {"<font>", 0},   {"<noBreak>", 1},  {"<initial>", 2},   {"<medial>", 3},
      {"<final>", 4},  {"<isolated>", 5}, {"<circle>", 6},    {"<super>", 7},
      {"<sub>", 8},    {"<vertical>", 9}, {"<wide>", 10},     {"<narrow>", 11},
      {"<small>", 12}, {"<square>", 13},  {"<fraction>", 14}, {"<compat>", 15}};

  std::vector<Expected> expected(0x110000);
  for (int32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    Expected& e = expected[cp];
    e.upper = e.lower = e.title = e.mirror = cp;
    e.hasRecord = cp >= 0xF0000;
  }
  std::ifstream data(sourcePath("charset/data/ucd-9.0.0/UnicodeData.txt"));
  EXPECT_TRUE(data.good()) << "UnicodeData.txt not found; set ZELVORA_SOURCE_DIR";
  std::string line;
  while (std::getline(data, line)) {
    std::vector<std::string> f = splitFields(line);
    if (f.size() != 15) {
      ADD_FAILURE() << "unexpected line: " << line;
      continue;
    }
    if (endsWith(f[1], ", First>") || endsWith(f[1], ", Last>")) continue;
    int32_t cp = hexValue(f[0]);
    Expected& e = expected.at(cp);
    e.hasRecord = true;
    e.generalCategory = categories.at(f[2]);
    e.bidiClass = bidiClasses.at(f[4]);
    e.combiningClass = std::stoi(f[3]);
    if (!f[5].empty() && f[5][0] == '<')
      e.decompositionType = decompositions.at(f[5].substr(0, f[5].find('>') + 1));
    if (!f[6].empty()) e.decimalDigit = std::stoi(f[6]);
    if (!f[7].empty()) e.digit = std::stoi(f[7]);
    if (!f[8].empty()) {
      e.hasNumeric = true;
      size_t slash = f[8].find('/');
      e.numerator = std::stoll(f[8].substr(0, slash));
      e.denominator = slash == std::string::npos ? 1 : std::stoi(f[8].substr(slash + 1));
    }
    if (!f[12].empty()) e.upper = hexValue(f[12]);
    if (!f[13].empty()) e.lower = hexValue(f[13]);
    if (!f[14].empty()) e.title = hexValue(f[14]);
  }
  std::ifstream mirroring(sourcePath("charset/data/ucd-9.0.0/BidiMirroring.txt"));
  EXPECT_TRUE(mirroring.good());
  while (std::getline(mirroring, line)) {
    std::vector<std::string> f = splitFields(line.substr(0, line.find('#')));
    if (f.size() >= 2) expected.at(hexValue(f[0])).mirror = hexValue(f[1]);
  }
  return expected;
}

// The numerator word: bit 0 sign, bits 1-9 mantissa, bits 10-15 power of ten; all ones for none.
bool decodeNumerator(const CharProperties& p, int64_t& value) {
  int word = p.numericNumerator[0] | (p.numericNumerator[1] << 8);
  if (word == 0xFFFF) return false;
  int power = word >> 10;
  value = (word >> 1) & 0x1FF;
  if (power > 18) return true;  // cannot match any value of the database; leaves value unscaled
  for (int i = 0; i < power; ++i) value *= 10;
  if (word & 1) value = -value;
  return true;
}

TEST(LookupCharProperties, MatchesTheDataFilesForEveryCodePoint) {
  std::vector<Expected> expected = readExpected();
  int mismatches = 0;
  for (int32_t cp = 0; cp <= 0x10FFFF && mismatches < 20; ++cp) {
    const Expected& e = expected[cp];
    CharProperties p;
    int32_t upper = -7, lower = -7, title = -7, mirror = -7;
    bool found = lookupCharProperties(cp, p, upper, lower, title, mirror);
    int64_t numerator = 0;
    bool hasNumeric = decodeNumerator(p, numerator);
    bool same = found == e.hasRecord && p.generalCategory == e.generalCategory &&
                p.bidiClass == e.bidiClass && p.combiningClass == e.combiningClass &&
                p.decompositionType == e.decompositionType &&
                p.digitValues == ((e.decimalDigit << 4) | e.digit) && hasNumeric == e.hasNumeric &&
                (!hasNumeric || numerator == e.numerator) && p.numericDenominator == e.denominator &&
                upper == e.upper && lower == e.lower && title == e.title && mirror == e.mirror;
    if (!found) {
      // No record: the default record and identity mappings, whatever the tables hold.
      same = same && p.upperIndex == 0 && p.lowerIndex == 0 && p.titleIndex == 0 && p.mirrorIndex == 0;
    }
    if (!same) {
      ++mismatches;
      ADD_FAILURE() << std::hex << "U+" << cp << ": found " << found << " category " << int{p.generalCategory}
                    << " bidi " << int{p.bidiClass} << " ccc " << int{p.combiningClass} << " decomposition "
                    << int{p.decompositionType} << " digits " << int{p.digitValues} << " numeric "
                    << hasNumeric << ":" << std::dec << numerator << "/" << int{p.numericDenominator}
                    << std::hex << " maps " << upper << " " << lower << " " << title << " " << mirror;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

struct LookupExample {
  int32_t codePoint;
  bool found;
  int generalCategory;
  int32_t upper, lower, title, mirror;
};

// Outside the code space and at the plane boundaries; identity mappings mean "no mapping".
TEST(LookupCharProperties, AnswersAtTheEdgesOfTheCodeSpace) {
  const LookupExample examples[] = {
      {-1, false, 15, -1, -1, -1, -1},
      {INT32_MIN, false, 15, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN},
      {0x110000, false, 15, 0x110000, 0x110000, 0x110000, 0x110000},
      {INT32_MAX, false, 15, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
      {0x10FFFF, true, 15, 0x10FFFF, 0x10FFFF, 0x10FFFF, 0x10FFFF},
      {0xF0000, true, 15, 0xF0000, 0xF0000, 0xF0000, 0xF0000},
      {0xEFFFF, false, 15, 0xEFFFF, 0xEFFFF, 0xEFFFF, 0xEFFFF},
      {0xE0001, true, 13, 0xE0001, 0xE0001, 0xE0001, 0xE0001},
      {0x30000, false, 15, 0x30000, 0x30000, 0x30000, 0x30000},
      {0x0041, true, 0, 0x0041, 0x0061, 0x0041, 0x0041},
      {0x00FF, true, 1, 0x0178, 0x00FF, 0x0178, 0x00FF},
      {0x01C5, true, 2, 0x01C4, 0x01C6, 0x01C5, 0x01C5},
      {0x0028, true, 21, 0x0028, 0x0028, 0x0028, 0x0029},
      {0x20BE, true, 27, 0x20BE, 0x20BE, 0x20BE, 0x20BE},
      {0x20BF, false, 15, 0x20BF, 0x20BF, 0x20BF, 0x20BF},
  };
  for (const LookupExample& example : examples) {
    CharProperties p;
    int32_t upper, lower, title, mirror;
    EXPECT_EQ(lookupCharProperties(example.codePoint, p, upper, lower, title, mirror), example.found)
        << std::hex << example.codePoint;
    EXPECT_EQ(p.generalCategory, example.generalCategory) << std::hex << example.codePoint;
    EXPECT_EQ(upper, example.upper) << std::hex << example.codePoint;
    EXPECT_EQ(lower, example.lower) << std::hex << example.codePoint;
    EXPECT_EQ(title, example.title) << std::hex << example.codePoint;
    EXPECT_EQ(mirror, example.mirror) << std::hex << example.codePoint;
  }
}

// Records are shared within a page: no page stores one record twice or keeps one nobody uses, and
// every index entry names a stored record or none.
TEST(CharPropertiesPages, StoreEachRecordOncePerPage) {
  auto bytesOf = [](const CharProperties& p) {
    return std::string(reinterpret_cast<const char*>(&p), sizeof p);
  };
  for (int32_t slot = 0; slot < charPropertiesPageCount; ++slot) {
    const CharPropertiesPage& page = charPropertiesPages[slot];
    if (page.records == nullptr) {
      EXPECT_EQ(page.index, nullptr) << "slot " << slot;
      continue;
    }
    if (page.index == nullptr) continue;  // indexed directly: 256 records
    std::set<int> used;
    int highest = -1;
    for (int low = 0; low < 256; ++low) {
      if (page.index[low] == noCharPropertiesRecord) continue;
      used.insert(page.index[low]);
      highest = std::max(highest, int{page.index[low]});
    }
    ASSERT_EQ(static_cast<int>(used.size()), highest + 1) << "slot " << slot << " skips a record";
    std::set<std::string> distinct;
    for (int number = 0; number <= highest; ++number) distinct.insert(bytesOf(page.records[number]));
    EXPECT_EQ(static_cast<int>(distinct.size()), highest + 1) << "slot " << slot << " repeats a record";
    for (int number = 0; number <= highest; ++number) {
      const CharProperties& p = page.records[number];
      EXPECT_LT(p.upperIndex, upperDeltaCount);
      EXPECT_LT(p.lowerIndex, lowerDeltaCount);
      EXPECT_LT(p.titleIndex, titleDeltaCount);
      EXPECT_LT(p.mirrorIndex, mirrorDeltaCount);
    }
  }
  for (const int32_t* table : {upperDeltas, lowerDeltas, titleDeltas, mirrorDeltas}) EXPECT_EQ(table[0], 0);
}

// The code points PropList.txt gives the property, ranges expanded.
std::set<int32_t> readProperty(const std::string& property) {
  std::set<int32_t> codePoints;
  std::ifstream data(sourcePath("charset/data/ucd-9.0.0/PropList.txt"));
  EXPECT_TRUE(data.good()) << "PropList.txt not found; set ZELVORA_SOURCE_DIR";
  std::string line;
  while (std::getline(data, line)) {
    std::vector<std::string> f = splitFields(line.substr(0, line.find('#')));
    if (f.size() < 2) continue;
    std::string name = f[1];
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    if (name != property) continue;
    size_t dots = f[0].find("..");
    int32_t first = hexValue(f[0].substr(0, dots));
    int32_t last = dots == std::string::npos ? first : hexValue(f[0].substr(dots + 2));
    for (int32_t cp = first; cp <= last; ++cp) codePoints.insert(cp);
  }
  EXPECT_FALSE(codePoints.empty()) << property;
  return codePoints;
}

TEST(UnicodePredicates, MatchPropListForEveryCodePoint) {
  struct Predicate {
    const char* property;
    bool (*test)(int32_t);
  };
  for (const Predicate& predicate :
       {Predicate{"White_Space", isWhiteSpace}, Predicate{"Soft_Dotted", isSoftDotted}}) {
    std::set<int32_t> expected = readProperty(predicate.property);
    for (int32_t cp = -1; cp <= 0x110000; ++cp) {
      ASSERT_EQ(predicate.test(cp), expected.count(cp) == 1) << predicate.property << std::hex << " U+" << cp;
    }
  }
}

}  // namespace
