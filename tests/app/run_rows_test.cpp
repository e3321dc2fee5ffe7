// End-to-end runs on the rows written: first-seen order, long row numbers, one output from every charset,
// closing texts, and runs in one process.
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

// Keys 1..n as goods codes, each seen twice, the second time after all first sightings.
std::string manyKeys(int n, std::string& rows) {
  std::string items;
  for (int pass = 0; pass < 2; ++pass) {
    for (int k = 1; k <= n; ++k)
      items += std::to_string(k) + ";" + std::to_string(k * 7919 % 100000) + ";11;AT;CN;1\r\n";
  }
  rows.clear();
  for (int k = 1; k <= n; ++k) {
    std::string number = std::to_string(k);
    std::string code = std::to_string(k * 7919 % 100000);
    rows += std::string(5 - number.size(), '0') + number + ";" + std::string(8 - code.size(), '0') + code +
            ";11;AT;CN;2;;;\r\n";
  }
  return items;
}

TEST(Run, MoreThanOneHundredAndThreeHundredKeysKeepFirstSeenOrder) {
  for (int n : {101, 301, 1000}) {
    std::string rows;
    const std::string items = manyKeys(n, rows);
    expectRun({"many keys", kOpening2012 + items, true, kSections2012 + kFtaHeader + rows});
  }
}

TEST(Run, RowNumbersBeyondFiveDigits) {
  std::string items;
  for (int k = 0; k < 100001; ++k) items += "1;" + std::to_string(k) + ";11;AT;CN;1\n";
  ScratchFolder folder;
  const Converted result = convertBytes(folder, kOpening2012 + items);
  ASSERT_EQ(result.outcome.exitStatus, 0);
  const std::string tail =
      "\r\n99999;00099998;11;AT;CN;1;;;\r\n100000;00099999;11;AT;CN;1;;;\r\n"
      "100001;00100000;11;AT;CN;1;;;\r\n";
  ASSERT_GE(result.kept.size(), tail.size());
  EXPECT_EQ(result.kept.substr(result.kept.size() - tail.size()), tail);
}

#ifdef ZELVORA_HAVE_ICONV
TEST(Run, Utf8WithAndWithoutMarkAndIso88592GiveTheSameIso88592Output) {
  const std::string declaration =
      "# Kereskedelmi adatok, június\r\n0;1\r\n"
      "2010;12345678;12345678;2021;6;Kovács Ödön;pénzügyi előadó;+36 1 234 5678;odon@példa.hu;Szűcs Éva;"
      "ügyvezető;;;Árvíztűrő tükörfúrógép;1\r\n1;1\r\n"
      "1;8471300;11;de;hu;1,5;;100;110;hu-öőű\r\n2;8471300;11;DE;HU;1;;;;HU-ÖŐŰ\r\n3;8471300;11;at;hu;1;;;;"
      "destraße\r\n";
  const std::string expected =
      kChapter0 + kIdentificationHeader +
      "2010;12345678;12345678;21;06;Kovács Ödön;pénzügyi előadó;+36 1 234 5678;odon@példa.hu;Szűcs Éva;"
      "ügyvezető;;;Árvíztűrő tükörfúrógép;1\r\n\r\n" +
      kChapter1 + kRtaHeader +
      "00001;08471300;11;DE;HU;2;;100;110;HU-ÖŐŰ\r\n00002;08471300;11;AT;HU;1;;;;DESTRASSE\r\n";
  const struct {
    const char* name;
    std::string input;
  } rows[] = {
      {"UTF-8", declaration},
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + declaration},
      {"ISO-8859-2", latin2(declaration)},
  };
  for (const auto& row : rows) expectRun({row.name, row.input, true, latin2(expected)});
}

TEST(Run, ClosingTextsNameTheKeptFileInIso88592) {
  ScratchFolder folder;
  std::filesystem::create_directories(folder.path() / "árvíztűrő");
  const std::filesystem::path input = folder.path() / "árvíztűrő" / "június.csv";
  writeBytes(input, "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n");
  const Converted ok = convertFile(input);
  const std::string outputPath = latin2(ok.outputPath.string());
  EXPECT_EQ(ok.outcome.closingText, latin2("A feldolgozás sikeres, az eredmény: ") + outputPath +
                                        "\nProcessing successful, result in " + outputPath);
  std::filesystem::remove(ok.outputPath);
  writeBytes(input, "x\r\n");
  const Converted failed = convertFile(input);
  const std::string errorPath = latin2(failed.errorPath.string());
  EXPECT_EQ(failed.outcome.closingText, latin2("A feldolgozás során hibákat találtunk, lásd: ") + errorPath +
                                            "\nErrors found during processing, see: " + errorPath);
}
#endif

TEST(Run, RunsInOneProcessAreIndependent) {
  ScratchFolder folder;
  const Converted first = convertBytes(folder, kOpening2010 + kWorkedItems, "a.csv");
  const Converted second = convertBytes(folder, kOpening2012 + "1;1;1;AT;CN;1\r\n", "b.csv");
  EXPECT_EQ(first.kept, kSections2010 + kRtaHeader + kWorkedRows);
  EXPECT_EQ(second.kept, kSections2012 + kFtaHeader + "00001;00000001;01;AT;CN;1;;;\r\n");
}

}  // namespace
