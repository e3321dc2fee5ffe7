// End-to-end runs on item lines: no incomplete or garbled declaration passes, every goods line written has
// its key in the form the office takes, totals rows and prepared rows of real saves.
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

// Each of these once ended as a success with a declaration that was not what the sheet says.
TEST(Run, NoIncompleteOrGarbledDeclarationIsASuccess) {
  const std::string utf16le(
      "\xFF\xFE"
      "0\0;\0"
      "1\0\r\0\n\0",
      12);
  const std::string utf16be(
      "\xFE\xFF\0"
      "0\0;\0"
      "1\0\r\0\n",
      12);
  const Case rows[] = {
      {"the empty file", "", false, entry(1, kMissing01)},
      {"only comments and braces", "# export\r\n{fejezet;sorrend}\r\n\r\n  ;;\r\n", false,
       entry(5, kMissing01)},
      {"the end while waiting for the identification line", "0;1\r\n# x\r\n", false,
       entry(3, kMissingIdentification)},
      {"the end while waiting for the second chapter line", "0;1\r\n2012;12345678;12345678;2021;3", false,
       entry(3, kMissing11)},
      {"the end after a bad year, before the second chapter line", "0;1\r\n2012;12345678;12345678;2020;3\r\n",
       false, entry(2, kBadYear) + entry(3, kMissing11)},
      {"a stopped reading gets no second entry", "0;1\r\n2011;12345678;12345678;2021;3\r\n", false,
       entry(2, kBadForm)},
      {"three- and four-field item lines between good lines",
       kOpening2012 +
           "1;1;1;AT;CN;1\r\n2;85171200;11\r\n3;1;1;AT;CN;1\r\n2;85171200;11;AT\r\n4;1;1;AT;CN;x\r\n",
       false, entry(5, kIncompleteItem) + entry(7, kIncompleteItem) + entry(8, kInvalidNumber)},
      {"an error value as the first field is not a comment",
       kOpening2012 + "#HI\xC3\x81NYZIK;8471300;11;DE;CN;5\r\n#N/A\r\n#n/a;1;1;DE;CN;x\r\n", false,
       entry(4, spreadsheetError("#HI\xC1NYZIK"))},
      {"an error value as the goods code, as a quantity, and beyond the read columns",
       kOpening2010 + "1;#HI\xC3\x81NYZIK;11;DE;CN;5\r\n2;1;1;DE;CN;5;#DIV/0!;Err:502\r\n"
                      "3;1;1;DE;CN;5;;;;DE1;#REF!\r\n4;1;1;DE;CN;5;;;;#N/A\r\n5;1;1;DE;CN;Err:50\r\n",
       false,
       entry(4, spreadsheetError("#HI\xC1NYZIK")) + entry(5, spreadsheetError("#DIV/0!")) +
           entry(7, spreadsheetError("#N/A")) + entry(8, kInvalidNumber)},
      {"error values in a comma-separated line", kOpening2012 + "1,1,1,DE,CN,#VALUE!\r\n", false,
       entry(4, spreadsheetError("#VALUE!"))},
      {"an error value in the identification line; the reading goes on",
       "0;1\r\n2010;12345678;12345678;2021;6;#N\xC3\x89V?\r\n1;1\r\n1;1;1;DE;CN;x\r\n", false,
       entry(2, spreadsheetError("#N\xC9V?")) + entry(4, kInvalidNumber)},
      {"a bad identifier is the identification line's only entry",
       "0;1\r\n2010;1234567;12345678;2021;6;#N/A\r\n1;1\r\n", false, entry(2, kBadProvider)},
      {"UTF-16, little-endian", utf16le, false, entry(1, kUtf16)},
      {"UTF-16, big-endian", utf16be, false, entry(1, kUtf16)},
      {"C0 8A in a partner field",
       kOpening2010 + "1;1;1;DE;CN;1;;;;DE\xC0\x8A"
                      "1\r\n2;1;1;DE;CN;x\r\n",
       false, entry(4, kInvalidSequence)},
      {"E0 80 8A in a country after a good line",
       kOpening2010 + "1;1;1;DE;CN;1\r\n2;1;1;DE;\xE0\x80\x8A;1\r\n", false, entry(5, kInvalidSequence)},
      {"line ends decoded from four bytes", kOpening2010 + "1;1;1;DE;CN;1;;;;\xF0\x90\x80\x8A\r\n", false,
       entry(4, kInvalidSequence)},
      {"a carriage return decoded from two bytes", kOpening2010 + "1;1;1;DE;\xC0\x8D;1\r\n", false,
       entry(4, kInvalidSequence)},
  };
  for (const Case& row : rows) expectRun(row);
}

