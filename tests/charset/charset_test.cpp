// Tests of the charset registry, its aliases, and decoding and encoding by the rules of each kind.
#include "charset/charset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

std::u16string unitsOf(const UString& text) {
  return std::u16string(text.units(), text.length());
}

UString textOf(const std::u16string& units) {
  if (units.empty()) return UString();
  UStringBuffer buffer(static_cast<uint32_t>(units.size()));
  std::memcpy(buffer.data(), units.data(), units.size() * sizeof(char16_t));
  return buffer.finish();
}

// The encoded array, `size` bytes of it (under AddressSanitizer a shorter array fails here).
std::string encodedBytes(const std::u16string& units, const char* charset, std::size_t size) {
  std::unique_ptr<char[]> bytes(encodeText(textOf(units), charset));
  return std::string(bytes.get(), size);
}

struct LookupCase {
  const char* name;
  const char* canonical;
  CharsetKind kind;
  int32_t param;
};

TEST(LookupCharset, ResolvesNamesToTheirRow) {
  const LookupCase cases[] = {
      {"utf-8", "UTF-8", Utf8, 0},
      {"UTF8", "UTF-8", Utf8, 0},
      {"unicode-1-1-utf-8", "UTF-8", Utf8, 0},
      {"ISO-8859-2", "ISO-8859-2", SingleByte, 2},
      {"iso-8859-2", "ISO-8859-2", SingleByte, 2},
      {"latin2", "ISO-8859-2", SingleByte, 2},
      {"iso-ir-101", "ISO-8859-2", SingleByte, 2},
      {"ISO_8859-2:1987", "ISO-8859-2", SingleByte, 2},
      {"cp912", "ISO-8859-2", SingleByte, 2},
      {"912", "ISO-8859-2", SingleByte, 2},
      {"windows-1250", "windows-1250", SingleByte, 1250},
      {"cp1250", "windows-1250", SingleByte, 1250},
      {"cp5346", "windows-1250", SingleByte, 1250},
      {"ansi-1251", "windows-1251", SingleByte, 1251},
      {"UTF-16", "UTF-16", Utf16, 0},
      {"utf16", "UTF-16", Utf16, 0},
      {"UnicodeBig", "UTF-16", Utf16, 0},
      {"unicode", "UTF-16", Utf16, 0},
      {"UTF-16BE", "UTF-16BE", Utf16, 0},
      {"UTF-16LE", "UTF-16LE", Utf16, 1},
      {"utf-16le", "UTF-16LE", Utf16, 1},
      {"UnicodeLittleUnmarked", "UTF-16LE", Utf16, 1},
      {"x-utf-16le", "UTF-16LE", Utf16, 1},
      {"csISOLatinArabic", "ISO-8859-6", SingleByte, 6},
      {"1089", "ISO-8859-6", SingleByte, 6},
      {"LATIN0", "ISO-8859-15", SingleByte, 15},
      {"latin0", "ISO-8859-15", SingleByte, 15},
      {"ISO-8859-13", "ISO-8859-13", SingleByte, 13},
      {"windows-1258", "windows-1258", SingleByte, 1258},
  };
  for (const LookupCase& c : cases) {
    char canonical[64] = "junk";
    CharsetKind kind = CharsetNone;
    int32_t param = 99;
    const char* matched = lookupCharset(c.name, canonical, kind, param);
    ASSERT_NE(matched, nullptr) << c.name;
    EXPECT_STRCASEEQ(matched, c.name);
    EXPECT_STREQ(canonical, c.canonical) << c.name;
    EXPECT_EQ(kind, c.kind) << c.name;
    EXPECT_EQ(param, c.param) << c.name;
  }
}

TEST(LookupCharset, UnrecognisedNamesLeaveNothingBehind) {
  const std::string longName(10000, 'A');
  const std::string longUtf8 = "UTF-8" + std::string(9995, '8');
  const char* names[] = {"",
                         "UTF-8 ",
                         " UTF-8",
                         "UTF-",
                         "UTF-8\t",
                         "latin",
                         "ISO-8859-10",
                         "windows-1249",
                         "cp1250x",
                         "csISOLatin1csISOLatin2",
                         longName.c_str(),
                         longUtf8.c_str()};
  for (const char* name : names) {
    char canonical[64] = "junk";
    CharsetKind kind = Utf8;
    int32_t param = 99;
    EXPECT_EQ(lookupCharset(name, canonical, kind, param), nullptr) << std::string(name).substr(0, 20);
    EXPECT_STREQ(canonical, "");
    EXPECT_EQ(kind, CharsetNone);
    EXPECT_EQ(param, -1);
  }
}

