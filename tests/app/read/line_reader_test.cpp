// The line reader: quoted cells, separators, normalisation, classification and splitting, from memory and
// from a stream.
#include "app/read/line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "charset/charset.h"
#include "tests/app/latin2.h"
#include "tests/app/read/stream_image.h"

namespace {

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

std::vector<Read> readFrom(LineReader& reader) {
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

std::vector<Read> readAll(const std::string& image, const char* charset = "UTF-8") {
  LineReader reader(image.data(), image.size(), charset);
  return readFrom(reader);
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
      {"x;\"say \"\"hi\"\"\";y", {{1, 1, true, {"x", "say  hi", "y"}}}},  // a doubled quote is one blank
      {"a;\"b;\"", {{1, 1, true, {"a", "b;"}}}},                          // a quoted trailing ';' is text
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

// The first content line decides what separates the fields of every line: ';' (a line without one cut at
// its commas, as before), else ',', else a TAB. A ',' or tab file is cut only at its separator, and a quoted
// cell opens only after it.
TEST(LineReader, TheFirstContentLineDecidesTheSeparator) {
  const struct {
    std::string image;
    Lines lines;
  } rows[] = {
      {"0;1\n1\t2\na,b", {{1, 1, true, {"0", "1"}}, {2, 2, true, {"1\t2"}}, {3, 3, true, {"a", "b"}}}},
      {"# x;y\n0,1\na;b,c;\n1,\"2;3\",4,,",
       {{1, 1, false, {"# x", "y"}},
        {2, 2, true, {"0", "1"}},
        {3, 3, true, {"a;b", "c;"}},
        {4, 4, true, {"1", "2;3", "4"}}}},
      {"\"0\",\"1\"\n1;2\na;\"b,c\"",
       {{1, 1, true, {"0", "1"}}, {2, 2, true, {"1;2"}}, {3, 3, true, {"a; b", "c"}}}},
      {"0\t1\n\ta\t;b\t,c\t\t \n \t\"x\ty\"\t\"z\"\"\"\na,\"b\tc\"\n\t\t",
       {{1, 1, true, {"0", "1"}},
        {2, 2, true, {"", "a", ";b", ",c"}},
        {3, 3, true, {"", "x\ty", "z"}},
        {4, 4, true, {"a, b", "c"}},
        {5, 5, false, {}}}},
      // Read first as a ';' file would: the quote after the TAB opened no cell; read again as a tab file it
      // opens one, which goes on over the line end.
      {"\"0\"\t\"1\nx\"\ny", {{1, 2, true, {"0", "1 x"}}, {3, 3, true, {"y"}}}},
      {"\xC3\xA9\t\xC3\xA1 b", {{1, 1, true, {"\xC3\xA9", "\xC3\xA1 b"}}}},  // decoded, not plain ASCII
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

// Read as UTF-8, a physical line that is not well-formed UTF-8, or holds a character beyond U+FFFF that
// sixteen-bit units would cut to its low bits, is damaged, also within a quoted cell; read in a single-byte
// charset, the same bytes are letters.
TEST(LineReader, ALineThatIsNotWellFormedUtf8IsDamaged) {
  const struct {
    std::string image;
    const char* charset;
    Lines lines;
  } rows[] = {
      {"a;\xC0\xBB;b", "UTF-8", {{1, 1, false, {}, true}}},
      {"a;\xC0\xBB;b", "windows-1250", {{1, 1, true, {"a", "\xC5\x94\xC2\xBB", "b"}}}},
      {"0;1\n1\xC0\xB1"
       "5\n",
       "UTF-8",
       {{1, 1, true, {"0", "1"}}, {2, 2, false, {}, true}}},
      {"x\na;\"b\nc\xED\xA0\x80\"", "UTF-8", {{1, 1, true, {"x"}}, {3, 3, false, {}, true}}},
      {"a;\xF0\x90\x80\xBB", "UTF-8", {{1, 1, false, {}, true}}},  // U+1003B, whose low bits are ';'
      {"\xC3\xA9;\xC3", "UTF-8", {{1, 1, false, {}, true}}},       // a sequence cut by the line's end
      {"\xEF\xBB\xBF\xC5\x91;\xEF\xBF\xBF", "UTF-8", {{1, 1, true, {"\xC5\x91", "\xEF\xBF\xBF"}}}},
  };
  for (const auto& row : rows) EXPECT_EQ(readAll(row.image, row.charset), row.lines) << row.image;
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

// The run reads its input from a stream in blocks, with the summary of a first pass: quoted cells that go
// on over lines and blocks, lines of another charset and a damaged line read as from the image in memory.
TEST(LineReader, AStreamReadInBlocksGivesTheLinesOfTheImageInMemory) {
  const std::string block(kReadBlock - 3, 'a');
  const std::string images[] = {
      "0;1\r\n" + block + ";\"x\r\n\r\ny\";z\r\n1;\"2\"\r\n",  // a cell open over the block's end
      block + ";\"x\r\nno closing quote\r\n" + block + "\r\n\"\r\n",
      "K\xE9sz;\"" + block + "\r\n\xF5\";1\r\n",                  // ISO-8859-2
      "\xC3\xA9;" + block + "\r\n" + block + ";\xC0\x80;1\r\n2",  // an overlong NUL in UTF-8
  };
  for (const std::string& image : images) {
    InputScan scan;
    scan.add(image.data(), image.size());
    const InputSummary summary = scan.summary();
    StreamImage stream(image);
    LineReader reader(stream.bytes, summary);
    ASSERT_EQ(readFrom(reader), readAll(image, summary.charset));
    EXPECT_FALSE(reader.readFailed());
  }
}

// Lines in which no separator stands inside a quoted cell: fields of unquoted text (a quote only after
// their first unit), closed quoted cells without separators, and a last cell that never closes. Units
// that share a byte with ';' (U+3B00, U+803B) or have their top bit set must not count as separators. A
// doubled quote inside a quoted cell reads as one blank, as a single quote does by the plain rule.
TEST(LineReader, LinesWithoutQuotedSeparatorsReadAsByThePlainRule) {
  const char16_t text[] = {u'a', u'0', u' ', u'\t', u'"', 0x3B00, 0x803B, 0x00E9, 0x00A0, 0xFFFD};
  const char16_t quoted[] = {u'a', u' ', u'\t', 0x3B00, 0x00E9};
  const char16_t separators[] = {u';', u','};
  std::mt19937 random(1250);
  auto pick = [&random](const auto& alphabet) { return alphabet[random() % std::size(alphabet)]; };
  for (int round = 0; round < 20000; ++round) {
    // U+0001 stands for a doubled quote until the line is written.
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
            if (random() % 4 == 0) line += u'\1';
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
    std::u16string written;
    std::u16string plain;
    for (char16_t unit : line) {
      written += unit == u'\1' ? u"\"\"" : std::u16string(1, unit);
      plain += unit == u'\1' ? u'"' : unit;
    }
    char* bytes = encodeText(UString(written.data(), static_cast<uint32_t>(written.size())), "UTF-8");
    const std::string image(bytes);
    delete[] bytes;
    // After a first line that makes the file a ';' file.
    const Lines read = readAll("0;1\n" + image);
    std::vector<std::string> expected;
    for (const std::u16string& field : fieldsByPlainRule(plain))
      expected.push_back(utf8(field.data(), static_cast<uint32_t>(field.size())));
    ASSERT_EQ(read.size(), image.empty() ? 1u : 2u) << image;
    if (!image.empty()) {
      ASSERT_EQ(read[1].fields, expected) << image;
    }
  }
}

// Lines of ASCII without a quote or a blank, nearly every item line, are cut in one pass over their bytes:
// lengths around the sixteen and eight bytes read at a time, separators anywhere (trailing ones too), and
// now and then a blank, a quote or a letter past ASCII for lines that must be read the long way. A field
// that starts with '#' or 'E' is marked for the spreadsheet error check.
TEST(LineReader, PlainLinesReadAsByThePlainRule) {
  const char alphabet[] = "a0;;;,,#{}E";
  const char* const rare[] = {" ", "\t", "\"", "\xC3\xA9"};
  std::mt19937 random(2012);
  for (int round = 0; round < 30000; ++round) {
    std::string line(random() % 80, 'a');
    for (char& c : line) c = alphabet[random() % (sizeof alphabet - 1)];
    if (random() % 8 == 0) line.insert(random() % (line.size() + 1), rare[random() % std::size(rare)]);
    const UString decoded = decodeBytes(line.data(), line.size(), "UTF-8");
    std::vector<std::string> expected;
    for (const std::u16string& field : fieldsByPlainRule(std::u16string(decoded.units(), decoded.length())))
      expected.push_back(utf8(field.data(), static_cast<uint32_t>(field.size())));
    // After a first line that makes the file a ';' file.
    const std::string image = "0;1\n" + line;
    const Lines read = readAll(image);
    ASSERT_EQ(read.size(), line.empty() ? 1u : 2u) << line;
    if (!line.empty()) {
      ASSERT_EQ(read[1].fields, expected) << line;
    }
    // A field that starts as a spreadsheet error value does must be marked, or its check is skipped.
    bool marked = false;
    for (const std::string& field : expected)
      marked = marked || field.starts_with('#') || field.starts_with('E');
    LineReader reader(image.data(), image.size(), "UTF-8");
    ReadLine bytesOnly;
    if (marked && reader.next(bytesOnly, false) && reader.next(bytesOnly, false)) {
      ASSERT_TRUE(bytesOnly.fields.errorMarks) << line;
    }
  }
}

}  // namespace
