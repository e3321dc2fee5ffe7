// The entries the built `zelvora` program prints in UTF-8: the cell as read and why it was refused, while
// the report file stays as it was.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "tests/app/front/program_support.h"
#include "tests/app/latin2.h"
#include "tests/app/run_support.h"

#if defined(ZELVORA_BINARY) && !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace {

using namespace program;

// The stderr of a run on june.csv after its closing text; `reason` is its two lines, each without its end.
std::string entry(int line, const std::string& cell, const std::string& message,
                  const std::string& reason = "") {
  return std::to_string(line) + ". sor / line " + std::to_string(line) + cell + "\n " + message + "\n" +
         (reason.empty() ? ""
                         : " Oka: " + reason.substr(0, reason.find('\n')) +
                               "\nReason: " + reason.substr(reason.find('\n') + 1) + "\n") +
         "\n";
}

const std::string kSecondSeparator =
    "második tizedesjel (ezres elválasztó): hagyja el az ezres elválasztót\na second decimal separator "
    "(thousands separators): leave them out";

const std::string kInvalidNumber =
    "Érvénytelen szám; kérjük, ne használjon ezres elválasztót.\nInvalid number, please do not use thousands "
    "separators.";
const std::string kBadProvider =
    "M003_G és M003 az adatszolgáltató törzsszáma legyen (8 számjegy)\nM003_G and M003 must be the data "
    "provider's VAT number (8 digits)";
const std::string kJuneErrors =
    "A feldolgozás során hibákat találtunk, lásd: june-error.txt\nErrors found during processing, see: "
    "june-error.txt\n";

// The report file is the terminal's entries without their cells and reasons, in ISO-8859-2 with CR LF.
std::string asReportFile(const std::string& terminalEntries) {
  std::string text;
  std::size_t start = 0;
  while (start < terminalEntries.size()) {
    std::size_t end = terminalEntries.find('\n', start);
    std::string line = terminalEntries.substr(start, end - start);
    start = end + 1;
    if (line.starts_with(" Oka: ") || line.starts_with("Reason: ")) continue;
    const std::size_t heading = line.find(". sor / line ");
    if (heading != std::string::npos && std::isdigit(static_cast<unsigned char>(line[0]))) {
      const std::size_t cell = line.find(' ', heading + 13);
      if (cell != std::string::npos) line.resize(cell);
    }
    text += line + "\r\n";
  }
  return latin2(text);
}

TEST(Program, EntriesOnStandardErrorNameTheCellAndTheReportFileStaysAsItWas) {
  std::string manyLines;
  std::string firstTwenty;
  std::string allTwentyThree;
  for (int i = 0; i < 23; ++i) {
    manyLines += "1;1;1;AT;CN;1;" + std::to_string(i) + ".000.000\n";
    const std::string one =
        entry(4 + i, " KIEGME: \"" + std::to_string(i) + ".000.000\"", kInvalidNumber, kSecondSeparator);
    if (i < 20) firstTwenty += one;
    allTwentyThree += one;
  }
  const std::string seventy(70, '7');
  const struct {
    const char* name;
    std::string input;
    std::string entries;  // after the closing text, on stderr
    std::string every;    // every entry as the terminal would show it, when not all are shown
  } rows[] = {
      {"cells of the identification and of item lines",
       "0;1\n2010;1234567;1234567;2021;6\n1;1\n1;1;1;AT;CN;1.250,5\n2;1;1;AT;CN;1;;Nagy Ödön\n",
       entry(2, " M003_G: \"1234567\"", kBadProvider) +
           entry(4, " KGM: \"1.250,5\"", kInvalidNumber, kSecondSeparator) +
           entry(5, " SZAOSSZ: \"Nagy Ödön\"", kInvalidNumber, "betű: N\na letter: N"),
       ""},
      {"a whole line has no cell", "1;1\n", entry(1, "", "Hiányzó sor: 0;1\nMissing line: 0;1"), ""},
      {"a long value is cut at 60 characters",
       "0;1\n2012;12345678;12345678;2021;6\n1;1\n1;1;1;AT;CN;" + seventy + "\n",
       entry(4, " KGM: \"" + seventy.substr(0, 60) + "...\"", kInvalidNumber,
             "18-nál több számjegy\nmore than 18 digits"),
       ""},
      {"more than 20 entries: the first 20 and how many more",
       "0;1\n2012;12345678;12345678;2021;6\n1;1\n" + manyLines,
       firstTwenty + "A hibajelentés további tételei: 3\nFurther entries in the error report: 3\n",
       allTwentyThree},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ScratchFolder folder;
    writeBytes(folder.path() / "june.csv", row.input);
    const Ran ran = runProgram(folder, "june.csv");
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, kJuneErrors + row.entries);
    const std::string report = readBytes(folder.path() / "june-error.txt");
    EXPECT_EQ(report, asReportFile(row.every.empty() ? row.entries : row.every));

    const Ran quiet = runProgram(folder, "--quiet june.csv");
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.err, kJuneErrors);
    EXPECT_EQ(readBytes(folder.path() / "june-error.txt"), report);
  }
}