struct AliasRow {
  const char* canonical;
  std::vector<const char*> aliases;
};

// The alias lists as published for each registry row, in registry order.
const AliasRow aliasRows[] = {
    {"ISO-8859-1",
     {"csISOLatin1", "latin1", "IBM-819", "iso-ir-100", "8859_1", "ISO_8859-1:1987", "ISO_8859-1", "819",
      "l1", "ISO8859-1", "IBM819", "ISO_8859_1", "ISO8859_1", "cp819"}},
    {"ISO-8859-13", {"8859_13", "iso8859_13", "iso_8859-13", "ISO8859-13"}},
    {"ISO-8859-15",
     {"IBM923", "8859_15", "ISO_8859-15", "ISO-8859-15", "L9", "ISO8859-15", "ISO8859_15_FDIS", "923",
      "LATIN0", "csISOlatin9", "LATIN9", "csISOlatin0", "IBM-923", "ISO8859_15", "cp923"}},
    {"ISO-8859-2",
     {"csISOLatin2", "iso-ir-101", "ibm-912", "8859_2", "l2", "ISO_8859-2", "ibm912", "912", "ISO8859-2",
      "latin2", "iso8859_2", "ISO_8859-2:1987", "cp912"}},
    {"ISO-8859-3",
     {"ibm-913", "latin3", "csISOLatin3", "iso-ir-109", "l3", "iso8859_3", "ISO_8859-3:1988", "8859_3",
      "ibm913", "ISO8859-3", "ISO_8859-3", "913", "cp913"}},
    {"ISO-8859-4",
     {"iso-ir-110", "iso8859-4", "ibm914", "ibm-914", "csISOLatin4", "l4", "914", "8859_4", "latin4",
      "ISO_8859-4", "ISO_8859-4:1988", "iso8859_4", "cp914"}},
    {"ISO-8859-5",
     {"cp915", "ISO8859-5", "ibm915", "ISO_8859-5:1988", "ibm-915", "8859_5", "915", "cyrillic", "iso8859_5",
      "ISO_8859-5", "iso-ir-144", "csISOLatinCyrillic"}},
    {"ISO-8859-6",
     {"arabic", "ibm1089", "iso8859_6", "iso-ir-127", "8859_6", "cp1089", "ECMA-114", "ISO_8859-6",
      "csISOLatinArabic", "1089", "ibm-1089", "ISO8859-6", "ASMO-708", "ISO_8859-6:1987"}},
    {"ISO-8859-7",
     {"iso8859-7", "sun_eu_greek", "csISOLatinGreek", "813", "ISO_8859-7", "ibm-813", "ISO_8859-7:1987",
      "greek", "greek8", "iso8859_7", "ECMA-118", "iso-ir-126", "8859_7", "cp813", "ibm813", "ELOT_928"}},
    {"ISO-8859-8",
     {"ibm916", "cp916", "csISOLatinHebrew", "ISO_8859-8", "ISO8859-8", "ibm-916", "iso8859_8", "hebrew",
      "916", "iso-ir-138", "ISO_8859-8:1988", "8859_8"}},
    {"ISO-8859-9",
     {"ISO_8859-9", "920", "iso8859_9", "csISOLatin5", "l5", "8859_9", "latin5", "ibm920", "iso-ir-148",
      "ISO_8859-9:1989", "ISO8859-9", "cp920", "ibm-920"}},
    {"UTF-16", {"utf16", "UnicodeBig", "UTF_16", "unicode"}},
    {"UTF-16BE", {"X-UTF-16BE", "UTF_16BE", "ISO-10646-UCS-2", "UnicodeBigUnmarked"}},
    {"UTF-16LE", {"UnicodeLittleUnmarked", "UTF_16LE", "X-UTF-16LE"}},
    {"UTF-8", {"unicode-1-1-utf-8", "UTF8"}},
    {"windows-1250", {"cp1250", "cp5346"}},
    {"windows-1251", {"ansi-1251", "cp5347", "cp1251"}},
    {"windows-1252", {"cp1252", "cp5348"}},
    {"windows-1253", {"cp5349", "cp1253"}},
    {"windows-1254", {"cp5350", "cp1254"}},
    {"windows-1255", {"cp1255"}},
    {"windows-1256", {"cp1256"}},
    {"windows-1257", {"cp1257", "cp5353"}},
    {"windows-1258", {"cp1258"}},
};

