// End-to-end runs on the opening lines and the bytes of the input: the provider, the charset and its
// marks, line ends, line numbers, every message of the report.
#include "app/run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/declaration/messages.h"
#include "app/write/error_report.h"
#include "tests/app/latin2.h"
#include "tests/app/run_cases.h"
#include "tests/app/run_support.h"

namespace {

using namespace run_cases;

// The data provider's identifier is eight digits, not any eight characters.
TEST(Run, TheProvidersIdentifierIsEightDigits) {
  for (const char* identifier : {"ABCDEFGH", "1234567X", "1234 678",
                                 "\xEF\xBC\x91\xEF\xBC\x92"
                                 "345678"}) {
    const std::string id = identifier;
    expectRun(
        {identifier, "0;1\r\n2010;" + id + ";" + id + ";2021;6\r\n1;1\r\n", false, entry(2, kBadProvider)});
  }
}

// Bytes the decoder would read as ASCII though they are no UTF-8 (overlong forms, a surrogate, values
// beyond U+10FFFF) or as the low bits of a character beyond U+FFFF: an entry on their line wherever it
// stands, and nothing read after it. C0 BB would split the cell it stands in as a ';'.
TEST(Run, IllFormedUtf8IsNeverReadAsText) {
  const struct {
    const char* name;
    std::string bytes;
  } forms[] = {
      {"C0 BB, ';'", "\xC0\xBB"},
      {"E0 80 BB, ';'", "\xE0\x80\xBB"},
      {"F4 90 80 BB, ';'", "\xF4\x90\x80\xBB"},
      {"C0 AC, ','", "\xC0\xAC"},
      {"C0 B1, '1'", "\xC0\xB1"},
      {"F4 90 80 80, NUL", "\xF4\x90\x80\x80"},
      {"C0 80, NUL", "\xC0\x80"},
      {"ED A0 80, a surrogate", "\xED\xA0\x80"},
      {"F0 90 80 BB, U+1003B", "\xF0\x90\x80\xBB"},
  };
  for (const auto& form : forms) {
    SCOPED_TRACE(form.name);
    expectRun({"in an item cell",
               kOpening2010 + "1;1;1;DE;CN;1" + form.bytes + "5;;;;DE123\r\n2;1;1;DE;CN;x\r\n", false,
               entry(4, kInvalidSequence)});
    expectRun({"in the identification line",
               "0;1\r\n2010;12345678;12345678;2021;6;Kiss" + form.bytes + "Anna\r\n1;1\r\n", false,
               entry(2, kInvalidSequence)});
    expectRun({"in a comment line", "# note " + form.bytes + "\r\n" + kOpening2012, false,
               entry(1, kInvalidSequence)});
  }
}

// A file that starts with the UTF-8 byte-order mark is UTF-8 whatever follows: a byte of another code page
// gets an entry on its line. Without the mark, the same byte makes the file Windows-1250, as before.
TEST(Run, TheUtf8ByteOrderMarkDecides) {
  const std::string lines =
      kOpening2010 + "1;1;1;DE;CN;1;;;;DE1\r\n2;2;1;DE;CN;1;;;;DE1\r\n3;3;1;DE;CN;1;;;;DE";
  const std::string rows = kSections2010 + kRtaHeader +
                           "00001;00000001;01;DE;CN;1;;;;DE1\r\n00002;00000002;01;DE;CN;1;;;;DE1\r\n"
                           "00003;00000003;01;DE;CN;1;;;;DE\xA9\r\n";
  const Case cases[] = {
      {"a mark and a Windows-1250 byte on line 6", "\xEF\xBB\xBF" + lines + "\x8A\r\n", false,
       entry(6, kInvalidSequence)},
      {"a mark and a sequence cut short on line 6", "\xEF\xBB\xBF" + lines + "\xC5\r\n", false,
       entry(6, kInvalidSequence)},
      {"a mark and well-formed UTF-8", "\xEF\xBB\xBF" + lines + "\xC5\xA0\r\n", true, rows},
      {"no mark and a Windows-1250 byte", lines + "\x8A\r\n", true, rows},
  };
  for (const Case& row : cases) expectRun(row);
}

TEST(Run, LineEndsGiveTheSameResult) {
  const std::string declaration = kOpening2010 + kWorkedItems;
  for (const char* end : {"\n", "\r", "\r\n"}) {
    std::string input;
    for (char c : declaration) {
      if (c == '\r') continue;
      if (c == '\n') {
        input += end;
      } else {
        input += c;
      }
    }
    expectRun({end, input, true, kSections2010 + kRtaHeader + kWorkedRows});
  }
}

TEST(Run, EveryLineCountsInTheEntryNumbers) {
  const Case rows[] = {
      {"CR LF", kOpening2010 + "\r\n# note\r\n{x}\r\n1;1;1;AT;CN;1.000,5\r\n", false,
       entry(7, kInvalidNumber)},
      {"LF", "0;1\n2010;12345678;12345678;2021;6\n1;1\n\n# note\n{x}\n1;1;1;AT;CN;1.000,5\n", false,
       entry(7, kInvalidNumber)},
      {"CR", "0;1\r2010;12345678;12345678;2021;6\r1;1\r\r# note\r{x}\r1;1;1;AT;CN;1.000,5", false,
       entry(7, kInvalidNumber)},
      {"LF CR adds an empty line", "0;1\n\r2010;12345678;12345678;2021;6\n\r1;1\n1;1;1;AT;CN;1.000,5\n",
       false, entry(6, kInvalidNumber)},
      {"the twelfth line",
       "# a\r\n\r\n{b}\r\n0;1\r\n#\r\n2012;12345678;12345678;21;7\r\n\r\n1;1\r\n{c}\r\n"
       "1;1;1;AT;CN;1\r\n\r\n2;2;2;AT;CN;1;1.000.000;2\r\n3;3;3;AT;CN;x\r\n",
       false, entry(12, kInvalidNumber) + entry(13, kInvalidNumber)},
  };
  for (const Case& row : rows) expectRun(row);
}

TEST(Run, EveryMessageOfTheErrorReport) {
  const Case rows[] = {
      {"first content line is not 0;1; nothing after it is read",
       "# x\r\n2010;12345678;12345678;2021;6\r\n0;1\r\n1;1;1;AT;CN;x\r\n", false, entry(2, kMissing01)},
      {"MC01 neither 2010 nor 2012 stops the reading",
       "0;1\r\n2011;12345678;12345678;2021;6\r\n1;1\r\n1;1;1;AT;CN;x\r\n", false, entry(2, kBadForm)},
      {"MC01 empty", "0;1\r\n;12345678;12345678;2021;6\r\n", false, entry(2, kBadForm)},
      {"a bad identifier hides a bad year; reading goes on",
       "0;1\r\n2010;1234567;1234567;2020;6\r\n1;1\r\n1;1;1;AT;CN;1,2,3\r\n", false,
       entry(2, kBadProvider) + entry(4, kInvalidNumber)},
      {"M003 differs from M003_G", "0;1\r\n2010;12345678;12345679;2021;6\r\n1;1\r\n", false,
       entry(2, kBadProvider)},
      {"bad year", "0;1\r\n2010;12345678;12345678;2020;6\r\n1;1\r\n", false, entry(2, kBadYear)},
      {"second chapter line missing", "0;1\r\n2010;12345678;12345678;2021;6\r\n1;2\r\n1;1;1;AT;CN;x\r\n",
       false, entry(3, kMissing11)},
      {"several invalid numbers, one entry per line, only the first bad field counts",
       kOpening2012 + "1;1;1;AT;CN;1.000.000;x;y;z\r\n2;1;1;AT;CN;1;1;1;1e3\r\n3;1;1;AT;CN;1;1;1;1\r\n",
       false, entry(4, kInvalidNumber) + entry(5, kInvalidNumber)},
      {"a value whose thousandths leave 64 bits", kOpening2012 + "1;1;1;AT;CN;9223372036854776\r\n", false,
       entry(4, kInvalidNumber)},
      {"a total that would leave 64 bits",
       kOpening2012 + "1;1;1;AT;CN;9223372036854775\r\n2;1;1;AT;CN;;;;-1\r\n3;1;1;AT;CN;1\r\n"
                      "4;1;1;AT;CN;-9223372036854775\r\n5;2;1;AT;CN;-9223372036854775\r\n6;2;1;AT;CN;-1\r\n",
       false, entry(6, kInvalidNumber) + entry(9, kInvalidNumber)},
      {"a NUL inside the file: its line gets an entry, nothing after it is read",
       kOpening2010 + "1;1;1;AT;CN;1\r\n2;1;1;" + std::string(1, '\0') + "AT;CN;1\r\n3;1;1;AT;CN;x\r\n",
       false, entry(5, kNul)},
      {"the overlong UTF-8 pair C0 80 is no NUL byte", kOpening2010 + "1;1;1;A\xC0\x80T;CN;1\r\n", false,
       entry(4, kInvalidSequence)},
      {"a NUL on an empty line", "0;1\r\n" + std::string(1, '\0') + "\r\n", false, entry(2, kNul)},
  };
  for (const Case& row : rows) expectRun(row);
}

TEST(Run, ChapterLines) {
  for (const char* accepted : {"0;1;x", "00;01", "-0;1", "\"0\";\"1\"", "0;1 ; ,"}) {
    expectRun({accepted, std::string(accepted) + kOpening2012.substr(3), true, kSections2012 + kFtaHeader});
  }
  for (const char* rejected : {"0", "0;2", "1;1", "a;1", "0;+1", "0;1.0"}) {
    expectRun({rejected, std::string(rejected) + "\r\n", false, entry(1, kMissing01)});
  }
  for (const char* rejected : {"1;2", "0;1", "1", "11"}) {
    expectRun({rejected, kOpening2012.substr(0, kOpening2012.size() - 5) + rejected + "\r\n", false,
               entry(3, kMissing11)});
  }
}

TEST(Run, IdentificationValues) {
  const struct {
    const char* line;
    const char* written;  // the values line, or null for the year and month message
  } rows[] = {
      {"2012;12345678;12345678;2021;3", "2012;12345678;12345678;21;03;;;;;;;;;;"},
      {"2010;12345678;12345678;21;7", "2010;12345678;12345678;21;07;;;;;;;;;;"},
      {"2010;12345678;12345678;021;12", "2010;12345678;12345678;21;12;;;;;;;;;;"},
      {"2010;12345678;12345678;2021;1;a;b;c;d;e;f;g;h;i;0042;extra;more",
       "2010;12345678;12345678;21;01;a;b;c;d;e;f;g;h;i;42"},
      {"2010;12345678;12345678;2021;1;;;;;;;;;;0", "2010;12345678;12345678;21;01;;;;;;;;;;"},
      {"2010;12345678;12345678;2021;1;;;;;;;;;;-5", "2010;12345678;12345678;21;01;;;;;;;;;;"},
      {"2010;12345678;12345678;2021;1;;;;;;;;;;4.5", "2010;12345678;12345678;21;01;;;;;;;;;;"},
      {"2010;12345678;12345678;2021;1;;;;;;;;;;x", "2010;12345678;12345678;21;01;;;;;;;;;;"},
      {"2010;12345678;12345678;2022;1", nullptr},
      {"2010;12345678;12345678;22;1", nullptr},
      {"2010;12345678;12345678;2021;0", nullptr},
      {"2010;12345678;12345678;2021;13", nullptr},
      {"2010;12345678;12345678;2021;3.5", nullptr},
      {"2010;12345678;12345678;2021;+3", nullptr},
      {"2010;12345678;12345678;2021", nullptr},
  };
  for (const auto& row : rows) {
    const std::string input = "0;1\r\n" + std::string(row.line) + "\r\n1;1\r\n";
    if (row.written != nullptr) {
      const std::string header = std::string(row.line).substr(0, 4) == "2010" ? kRtaHeader : kFtaHeader;
      expectRun({row.line, input, true, sections(row.written) + header});
    } else {
      expectRun({row.line, input, false, entry(2, kBadYear)});
    }
  }
}

}  // namespace