// Under an entry the terminal says why, where the cell or the line tells it; the report file stays as it
// was. One item line per cause, in one run.
const std::string kIncomplete =
    "Hiányos tételsor: legalább TEKOD, UKOD, RTA/FTA és SZAORSZ kell.\nIncomplete item line: TEKOD, UKOD, "
    "RTA/FTA and SZAORSZ are needed at least.";
const std::string kInvalidCode =
    "Hibás kód a tételsorban: a TEKOD 8 számjegy, az UKOD 2 számjegy, az RTA/FTA és a SZAORSZ kétbetűs "
    "országkód legyen, a PADO országkóddal kezdődjön.\nInvalid code in the item line: TEKOD must be 8 "
    "digits, "
    "UKOD 2 digits, RTA/FTA and SZAORSZ two-letter country codes, and PADO must start with a country code.";
const std::string kGoodsCodeForm =
    "a TEKOD legfeljebb 8 számjegy (szóközök nélkül)\nTEKOD must be up to 8 digits (blanks aside)";

// The opening lines of a declaration; the rows' item lines follow, one entry each where a message is
// given. The terminal shows every entry with its reason, the report file none.
struct ReasonRow {
  std::string line;
  std::string cell;  // as the entry names it, empty for a whole line
  std::string message;
  std::string reason;
};

void expectReasons(const std::string& opening, const std::vector<ReasonRow>& rows) {
  std::string input = opening;
  std::string entries;
  int line = 4;
  for (const auto& row : rows) {
    input += row.line + "\n";
    if (!row.message.empty()) entries += entry(line, row.cell, row.message, row.reason);
    ++line;
  }
  ScratchFolder folder;
  writeBytes(folder.path() / "june.csv", input);
  const Ran ran = runProgram(folder, "june.csv");
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.err, kJuneErrors + entries);
  EXPECT_EQ(readBytes(folder.path() / "june-error.txt"), asReportFile(entries));
}