std::string lowerAscii(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

std::string upperAscii(std::string text) {
  for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return text;
}

TEST(LookupCharset, EveryAliasInAnyCaseGivesItsRow) {
  for (const AliasRow& row : aliasRows) {
    char expectedCanonical[64];
    CharsetKind expectedKind;
    int32_t expectedParam;
    ASSERT_NE(lookupCharset(row.canonical, expectedCanonical, expectedKind, expectedParam), nullptr);
    ASSERT_STREQ(expectedCanonical, row.canonical);
    for (const char* alias : row.aliases) {
      for (const std::string& spelling : {std::string(alias), lowerAscii(alias), upperAscii(alias)}) {
        char canonical[64];
        CharsetKind kind;
        int32_t param;
        const char* matched = lookupCharset(spelling.c_str(), canonical, kind, param);
        ASSERT_NE(matched, nullptr) << spelling;
        EXPECT_STREQ(canonical, row.canonical) << spelling;
        EXPECT_EQ(kind, expectedKind) << spelling;
        EXPECT_EQ(param, expectedParam) << spelling;
      }
    }
  }
}

TEST(LookupCharset, ReportsTheMatchedString) {
  char canonical[64];
  CharsetKind kind;
  int32_t param;
  EXPECT_STREQ(lookupCharset("L2", canonical, kind, param), "l2");
  EXPECT_STREQ(lookupCharset("utf-8", canonical, kind, param), "UTF-8");
  // The alias repeating its own canonical name is never reached: the canonical name matches first.
  const char* matched = lookupCharset("iso-8859-15", canonical, kind, param);
  EXPECT_EQ(matched, charsetRegistry[2].canonicalName);
}

// Canonical names are looked up without the alias lists; that finds the row a walk through every name would
// only while no earlier row lists a canonical name in any case.
TEST(LookupCharset, CanonicalNameGivesTheRowOfTheFullWalk) {
  for (std::size_t row = 0; row < std::size(aliasRows); ++row) {
    const std::string canonicalLower = lowerAscii(aliasRows[row].canonical);
    for (std::size_t earlier = 0; earlier < row; ++earlier) {
      EXPECT_NE(lowerAscii(aliasRows[earlier].canonical), canonicalLower);
      for (const char* alias : aliasRows[earlier].aliases)
        EXPECT_NE(lowerAscii(alias), canonicalLower) << alias;
    }
    char canonical[64];
    CharsetKind kind;
    int32_t param;
    EXPECT_EQ(lookupCharset(aliasRows[row].canonical, canonical, kind, param),
              charsetRegistry[row].canonicalName);
  }
}

TEST(CharsetRegistry, HoldsExactlyThePublishedRowsAndAliases) {
  std::size_t row = 0;
  for (const CharsetEntry* entry = charsetRegistry; entry->canonicalName != nullptr; ++entry, ++row) {
    ASSERT_LT(row, std::size(aliasRows));
    EXPECT_STREQ(entry->canonicalName, aliasRows[row].canonical);
    std::vector<std::string> stored;
    for (const char* alias = entry->aliases; *alias != '\0'; alias += std::strlen(alias) + 1)
      stored.push_back(alias);
    EXPECT_EQ(stored, std::vector<std::string>(aliasRows[row].aliases.begin(), aliasRows[row].aliases.end()))
        << entry->canonicalName;
  }
  EXPECT_EQ(row, std::size(aliasRows));
}

struct DecodeCase {
  const char* charset;
  std::string bytes;
  std::u16string expected;
};

TEST(DecodeBytes, FollowsTheRulesOfEachKind) {
  const DecodeCase cases[] = {
      // UTF-8: the mark, only at the start.
      {"UTF-8", "\xEF\xBB\xBF\x41", u"A"},
      {"UTF-8", "\xEF\xBB\xBF", u""},
      {"UTF-8", "\x41\xEF\xBB\xBF", u"A\uFEFF"},
      {"UTF-8", "\xEF\xBB\xBF\xEF\xBB\xBF", u"\uFEFF"},
      {"UTF-8", "\xEF\xBB", u""},
      // UTF-8: well-formed sequences.
      {"UTF-8", "\xC3\xA1\xC5\x91\xE2\x82\xAC", u"\u00E1\u0151\u20AC"},
      // UTF-8: the 16-bit accumulator keeps the low bits; overlong forms and surrogates pass.
      {"UTF-8", "\xF0\x9F\x98\x80", u"\uF600"},
      {"UTF-8", "\xC0\x80", u"\0"s},
      {"UTF-8", "\xC1\xA1", u"a"},
      {"UTF-8", "\xF8\x80\x80\x81\xA1", u"a"},
      {"UTF-8", "\xFC\x80\x80\x80\x81\xA1", u"a"},
      {"UTF-8", "\xFD\xBF\xBF\xBF\xBF\xBF", u"\uFFFF"},
      {"UTF-8", "\xED\xA0\xBD", u"\xD83D"},
      // UTF-8: an interrupted sequence drops itself and the interrupting byte.
      {"UTF-8", "\xC3\x41", u""},
      {"UTF-8", "\xE2\x41\x42", u"B"},
      {"UTF-8", "\xC3\xC3\xA1\x41", u"A"},
      {"UTF-8", "\xE2\x82\x00\x41"s, u"A"},
      // UTF-8: stray continuation bytes, FE and FF, and a sequence open at the end are dropped.
      {"UTF-8", "\x41\xC3", u"A"},
      {"UTF-8", "\x41\xF0\x9F\x98", u"A"},
      {"UTF-8", "\x80\x41", u"A"},
      {"UTF-8", "\xFE\xFF\x41", u"A"},
      {"UTF-8", "\xBF\xFE\x42\xFF", u"B"},
      // UTF-8: a zero byte inside the given size is a character.
      {"UTF-8", "\x41\x00\x42"s, u"A\0B"s},
      // UTF-16: either mark is skipped without changing the order; the text ends at a zero unit.
      {"UTF-16LE", "\xFF\xFE\x41\x00\x00\x00"s, u"A"},
      {"UTF-16", "\xFF\xFE\x41\x00\x00\x00"s, u"\u4100"},
      {"UTF-16LE", "\xFE\xFF\x41\x00"s, u"A"},
      {"UTF-16BE", "\xFE\xFF\x00\x41\x01\x51"s, u"A\u0151"},
      {"UTF-16", "\x00\x41\x00\x00\x00\x42"s, u"A"},
      {"UTF-16LE", "\x41\x00\x00\x01\x00\x00"s, u"A\u0100"},
      {"UTF-16LE", "\xFF\xFE"s, u""},
      {"UTF-16LE", "\xFF"s, u""},
      {"UTF-16LE", "\x41\x00\x42"s, u"A"},
      {"UTF-16BE", "\xD8\x3D\xDE\x00"s, u"\xD83D\xDE00"},
      // Single byte: through the table, except ISO-8859-1.
      {"ISO-8859-2", "\xF5\xFB\x41", u"\u0151\u0171A"},
      {"windows-1250", "\x81\x8A", u"\uFFFD\u0160"},
      {"ISO-8859-1", "\x80\xFF", u"\u0080\u00FF"},
      {"ISO-8859-2", "\x41\x00\xF5"s, u"A\0\u0151"s},
      {"no-such-charset", "\x80\xF5", u"\u0080\u00F5"},
      {"", "\xA4", u"\u00A4"},
      {"ISO-8859-15", "\xA4", u"\u20AC"},
  };
  for (const DecodeCase& c : cases) {
    std::string shown = ::testing::PrintToString(c.bytes) + " in " + c.charset;
    EXPECT_EQ(unitsOf(decodeBytes(c.bytes.data(), c.bytes.size(), c.charset)), c.expected) << shown;
    // The NUL-terminated form agrees wherever the given bytes hold their own end.
    bool utf16 = std::string(c.charset).rfind("UTF-16", 0) == 0;
    bool wholeZeroUnit =
        c.bytes.size() % 2 == 0 && c.bytes.size() >= 2 && c.bytes.substr(c.bytes.size() - 2) == "\0\0"s;
    if ((!utf16 && c.bytes.find('\0') == std::string::npos) || wholeZeroUnit) {
      EXPECT_EQ(unitsOf(decodeBytes(c.bytes.c_str(), c.charset)), c.expected) << shown;
    }
  }
}

TEST(DecodeBytes, EmptyInputGivesTheEmptyText) {
  for (const char* charset : {"UTF-8", "UTF-16", "UTF-16LE", "ISO-8859-2", "ISO-8859-1", "windows-1258"}) {
    EXPECT_TRUE(decodeBytes("\x41", 0, charset).isEmpty()) << charset;
    // Two zero bytes end the text for every kind, a zero unit included.
    EXPECT_TRUE(decodeBytes("\0\0"s.c_str(), charset).isEmpty()) << charset;
  }
}

struct EncodeCase {
  const char* charset;
  std::u16string text;
  std::string expected;  // with its terminating zero bytes
};

TEST(EncodeText, FollowsTheRulesOfEachKind) {
  const EncodeCase cases[] = {
      {"ISO-8859-2", u"\u0151\u0171A", "\xF5\xFB\x41\x00"s},
      {"ISO-8859-2", u"\u20AC\uFFFD\u00E1", "??\xE1\x00"s},
      {"ISO-8859-1", u"\u0151\u00FF\u0080", "?\xFF\x80\x00"s},
      {"windows-1250", u"\u20AC\u0160\uFFFD", "\x80\x8A?\x00"s},
      {"no-such-charset", u"\u00F5\u0151", "\xF5?\x00"s},
      {"UTF-8", u"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC\x00"s},
      {"UTF-8", u"\xD83D", "\xED\xA0\xBD\x00"s},
      {"UTF-8", u"\x7F\x80\u07FF\u0800\uFFFF", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\x00"s},
      {"UTF-8", u"A\0B"s, "A\0B\0"s},
      {"UTF-16LE", u"AB", "\x41\x00\x42\x00\x00\x00"s},
      {"UTF-16", u"AB", "\x00\x41\x00\x42\x00\x00"s},
      {"UTF-16BE", u"\u0151\uFEFF", "\x01\x51\xFE\xFF\x00\x00"s},
      {"ISO-8859-2", u"", "\x00"s},
      {"UTF-8", u"", "\x00"s},
      {"no-such-charset", u"", "\x00"s},
      // An empty UTF-16 array still ends with a whole zero unit.
      {"UTF-16", u"", "\x00\x00"s},
      {"UTF-16LE", u"", "\x00\x00"s},
  };
  for (const EncodeCase& c : cases) {
    EXPECT_EQ(encodedBytes(c.text, c.charset, c.expected.size()), c.expected)
        << c.charset << " " << ::testing::PrintToString(c.text);
  }
}

std::u16string everyUnitFromOne() {
  std::u16string units;
  for (uint32_t unit = 1; unit <= 0xFFFF; ++unit) units.push_back(static_cast<char16_t>(unit));
  return units;
}

TEST(RoundTrip, UnicodeKindsKeepEveryUnit) {
  const std::u16string units = everyUnitFromOne();
  const UString text = textOf(units);
  for (const char* charset : {"UTF-8", "UTF-16", "UTF-16BE", "UTF-16LE"}) {
    std::unique_ptr<char[]> bytes(encodeText(text, charset));
    EXPECT_EQ(unitsOf(decodeBytes(bytes.get(), charset)), units) << charset;
  }
}

TEST(RoundTrip, SingleByteCharsetsKeepEveryDefinedByte) {
  std::string allBytes;
  for (int byte = 1; byte <= 0xFF; ++byte) allBytes.push_back(static_cast<char>(byte));
  for (const CharsetEntry* entry = charsetRegistry; entry->canonicalName != nullptr; ++entry) {
    char canonical[64];
    CharsetKind kind;
    int32_t param;
    lookupCharset(entry->canonicalName, canonical, kind, param);
    if (kind != SingleByte) continue;
    UString decoded = decodeBytes(allBytes.c_str(), entry->canonicalName);
    ASSERT_EQ(decoded.length(), allBytes.size());
    std::unique_ptr<char[]> encoded(encodeText(decoded, entry->canonicalName));
    for (std::size_t i = 0; i < allBytes.size(); ++i) {
      char expected = decoded.charAt(static_cast<uint32_t>(i)) == 0xFFFD ? '?' : allBytes[i];
      EXPECT_EQ(encoded[i], expected) << entry->canonicalName << " byte " << i + 1;
    }
    EXPECT_EQ(encoded[allBytes.size()], '\0');
  }
}

TEST(RoundTrip, UnrecognisedNameActsAsIsoLatin1) {
  std::string allBytes;
  for (int byte = 1; byte <= 0xFF; ++byte) allBytes.push_back(static_cast<char>(byte));
  std::u16string latin1;
  for (unsigned char byte : allBytes) latin1.push_back(byte);
  EXPECT_EQ(unitsOf(decodeBytes(allBytes.c_str(), "no-such-charset")), latin1);
  const std::u16string units = everyUnitFromOne();
  std::unique_ptr<char[]> unknown(encodeText(textOf(units), "no-such-charset"));
  std::unique_ptr<char[]> latin(encodeText(textOf(units), "ISO-8859-1"));
  EXPECT_EQ(std::memcmp(unknown.get(), latin.get(), units.size() + 1), 0);
  EXPECT_EQ(std::string(unknown.get(), 0xFF), allBytes);
}

}  // namespace
