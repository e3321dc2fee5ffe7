// Report entries: the file rendering as the report has always been, the terminal rendering with its cell.
#include "app/write/error_report.h"

#include <gtest/gtest.h>

#include <string>

#include "app/declaration/messages.h"
#include "charset/charset.h"
#include "tests/app/latin2.h"

namespace {

UString fromUtf8(const std::string& text) {
  return decodeBytes(text.data(), text.size(), "UTF-8");
}

const std::string kInvalidNumberUtf8 =
    "Érvénytelen szám; kérjük, ne használjon ezres elválasztót.\nInvalid number, please do not use thousands "
    "separators.";

#ifdef ZELVORA_HAVE_ICONV
TEST(ReportEntry, TheFileRenderingIsTheTerminalOneWithoutTheCellInIso88592WithCrLf) {
  const ReportEntry entry = cellEntry(5, message::kInvalidNumber, "KGM", fromUtf8("1.250,5"));
  EXPECT_EQ(reportFileText(entry), latin2("5. sor / line 5\r\n Érvénytelen szám; kérjük, ne használjon ezres "
                                          "elválasztót.\r\nInvalid number, please do not use thousands "
                                          "separators.\r\n\r\n"));
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  writeErrorEntry(file, 5, message::kInvalidNumber);
  std::rewind(file);
  std::string written(4096, '\0');
  written.resize(std::fread(written.data(), 1, written.size(), file));
  std::fclose(file);
  EXPECT_EQ(written, reportFileText(entry));
}
#endif

TEST(ReportEntry, TheTerminalShowsTheColumnAndTheValueAsRead) {
  const std::string sixty = std::string(58, '9') + "őű";
  const struct {
    const char* name;
    ReportEntry entry;
    std::string shown;
  } rows[] = {
      {"a cell", cellEntry(5, message::kInvalidNumber, "KGM", fromUtf8("1.250,5")),
       "5. sor / line 5 KGM: \"1.250,5\"\n " + kInvalidNumberUtf8 + "\n\n"},
      {"no cell", ReportEntry{1, message::kMissingFirstChapter, {}, {}, false},
       "1. sor / line 1\n Hiányzó sor: 0;1\nMissing line: 0;1\n\n"},
      {"an empty cell", cellEntry(2, message::kBadYearMonth, "MHO", UString()),
       "2. sor / line 2 MHO: \"\"\n Hibás tárgyév és/vagy tárgyhó érték. Ez a program csak a 2021. évi "
       "jelentéseket kezeli.\nBad value for year and/or for month. This program works with year 2021 reports "
       "only.\n\n"},
      {"60 characters are shown whole", cellEntry(7, message::kInvalidNumber, "STAERT", fromUtf8(sixty)),
       "7. sor / line 7 STAERT: \"" + sixty + "\"\n " + kInvalidNumberUtf8 + "\n\n"},
      {"61 are cut to 60 and \"...\"", cellEntry(7, message::kInvalidNumber, "STAERT", fromUtf8(sixty + "x")),
       "7. sor / line 7 STAERT: \"" + sixty + "...\"\n " + kInvalidNumberUtf8 + "\n\n"},
      {"control characters cannot reach the terminal",
       cellEntry(9, message::kInvalidNumber, "KGM",
                 fromUtf8("1\x1B[2J\t\x7F\xC2\x9B"
                          "5")),
       "9. sor / line 9 KGM: \"1\xEF\xBF\xBD[2J\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
       "5\"\n " +
           kInvalidNumberUtf8 + "\n\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(terminalText(row.entry), row.shown);
  }
}

TEST(ReportEntry, TheTerminalCountsTheEntriesNotShown) {
  EXPECT_EQ(terminalMoreText(3),
            "A hibajelentés további tételei: 3\nFurther entries in the error report: 3\n");
  EXPECT_EQ(terminalMoreText(4000000000u),
            "A hibajelentés további tételei: 4000000000\nFurther entries in the error report: 4000000000\n");
}

TEST(ReportEntry, EntriesKeepTheFirstTwentyAndCountEvery) {
  ReportEntries entries;
  for (int32_t line = 1; line <= 25; ++line) entries.add(ReportEntry{line, "m", {}, {}, false});
  EXPECT_EQ(entries.count, 25u);
  ASSERT_EQ(entries.first.size(), 20u);
  EXPECT_EQ(entries.first.front().lineNumber, 1);
  EXPECT_EQ(entries.first.back().lineNumber, 20);
}

}  // namespace