TEST(Program, EntriesSayWhyTheCellWasRefused) {
  expectReasons(
      "0;1\n2012;12345678;12345678;2021;6\n1;1\n",
      {
          {"1;1;1;AT;CN;1.250,5", " KGM: \"1.250,5\"", kInvalidNumber, kSecondSeparator},
          {"1;1;1;AT;CN;1;0,333333333333333", " KIEGME: \"0,333333333333333\"", kInvalidNumber,
           "7-nél több számjegy a tizedesjel után: kerekítse a cellát\nmore than 7 digits after the "
           "separator: "
           "round "
           "the cell"},
          {"1;1;1;AT;CN;1234567890123456789", " KGM: \"1234567890123456789\"", kInvalidNumber,
           "18-nál több számjegy\nmore than 18 digits"},
          {"1;1;1;AT;CN;9999999999999999", " KGM: \"9999999999999999\"", kInvalidNumber,
           "túl nagy szám\na number too large to hold"},
          {"1;1;1;AT;CN;2026\u221212\u221205", " KGM: \"2026\u221212\u221205\"", kInvalidNumber,
           "mínuszjel számjegyek között (dátum vagy tartomány)\na minus sign between digits (a date or a "
           "range)"},
          {"1;1;1;AT;CN;1\u00A0312,6", " KGM: \"1\u00A0312,6\"", kInvalidNumber,
           "nem törő szóköz: a táblázatkezelő számcsoportosítása; kapcsolja ki\na no-break space: digit "
           "grouping "
           "of the spreadsheet; turn it off"},
          {"1;1;1;AT;CN;1\u202F312,6", " KGM: \"1\u202F312,6\"", kInvalidNumber,
           "keskeny nem törő szóköz: a táblázatkezelő számcsoportosítása; kapcsolja ki\na narrow no-break "
           "space: "
           "digit grouping of the spreadsheet; turn it off"},
          {"1;1;1;AT;CN;1;;;50,00%", " STAERT: \"50,00%\"", kInvalidNumber,
           "százalékjel (%): a cella százalék formátumú\na percent sign (%): the cell is formatted as a "
           "percentage"},
          {"1;1;1;AT;CN;+5", " KGM: \"+5\"", kInvalidNumber, "pluszjel (+)\na plus sign (+)"},
          {"1;1;1;AT;CN;=H4*1,02", " KGM: \"=H4*1,02\"", kInvalidNumber,
           "egyenlőségjel (=): szövegként mentett képlet\nan equals sign (=): a formula saved as text"},
          {"1;1;1;AT;CN;1,000.5", " KGM: \"1,000.5\"", kInvalidNumber, kSecondSeparator},
          {"1;1;1;AT;CN;kb. 12", " KGM: \"kb. 12\"", kInvalidNumber, "betű: k\na letter: k"},
          {"1;1;1;AT;CN;0,5 kg", " KGM: \"0,5 kg\"", kInvalidNumber, "betű: k\na letter: k"},
          {"1;1;1;AT;CN;1;;1 200 Ft", " SZAOSSZ: \"1 200 Ft\"", kInvalidNumber, "betű: F\na letter: F"},
          // Each line fits; the second would take the total of their key beyond the largest number held.
          {"9;1;1;DE;DE;9000000000000000", "", "", ""},
          {"9;1;1;DE;DE;9000000000000000", "", kInvalidNumber,
           "az összevont sorok összege túl nagy\nthe total of the merged lines is too large"},
      });
}