// Goods lines as bookkeepers' sheets hold them: each is written as the office can take it, left out when
// it carries nothing, or reported naming the cell (the terminal's detail of the entry).
TEST(Run, EveryGoodsLineWrittenHasItsKeyInTheFormTheOfficeTakes) {
  const std::string good = "1;85171200;11;AT;CN;0,25;2;20;20;ATU12345678\r\n";
  const std::string goodRow2010 = "00001;85171200;11;AT;CN;0.250;2;20;20;ATU12345678\r\n";
  const std::string goodRow2012 = "00001;85171200;11;AT;CN;0.250;2;20;20\r\n";
  const struct {
    const char* name;
    int form;
    std::string items;  // after `good`
    std::string rows;   // the item rows kept, or empty for the one entry on line 5
    const char* message;
    const char* detail;  // the entry's column and value on a terminal
  } rows[] = {
      {"a totals row", 2010, "\xC3\x96sszesen;;;;;1,5;;100;110\r\n", "", kIncompleteItem.c_str(),
       "TEKOD: \"\""},
      {"prepared rows with and without a row number", 2010,
       "2;;;;;;;;0;;;;\r\n;;;;;0;0,000;;0\r\n3;;;;; 0 ;;0.0;-0\r\n", goodRow2010, nullptr, nullptr},
      {"prepared rows on form 2012, a partner's column filled", 2012, "2;;;;;;;;0;AT1\r\n", goodRow2012,
       nullptr, nullptr},
      {"a prepared row with a partner is a goods line", 2010, "2;;;;;;;;0;AT1\r\n", "",
       kIncompleteItem.c_str(), "TEKOD: \"\""},
      {"a row without key cells that carries a quantity", 2012, "2;;;;;;;;5\r\n", "", kIncompleteItem.c_str(),
       "TEKOD: \"\""},
      {"a row without key cells with a quantity not a number", 2012, "2;;;;;x\r\n", "",
       kIncompleteItem.c_str(), "TEKOD: \"\""},
      {"a forgotten goods code", 2012, "2;;11;AT;CN;1\r\n", "", kIncompleteItem.c_str(), "TEKOD: \"\""},
      {"a forgotten transaction code", 2012, "2;85171200;;AT;CN;1\r\n", "", kIncompleteItem.c_str(),
       "UKOD: \"\""},
      {"a forgotten member state, form 2010", 2010, "2;85171200;11;;CN;1;;;;AT1\r\n", "",
       kIncompleteItem.c_str(), "RTA: \"\""},
      {"a forgotten member state, form 2012", 2012, "2;85171200;11;;CN;1\r\n", "", kIncompleteItem.c_str(),
       "FTA: \"\""},
      {"an empty country of origin, form 2010", 2010, "2;85171200;11;AT;;1;;;;AT1\r\n", "",
       kIncompleteItem.c_str(), "SZAORSZ: \"\""},
      {"an empty country of origin, form 2012", 2012, "2;85171200;11;AT;;1\r\n",
       goodRow2012 + "00002;85171200;11;AT;;1;;;\r\n", nullptr, nullptr},
      {"codes of every wrong form at once", 2010,
       "2;851712000;111;Ausztria;K\xC3\xADna;0,25;2;20;20;ATU 123 456 78\r\n", "", message::kInvalidItemCode,
       "TEKOD: \"851712000\""},
      {"a goods code with a letter O", 2012, "2;851712OO;11;AT;CN;1\r\n", "", message::kInvalidItemCode,
       "TEKOD: \"851712OO\""},
      {"a goods code of eight digits and a leading zero", 2012, "2;0 8517 1200;11;AT;CN;1\r\n", "",
       message::kInvalidItemCode, "TEKOD: \"0 8517 1200\""},
      {"a transaction code of three digits", 2012, "2;85171200;111;AT;CN;1\r\n", "",
       message::kInvalidItemCode, "UKOD: \"111\""},
      {"a transaction code with a letter", 2012, "2;85171200;1A;AT;CN;1\r\n", "", message::kInvalidItemCode,
       "UKOD: \"1A\""},
      {"a member state by its name", 2010, "2;85171200;11;Ausztria;CN;1;;;;AT1\r\n", "",
       message::kInvalidItemCode, "RTA: \"Ausztria\""},
      {"a member state of one letter", 2012, "2;85171200;11;A;CN;1\r\n", "", message::kInvalidItemCode,
       "FTA: \"A\""},
      {"a country of origin by its name", 2012, "2;85171200;11;AT;K\xC3\xADna;1\r\n", "",
       message::kInvalidItemCode, "SZAORSZ: \"K\xC3\xADna\""},
      {"a sharp s that upper-cases to two letters", 2012, "2;85171200;11;AT;\xC3\x9F;1\r\n", "",
       message::kInvalidItemCode, "SZAORSZ: \"\xC3\x9F\""},
      {"a quoted country with a digit", 2012, "2;\"85171200\";\"11\";\"AT\";\"C1\";1\r\n", "",
       message::kInvalidItemCode, "SZAORSZ: \"C1\""},
      {"columns shifted by one: a quantity as the partner", 2010,
       "2;85171200;01;AT;CN;7;0,25;2;20;20;ATU12345678\r\n", "", message::kInvalidItemCode, "PADO: \"20\""},
      {"a partner of digits", 2010, "2;85171200;11;AT;CN;1;;;;12345678\r\n", "", message::kInvalidItemCode,
       "PADO: \"12345678\""},
      {"a partner of one letter", 2010, "2;85171200;11;AT;CN;1;;;;A\r\n", "", message::kInvalidItemCode,
       "PADO: \"A\""},
      {"a partner of any form on form 2012 is not read", 2012, "2;85171200;12;AT;CN;1;;;;20\r\n",
       goodRow2012 + "00002;85171200;12;AT;CN;1;;;\r\n", nullptr, nullptr},
      {"an empty partner, a partner with blanks beyond its country", 2010,
       "2;85171200;11;AT;CN;1\r\n3;85171200;11;at;cn;1;;;;atu 1234 5678\r\n",
       goodRow2010 + "00002;85171200;11;AT;CN;1;;;;\r\n00003;85171200;11;AT;CN;1;;;;ATU 1234 5678\r\n",
       nullptr, nullptr},
      {"a line of zeros with a goods code is still a goods line", 2012, "2;84713000;11;AT;CN;0;0;0;0\r\n",
       goodRow2012 + "00002;84713000;11;AT;CN;;;;\r\n", nullptr, nullptr},
      {"the goods code as the nomenclature prints it", 2012,
       "2;8471 30 00;11;AT;CN;1\r\n3;84713000;11;AT;CN;2\r\n4;\"8471 30 00\";11;AT;CN;4\r\n5;8471 "
       "3;1;AT;CN;8\r\n",
       goodRow2012 + "00002;84713000;11;AT;CN;7;;;\r\n00003;00084713;01;AT;CN;8;;;\r\n", nullptr, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string input = (row.form == 2010 ? kOpening2010 : kOpening2012) + good + row.items;
    const std::string sections = row.form == 2010 ? kSections2010 + kRtaHeader : kSections2012 + kFtaHeader;
    ScratchFolder folder;
    const Converted result = convertBytes(folder, input);
    if (row.message == nullptr) {
      expectOnlyKept(result, true, sections + row.rows);
      continue;
    }
    expectOnlyKept(result, false, entry(5, row.message));
    ASSERT_EQ(result.outcome.entries.first.size(), 1u);
    const std::string heading = "5. sor / line 5 " + std::string(row.detail) + "\n ";
    EXPECT_EQ(terminalText(result.outcome.entries.first[0]).substr(0, heading.size()), heading);
  }
}

// Two LibreOffice saves of real sheets, byte for byte: a totals row under the items, and rows a template
// prepared below them whose formulas give 0.
TEST(Run, TotalsRowsAndPreparedRowsOfRealSaves) {
  const Case rows[] = {
      {"totals-row.csv",
       "0;1\n2010;98765432;98765432;2021;3;Nagy;;;;;;;;;\n1;1\n1;08471300;11;DE;CN;1,5;;100;110;DE123456789\n"
       "\xC3\x96sszesen;;;;;1,5;;100;110\n",
       false, entry(5, kIncompleteItem)},
      {"template-zero-rows.csv",
       "0;1\n2010;24681357;24681357;2021;7;Nagy;;;;;;;;;\n1;1\n1;85171200;11;AT;CN;37,25;1;113,5;120,5;"
       "AT100000001\n2;;;;;;;;0;;;;\n3;;;;;;;;0;;;;\n",
       true,
       sections("2010;24681357;24681357;21;07;Nagy;;;;;;;;;") + kRtaHeader +
           "00001;85171200;11;AT;CN;37;1;113;120;AT100000001\r\n"},
  };
  for (const Case& row : rows) expectRun(row);
}

}  // namespace
