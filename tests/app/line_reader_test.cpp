// The line reader: detection against the byte table, cutting lines, normalisation, classification and
// splitFields.
#include "app/line_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::u16string units(const UString& text) {
  return std::u16string(text.units(), text.length());
}

UString text(const std::u16string& s) {
  return UString(s.data(), static_cast<uint32_t>(s.size()));
}

// The detection rule byte by byte as the table gives it, a second way of computing the same answer.
bool utf8ByTable(const std::string& bytes) {
  int pending = 0;
  for (unsigned char b : bytes) {
    if (pending > 0) {
      if (b >= 0x80 && b <= 0xBF) {
        --pending;
      } else {
        return false;
      }
    } else if (b <= 0x7F) {
    } else if (b <= 0xBF) {
      return false;
    } else if (b <= 0xDF) {
      pending = 1;
    } else if (b <= 0xEF) {
      pending = 2;
    } else if (b <= 0xF7) {
      pending = 3;
    } else {
      return false;
    }
  }
  return true;
}

TEST(Detection, Utf8OrIso88592) {
  const struct {
    std::string bytes;
    bool utf8;
  } rows[] = {
      {"", true},
      {"0;1\r\n", true},
      {"\xEF\xBB\xBF"
       "0;1",
       true},
      {"K\xC3\xA9sz", true},               // é in UTF-8
      {"K\xE9sz", false},                  // é in ISO-8859-2 before an ASCII byte
      {"abc\xC3", true},                   // cut off by the end
      {"abc\xE9", true},                   // likewise
      {"\xC0\x80\xF5\x80\x80\x80", true},  // overlong forms and lead bytes up to 0xF7 are not looked at
      {"\xED\xA0\x80", true},              // an encoded surrogate
      {"a\x80", false},                    // a continuation byte with nothing to continue
      {"a\xF8", false},
      {"a\xFF", false},
      {"\xC3\xA9\xA9", false},              // one continuation too many
      {std::string("a\0\xE9x", 4), false},  // the whole file is looked at, also past a NUL
  };
  for (const auto& row : rows) {
    EXPECT_EQ(looksLikeUtf8(row.bytes.data(), row.bytes.size()), row.utf8) << row.bytes;
    EXPECT_STREQ(detectCharset(row.bytes.data(), row.bytes.size()), row.utf8 ? "UTF-8" : "ISO-8859-2");
  }
}

TEST(Detection, AgreesWithTheByteTableOnRandomBytes) {
  std::mt19937 random(20210601);
  const unsigned char alphabet[] = {'a',  0x00, 0x7F, 0x80, 0xBF, 0xC0, 0xC3,
                                    0xDF, 0xE0, 0xEF, 0xF0, 0xF7, 0xF8, 0xFF};
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 9, '\0');
    for (char& b : bytes) b = static_cast<char>(alphabet[random() % sizeof(alphabet)]);
    ASSERT_EQ(looksLikeUtf8(bytes.data(), bytes.size()), utf8ByTable(bytes));
  }
}

std::vector<std::string> cut(const std::string& image, bool* sawNul = nullptr) {
  LineCutter cutter(image.data(), image.size());
  std::vector<std::string> lines;
  RawLine line{};
  while (cutter.next(line)) {
    lines.emplace_back(line.bytes, line.size);
    if (line.holdsNul) {
      if (sawNul != nullptr) *sawNul = true;
      EXPECT_FALSE(cutter.next(line)) << "a line holding a NUL is the last one";
      break;
    }
  }
  return lines;
}

TEST(LineCutter, LineEnds) {
  using Lines = std::vector<std::string>;
  const struct {
    std::string image;
    Lines lines;
  } rows[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF CR: one end, then an empty line
      {"a\r\r\nb", {"a", "", "b"}},
      {"\n\n", {"", ""}},
      {std::string("a\n\0", 3), {"a"}},  // a NUL as the last byte just ends the input
      {std::string("a\0", 2), {"a"}},
      {std::string("\0", 1), {}},
  };
  for (const auto& row : rows) {
    bool sawNul = false;
    EXPECT_EQ(cut(row.image, &sawNul), row.lines) << row.image;
    EXPECT_FALSE(sawNul) << row.image;
  }
}

TEST(LineCutter, ANulBeforeTheEndMarksItsLineAndEndsTheCutting) {
  const struct {
    std::string image;
    std::vector<std::string> lines;  // the last one holds the NUL
  } rows[] = {
      {std::string("a\nb\0c\nd\n", 8), {"a", "b"}},
      {std::string("a\n\0\n", 4), {"a", ""}},
      {std::string("\0x", 2), {""}},
      {std::string("a\0\0", 3), {"a"}},
  };
  for (const auto& row : rows) {
    bool sawNul = false;
    EXPECT_EQ(cut(row.image, &sawNul), row.lines);
    EXPECT_TRUE(sawNul);
  }
}

TEST(NormaliseLine, QuotesBlanksTrailingSeparatorsAndCommas) {
  const struct {
    std::u16string decoded;
    bool firstLine;
    std::u16string normalised;
  } rows[] = {
      {u"0;1", false, u"0;1"},
      {u"  0;1 \t", false, u"0;1"},
      {u"\"0\",\"1\"", false, u"0 ; 1"},
      {u"0;1;;;", false, u"0;1"},
      {u"0;1 ; ,", false, u"0;1"},
      {u";;;", false, u""},
      {u"1,5;2", false, u"1,5;2"},  // a ';' keeps the commas
      {u"a,b,,", false, u"a;b"},
      {u"\uFEFF0;1", true, u"0;1"},
      {u"\uFEFF0;1", false, u"\uFEFF0;1"},  // only the first line loses the mark
      {u"\uFEFF", true, u""},
      {u"say \"hi\";x", false, u"say  hi ;x"},
      {u"\u00A0x\u00A0", false, u"\u00A0x\u00A0"},  // a no-break space is not a blank
  };
  for (const auto& row : rows) {
    EXPECT_EQ(units(normaliseLine(text(row.decoded), row.firstLine)), row.normalised)
        << std::string(row.decoded.begin(), row.decoded.end());
  }
}

TEST(SplitFields, CutsAtEverySemicolonAndTrimsEachField) {
  using Fields = std::vector<std::u16string>;
  const struct {
    std::u16string line;
    Fields fields;
  } rows[] = {
      {u"", {}},
      {u"a", {u"a"}},
      {u"a;;b", {u"a", u"", u"b"}},
      {u" a ; b\t;c ", {u"a", u"b", u"c"}},
      {u";", {u"", u""}},
      {u"x;\u00E1rv\u00EDzt\u0171r\u0151", {u"x", u"\u00E1rv\u00EDzt\u0171r\u0151"}},
  };
  for (const auto& row : rows) {
    Fields fields;
    for (const UString& field : splitFields(text(row.line))) fields.push_back(units(field));
    EXPECT_EQ(fields, row.fields);
  }
}

TEST(IsContentLine, SkipsCommentsBracesAndEmptyFieldLines) {
  const struct {
    std::u16string line;
    bool content;
  } rows[] = {
      {u"", false},           {u"# note", false}, {u"#0;1", false}, {u"{fejezet;sorrend}", false},
      {u"{anything}", false}, {u"{open", true},   {u"x}", true},    {u"; ;", false},
      {u"0;1", true},         {u";x", true},
  };
  std::vector<UString> fields;
  for (const auto& row : rows) {
    EXPECT_EQ(isContentLine(text(row.line), fields), row.content)
        << std::string(row.line.begin(), row.line.end());
  }
}

}  // namespace