// Codes on form 2010, where PADO and SZAORSZ are needed too.
TEST(Program, EntriesSayWhichCodeIsMissingOrOfTheWrongForm) {
  expectReasons(
      "0;1\n2010;12345678;12345678;2021;6\n1;1\n",
      {
          {"T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT", " TEKOD: \"TEKOD\"", kInvalidCode,
           kGoodsCodeForm},
          {"1;851712000;11;AT;CN;1", " TEKOD: \"851712000\"", kInvalidCode, kGoodsCodeForm},
          {"1;85171200;111;AT;CN;1", " UKOD: \"111\"", kInvalidCode,
           "az UKOD 1 vagy 2 számjegy\nUKOD must be 1 or 2 digits"},
          {"1;85171200;11;Ausztria;CN;1", " RTA: \"Ausztria\"", kInvalidCode,
           "az RTA kétbetűs országkód (például DE), nem az ország neve\nRTA must be a two-letter country "
           "code "
           "(DE, say), not the country's name"},
          {"1;85171200;11;AT;Kína;1", " SZAORSZ: \"Kína\"", kInvalidCode,
           "az SZAORSZ kétbetűs országkód (például DE), nem az ország neve\nSZAORSZ must be a two-letter "
           "country code (DE, say), not the country's name"},
          {"Összesen;;;;;1,5;;100;110", " TEKOD: \"\"", kIncomplete,
           "nincs kitöltve: TEKOD, UKOD, RTA, SZAORSZ\nnot filled in: TEKOD, UKOD, RTA, SZAORSZ"},
          {"1;85171200;;AT;;1", " UKOD: \"\"", kIncomplete,
           "nincs kitöltve: UKOD, SZAORSZ\nnot filled in: UKOD, SZAORSZ"},
          {"1;1;1;AT;CN;12*3", " KGM: \"12*3\"", kInvalidNumber,
           "a számban nem állhat ilyen karakter: \"*\" (U+002A)\na character a number may not hold: \"*\" "
           "(U+002A)"},
          {"1;84713000;11", "", kIncomplete, "nincs kitöltve: RTA, SZAORSZ\nnot filled in: RTA, SZAORSZ"},
          {"1;84713000;11;AT", "", kIncomplete, "nincs kitöltve: SZAORSZ\nnot filled in: SZAORSZ"},
          {"1;85171200;11;AT;CN;1;;;;x1", " PADO: \"x1\"", kInvalidCode,
           "a PADO országkóddal kezdődjön (például ATU12345678)\nPADO must start with a country code "
           "(ATU12345678, say)"},
          {"1;84713000;11;AT;;1", " SZAORSZ: \"\"", kIncomplete,
           "nincs kitöltve: SZAORSZ\nnot filled in: SZAORSZ"},
      });
}

// The guides' number rules on files: each quantity alone on a goods line, negated so that its total is
// written with three decimals whatever its size.
TEST(Program, QuantitiesAreReadAsTheGuidesSay) {
  const struct {
    const char* cell;
    const char* written;  // the total of the negated cell
  } rows[] = {
      {"1,250", "-1.250"},  // a single separator is the decimal separator
      {"1.250", "-1.250"},       {"1250,5", "-1250.500"},
      {"1 250", "-1250.000"},                                // plain spaces between digit groups are read
      {"0,5", "-0.500"},         {"12,3456789", "-12.345"},  // seven decimals, cut to the thousandth
      {" 0,9999999 ", "-0.999"},
  };
  std::string input = "0;1\n2012;12345678;12345678;2021;6\n1;1\n";
  std::string items;
  int row = 0;
  for (const auto& each : rows) {
    ++row;
    input += std::to_string(row) + ";" + std::to_string(row) + ";1;AT;CN;-" + each.cell + "\n";
    char key[32];
    std::snprintf(key, sizeof key, "%05d;%08d;01;AT;CN;", row, row);
    items += key + std::string(each.written) + ";;;\r\n";
  }
  ScratchFolder folder;
  writeBytes(folder.path() / "june.csv", input);
  const Ran ran = runProgram(folder, "june.csv");
  EXPECT_EQ(ran.status, 0) << ran.err;
  const std::string output = readBytes(folder.path() / "june-output.csv");
  EXPECT_EQ(output.substr(output.find("{T_SORSZ")),
            "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}\r\n" + items);
}

// A real Excel save with digit grouping: the no-break space is refused, and the terminal says what it is.
TEST(Program, TheSpreadsheetsDigitGroupingIsRefusedWithItsReason) {
  ScratchFolder folder;
  const char* source = std::getenv("ZELVORA_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::filesystem::copy_file(
      std::filesystem::path(source) / "tests" / "app" / "saves" / "excel-digit-grouping.csv",
      folder.path() / "june.csv");
  const Ran ran = runProgram(folder, "june.csv");
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.err,
            kJuneErrors + entry(13, " KGM: \"1\u00A0250,4\"", kInvalidNumber,
                                "nem törő szóköz: a táblázatkezelő számcsoportosítása; kapcsolja "
                                "ki\na no-break space: digit grouping of the spreadsheet; turn it off"));
}

}  // namespace
#endif
