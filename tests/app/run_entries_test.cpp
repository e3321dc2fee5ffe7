// The entries a run keeps for the terminal: the cell and its value as read, the first twenty, none after a
// success.
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

// One entry as the run keeps it for the terminal; the value in UTF-8, "" for an entry about no cell.
struct KeptEntry {
  int32_t line;
  const char* column;
  std::string value;
  bool cut = false;
};

std::string utf8Value(const UString& value) {
  std::string text;
  for (uint32_t i = 0; i < value.length(); ++i) {
    const char16_t unit = value.units()[i];
    if (unit < 0x80) {
      text += static_cast<char>(unit);
    } else {
      text += static_cast<char>(0xC0 | (unit >> 6));
      text += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return text;
}

TEST(Run, EntriesNameTheCellTheyAreAboutWithItsValueAsRead) {
  const std::string longValue = std::string(59, '1') + "ő,5.000";
  const struct {
    const char* name;
    std::string input;
    std::vector<KeptEntry> entries;
  } rows[] = {
      {"each quantity column by its header name; the first bad one of a line",
       kOpening2010 + "1;1;1;AT;CN;1.250,5\r\n2;1;1;AT;CN;1;x;y\r\n3;1;1;AT;CN;1;1; 1 0 0,0,0 ;1\r\n"
                      "4;1;1;AT;CN;1;1;1;\"1e3\"\r\n",
       {{4, "KGM", "1.250,5"}, {5, "KIEGME", "x"}, {6, "SZAOSSZ", "1 0 0,0,0"}, {7, "STAERT", "1e3"}}},
      {"a value longer than 60 characters is cut",
       kOpening2012 + "1;1;1;AT;CN;" + longValue + "\r\n",
       {{4, "KGM", std::string(59, '1') + "ő", true}}},
      {"MC01", "0;1\r\n2011;12345678;12345678;2021;6\r\n", {{2, "MC01", "2011"}}},
      {"M003_G of the wrong length",
       "0;1\r\n2010;1234567;1234567;2021;6\r\n1;1\r\n",
       {{2, "M003_G", "1234567"}}},
      {"M003 unlike M003_G", "0;1\r\n2010;12345678;12345679;2021;6\r\n1;1\r\n", {{2, "M003", "12345679"}}},
      {"MEV", "0;1\r\n2010;12345678;12345678;2020;6\r\n1;1\r\n", {{2, "MEV", "2020"}}},
      {"MHO", "0;1\r\n2010;12345678;12345678;2021;13\r\n1;1\r\n", {{2, "MHO", "13"}}},
      {"MHO empty", "0;1\r\n2010;12345678;12345678;21\r\n1;1\r\n", {{2, "MHO", ""}}},
      {"chapter lines are about the whole line", "0;2\r\n", {{1, "", ""}}},
      {"an error value and a quoted ';' name their cells",
       "0;1\r\n2010;12345678;12345678;2021;6;;;;;;;;;\"a;b\"\r\n1;1\r\n1;1;1;AT;#N/A\r\n"
       "2;1;1;AT;\"C;N\";1\r\n3;1;1;AT;CN;1;;;;Err:502\r\n",
       {{2, "MEGJEGYZES", "a;b"}, {4, "SZAORSZ", "#N/A"}, {5, "SZAORSZ", "C;N"}, {6, "PADO", "Err:502"}}},
      {"FTA on form 2012", kOpening2012 + "1;1;1;#REF!;CN\r\n", {{4, "FTA", "#REF!"}}},
      {"a total out of range, settled by the table, has no single cell",
       kOpening2012 + "1;1;1;AT;CN;9223372036854775\r\n2;1;1;AT;CN;1\r\n3;1;1;AT;CN;x\r\n",
       {{5, "", ""}, {6, "KGM", "x"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ScratchFolder folder;
    const Converted result = convertBytes(folder, row.input);
    EXPECT_EQ(result.outcome.exitStatus, 1);
    const ReportEntries& kept = result.outcome.entries;
    EXPECT_EQ(kept.count, row.entries.size());
    ASSERT_EQ(kept.first.size(), row.entries.size());
    for (std::size_t i = 0; i < row.entries.size(); ++i) {
      EXPECT_EQ(kept.first[i].lineNumber, row.entries[i].line);
      EXPECT_EQ(kept.first[i].column, row.entries[i].column);
      EXPECT_EQ(utf8Value(kept.first[i].value), row.entries[i].value);
      EXPECT_EQ(kept.first[i].valueCut, row.entries[i].cut);
    }
  }
}

TEST(Run, KeepsTheFirstTwentyEntriesAndCountsAllWhileTheReportGetsEvery) {
  ScratchFolder folder;
  std::string input = kOpening2012;
  std::string report;
  for (int i = 0; i < 1000; ++i) {
    input += "1;1;1;AT;CN;x" + std::to_string(i) + "\r\n";
    report += entry(4 + i, kInvalidNumber);
  }
  const Converted result = convertBytes(folder, input);
  expectOnlyKept(result, false, report);
  EXPECT_EQ(result.outcome.entries.count, 1000u);
  ASSERT_EQ(result.outcome.entries.first.size(), 20u);
  EXPECT_EQ(result.outcome.entries.first.back().lineNumber, 23);
  EXPECT_EQ(utf8Value(result.outcome.entries.first.back().value), "x19");
}

TEST(Run, ASuccessfulRunHasNoEntries) {
  ScratchFolder folder;
  const Converted result = convertBytes(folder, kOpening2012 + "1;1;1;AT;CN;1\r\n");
  EXPECT_EQ(result.outcome.exitStatus, 0);
  EXPECT_EQ(result.outcome.entries.count, 0u);
  EXPECT_TRUE(result.outcome.entries.first.empty());
}

}  // namespace
