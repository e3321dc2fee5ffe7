// The line reader: detection against the byte table, cutting lines, quoted cells, normalisation,
// classification and splitting.
#include "app/line_reader.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "charset/charset.h"

namespace {

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
    if (row.utf8) {
      EXPECT_STREQ(detectCharset(row.bytes.data(), row.bytes.size()), "UTF-8");
    }
  }
}

// A file that is not UTF-8 is Windows-1250 as soon as it holds a byte that ISO-8859-2 leaves to control
// codes and Windows-1250 to letters and punctuation.
TEST(Detection, Windows1250OnlyWhenABytePastAsciiIsAControlCodeInIso88592) {
  const struct {
    std::string bytes;
    const char* charset;
  } rows[] = {
      {"K\xE9sz", "ISO-8859-2"},
      {"\xE1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p", "ISO-8859-2"},  // only bytes 0xA0 to 0xFF
      {"a\x80", "windows-1250"},                                            // the euro sign
      {"\x84J\xFAliusi\x94 \x96 5 \x80", "windows-1250"},
      {"\x8A\x9A\x8D\x9D\x8E\x9E\x8F\x9F", "windows-1250"},
      {"a\x9F\xFF", "windows-1250"},
      {"\xC3\xA9\x84", "windows-1250"},  // a valid sequence, then a lone byte that rules out UTF-8
      {"\xC3\x84", "UTF-8"},             // 0x84 continuing a sequence
      {"\xFF\xA0\xBF", "ISO-8859-2"},
  };
  for (const auto& row : rows) {
    EXPECT_STREQ(detectCharset(row.bytes.data(), row.bytes.size()), row.charset) << row.bytes;
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

// What the reader gives for one line: its numbers, whether it goes to a handler, and its fields in UTF-8.
struct Read {
  int number;
  int lastNumber;
  bool content;
  std::vector<std::string> fields;
  bool damaged = false;
  bool operator==(const Read&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Read& read) {
  out << read.number << "-" << read.lastNumber << (read.content ? " content" : " skipped")
      << (read.damaged ? " damaged" : "") << " [";
  for (const std::string& field : read.fields) out << "|" << field;
  return out << "|]";
}

std::string utf8(const char16_t* units, uint32_t length) {
  char* bytes = encodeText(UString(units, length), "UTF-8");
  std::string text(bytes);
  delete[] bytes;
  return text;
}

std::vector<Read> readAll(const std::string& image, const char* charset = "UTF-8") {
  LineReader reader(image.data(), image.size(), charset);
  std::vector<Read> lines;
  ReadLine line;
  while (reader.next(line)) {
    Read read{line.number, line.lastNumber, line.content, {}};
    read.damaged = line.damage != ReadLine::Damage::None;
    for (std::size_t i = 0; i < line.fields.count; ++i)
      read.fields.push_back(utf8(line.fields.begin(i), line.fields.length(i)));
    lines.push_back(read);
    if (read.damaged) break;
  }
  return lines;
}

using Lines = std::vector<Read>;

TEST(LineReader, NormalisesAndSplitsLinesWithoutQuotedCellsAsBefore) {
  const struct {
    std::string image;
    Lines lines;
  } rows[] = {
      {"0;1", {{1, 1, true, {"0", "1"}}}},
      {"  0;1 \t", {{1, 1, true, {"0", "1"}}}},
      {"\"0\",\"1\"", {{1, 1, true, {"0", "1"}}}},
      {"0;1;;;\n0;1 ; ,", {{1, 1, true, {"0", "1"}}, {2, 2, true, {"0", "1"}}}},
      {";;;", {{1, 1, false, {}}}},
      {"; ;", {{1, 1, false, {}}}},
      {"1,5;2", {{1, 1, true, {"1,5", "2"}}}},  // a ';' keeps the commas
      {"a,b,,", {{1, 1, true, {"a", "b"}}}},
      {"\xEF\xBB\xBF"
       "0;1",
       {{1, 1, true, {"0", "1"}}}},
      {"x\n\xEF\xBB\xBF"
       "0;1",
       {{1, 1, true, {"x"}}, {2, 2, true, {"0", "1"}}}},  // decoding drops the mark at any line's start
      {"say \"hi\";x", {{1, 1, true, {"say  hi", "x"}}}},
      {"\xC2\xA0x\xC2\xA0", {{1, 1, true, {"\xC2\xA0x\xC2\xA0"}}}},  // a no-break space is not a blank
      {" a ; b\t;c ", {{1, 1, true, {"a", "b", "c"}}}},
      {"# note\n#0;1\n{fejezet;sorrend}\n{anything}\n{open\nx}\n;x",
       {{1, 1, false, {"# note"}},
        {2, 2, false, {"#0", "1"}},
        {3, 3, false, {"{fejezet", "sorrend}"}},
        {4, 4, false, {"{anything}"}},
        {5, 5, true, {"{open"}},
        {6, 6, true, {"x}"}},
        {7, 7, true, {"", "x"}}}},
  };
  for (const auto& row : rows) EXPECT_EQ(readAll(row.image), row.lines) << row.image;
}

TEST(LineReader, QuotedCellsAsSpreadsheetsWriteThem) {
  const struct {
    std::string image;
    Lines lines;
  } rows[] = {
      // A comma-separated export quotes the cells that hold its separator.
      {"1,8471300,11,de,CN,\"1,5\",,100,110,de123456789",
       {{1, 1, true, {"1", "8471300", "11", "de", "CN", "1,5", "", "100", "110", "de123456789"}}}},
      {"a;\"b;c\";d", {{1, 1, true, {"a", "b;c", "d"}}}},
      {"\"a,b\",c", {{1, 1, true, {"a,b", "c"}}}},
      {"\"a;b\",c", {{1, 1, true, {"a;b", "c"}}}},  // a quoted ';' does not choose the separator
      {"x;\"say \"\"hi\"\"\";y", {{1, 1, true, {"x", "say   hi", "y"}}}},
      {"a;\"b;\"", {{1, 1, true, {"a", "b;"}}}},  // a quoted trailing ';' is text
      {"a;\"b,\" , ;", {{1, 1, true, {"a", "b,"}}}},
      {"a; \"b;c\" ;d", {{1, 1, true, {"a", "b;c", "d"}}}},
      {"a;\"b\"c;d", {{1, 1, true, {"a", "b c", "d"}}}},  // text after the closing quote stays in the field
      {"a;b\"c;d\"", {{1, 1, true, {"a", "b c", "d"}}}},  // a quote inside a field opens nothing
      {"1;12\"", {{1, 1, true, {"1", "12"}}}},
      {"a;\"b;c", {{1, 1, true, {"a", "b", "c"}}}},  // never closed: an ordinary quote
      {"1;2,\"3;4\"", {{1, 1, true, {"1", "2, 3;4"}}}},
      {"\"\";x", {{1, 1, true, {"", "x"}}}},
      {"\"#x;y\"", {{1, 1, false, {"#x;y"}}}},
      {"\"{fejezet\";\"sorrend}\"", {{1, 1, false, {"{fejezet", "sorrend}"}}}},
  };
  for (const auto& row : rows) EXPECT_EQ(readAll(row.image), row.lines) << row.image;
}

TEST(LineReader, AQuotedCellGoesOnOverLineEndsWhenAQuoteFollows) {
  const struct {
    std::string image;
    Lines lines;
  } rows[] = {
      {"0;\"a\nb\";c\nx", {{1, 2, true, {"0", "a b", "c"}}, {3, 3, true, {"x"}}}},
      {"\"a\r\nb\r\rc\"\r\nx", {{1, 4, true, {"a b  c"}}, {5, 5, true, {"x"}}}},  // CR CR: two ends
      {"a;\"b\n\nc;d\";e", {{1, 3, true, {"a", "b  c;d", "e"}}}},
      {"a;\"\nb\"", {{1, 2, true, {"a", "b"}}}},
      // No quote after the line: the opening quote is an ordinary one.
      {"a;\"b\nc;d", {{1, 1, true, {"a", "b"}}, {2, 2, true, {"c", "d"}}}},
      {"a;\"b\"\"\nc;d", {{1, 1, true, {"a", "b"}}, {2, 2, true, {"c", "d"}}}},
      // A NUL byte stops the reading on the physical line where it stands.
      {std::string("a;\"b\nc\0d\ne\"", 11), {{2, 2, false, {}, true}}},
      {"\xC0\x80", {{1, 1, false, {}, true}}},
  };
  for (const auto& row : rows) EXPECT_EQ(readAll(row.image), row.lines) << row.image;
}

// The rule for lines before quoted cells: quotes become blanks, the line is trimmed, trailing separators
// and blanks go, a line without ';' is cut at its commas, every field is trimmed.
std::vector<std::u16string> fieldsByPlainRule(std::u16string line) {
  for (char16_t& unit : line) {
    if (unit == u'"') unit = u' ';
  }
  auto blank = [](char16_t unit) { return unit <= 0x20; };
  std::size_t begin = 0;
  std::size_t end = line.size();
  while (begin < end && blank(line[begin])) ++begin;
  while (end > begin && (blank(line[end - 1]) || line[end - 1] == u';' || line[end - 1] == u',')) --end;
  line = line.substr(begin, end - begin);
  if (line.find(u';') == std::u16string::npos) {
    for (char16_t& unit : line) {
      if (unit == u',') unit = u';';
    }
  }
  std::vector<std::u16string> fields;
  if (line.empty()) return fields;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    if (i < line.size() && line[i] != u';') continue;
    std::size_t b = start;
    std::size_t e = i;
    while (b < e && blank(line[b])) ++b;
    while (e > b && blank(line[e - 1])) --e;
    fields.push_back(line.substr(b, e - b));
    start = i + 1;
  }
  return fields;
}

// Lines in which no separator stands inside a quoted cell: fields of unquoted text (a quote only after
// their first unit), closed quoted cells without separators, and a last cell that never closes. Units
// that share a byte with ';' (U+3B00, U+803B) or have their top bit set must not count as separators.
TEST(LineReader, LinesWithoutQuotedSeparatorsReadAsByThePlainRule) {
  const char16_t text[] = {u'a', u'0', u' ', u'\t', u'"', 0x3B00, 0x803B, 0x00E9, 0x00A0, 0xFFFD};
  const char16_t quoted[] = {u'a', u' ', u'\t', 0x3B00, 0x00E9};
  const char16_t separators[] = {u';', u','};
  std::mt19937 random(1250);
  auto pick = [&random](const auto& alphabet) { return alphabet[random() % std::size(alphabet)]; };
  for (int round = 0; round < 20000; ++round) {
    std::u16string line;
    const int fields = static_cast<int>(random() % 6);
    for (int f = 0; f < fields; ++f) {
      if (f > 0) line += pick(separators);
      line.append(random() % 2, u' ');
      switch (random() % 3) {
        case 0:          // unquoted text
          line += u'y';  // a quote as the first unit would open a cell
          for (int n = static_cast<int>(random() % 5); n > 0; --n) line += pick(text);
          break;
        case 1:  // a quoted cell with doubled quotes inside, and text after it
          line += u'"';
          for (int n = static_cast<int>(random() % 5); n > 0; --n) {
            if (random() % 4 == 0) line += u"\"\"";
            line += pick(quoted);
          }
          line += u'"';
          if (random() % 2 == 0) {  // a quote right after the closing one would be a doubled quote
            line += u'b';
            for (int n = static_cast<int>(random() % 3); n > 0; --n) line += pick(text);
          }
          break;
        default:  // nothing
          break;
      }
    }
    if (random() % 8 == 0) {  // a last cell that never closes: its quote is an ordinary one
      line += u";\"";
      for (int n = static_cast<int>(random() % 6); n > 0; --n)
        line += random() % 3 == 0 ? pick(separators) : pick(quoted);
    }
    char* bytes = encodeText(UString(line.data(), static_cast<uint32_t>(line.size())), "UTF-8");
    const std::string image(bytes);
    delete[] bytes;
    const Lines read = readAll(image);
    std::vector<std::string> expected;
    for (const std::u16string& field : fieldsByPlainRule(line))
      expected.push_back(utf8(field.data(), static_cast<uint32_t>(field.size())));
    ASSERT_EQ(read.size(), image.empty() ? 0u : 1u) << image;
    if (!image.empty()) {
      ASSERT_EQ(read[0].fields, expected) << image;
    }
  }
}

}  // namespace
