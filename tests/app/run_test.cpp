// End-to-end runs of the conversion on whole declarations and spreadsheet exports: the kept file byte
// for byte, the other file gone, the input unchanged.
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

TEST(Run, Declarations) {
  const Case rows[] = {
      {"worked example, form 2010", kOpening2010 + kWorkedItems, true,
       kSections2010 + kRtaHeader + kWorkedRows},
      {"form 2010 keys on the partner, upper-cased",
       kOpening2010 + "1;1;1;AT;CN;1;;;;hu1\r\n2;1;1;AT;CN;1;;;;HU1\r\n3;1;1;AT;CN;1;;;;HU2\r\n", true,
       kSections2010 + kRtaHeader +
           "00001;00000001;01;AT;CN;2;;;;HU1\r\n00002;00000001;01;AT;CN;1;;;;HU2\r\n"},
      {"form 2012 ignores the partner; padding, upper-casing",
       kOpening2012 + "1;1234567;1;de;cn;0,6;;1;1;X1\r\n2;01234567;01;DE;CN;0.6;;1;1;X2\r\n3;85;11;AT;US\r\n",
       true,
       kSections2012 + kFtaHeader + "00001;01234567;01;DE;CN;1;;2;2\r\n00002;00000085;11;AT;US;;;;\r\n"},
      {"totals: 0, 0.001, 1, negatives, cut not rounded",
       kOpening2012 + "1;1;1;AT;CN;0,001\r\n2;2;1;AT;CN;1\r\n3;3;1;AT;CN;-0,001\r\n4;4;1;AT;CN;-2,5\r\n"
                      "5;5;1;AT;CN;1,999;0,999;-1000;123456,789\r\n6;6;1;AT;CN;5\r\n7;6;1;AT;CN;-5\r\n8;8;1;"
                      "AT;CN;0,0005\r\n",
       true,
       kSections2012 + kFtaHeader +
           "00001;00000001;01;AT;CN;0.001;;;\r\n00002;00000002;01;AT;CN;1;;;\r\n"
           "00003;00000003;01;AT;CN;-0.001;;;\r\n00004;00000004;01;AT;CN;-2.500;;;\r\n"
           "00005;00000005;01;AT;CN;1;0.999;-1000.000;123456\r\n00006;00000006;01;AT;CN;;;;\r\n"
           "00007;00000008;01;AT;CN;;;;\r\n"},
      {"the opening sections and no item line", kOpening2010, true, kSections2010 + kRtaHeader},
      {"lines of one or two fields and later chapter lines are ignored",
       kOpening2012 + "1;1;1;AT;CN;1\r\n1;1\r\n0;1\r\n7\r\n", true,
       kSections2012 + kFtaHeader + "00001;00000001;01;AT;CN;1;;;\r\n"},
      {"comments, braces and blank lines in every state",
       "# export\r\n{fejezet;sorrend}\r\n\r\n0;1\r\n  # note\r\n{MC01;M003_G}\r\n"
       "2010;12345678;12345678;2021;6;Kiss Anna;;;;;;;;;0042\r\n#\r\n{}\r\n;;\r\n1;1\r\n"
       "{T_SORSZ;TEKOD}\r\n# items\r\n" +
           std::string(kWorkedItems).insert(kWorkedItems.find("2;"), "{x}\r\n#3;1;1\r\n\r\n"),
       true, kSections2010 + kRtaHeader + kWorkedRows},
      {"quotes, and comma lines in a ';' file",
       "\"0\";\"1\"\r\n\"2010\",\"12345678\",\"12345678\",\"2021\",\"6\",\"Kiss Anna\",,,,,,,,,\"0042\"\r\n"
       "1;1;;;\r\n1;8471300;11;de;CN;\"1,5\";;100;110;de123456789\r\n"
       "2,08471300,11,DE,CN,2.25,,50.5,60,DE123456789,,,\r\n3;85171200;1;AT;CN;0,25;2;20;20;ATU12345678 ; "
       ",\r\n",
       true, kSections2010 + kRtaHeader + kWorkedRows},
      {"a byte-order mark is dropped from the start of every line, twice from the first",
       "\xEF\xBB\xBF\xEF\xBB\xBF"
       "0;1\r\n\xEF\xBB\xBF"
       "2012;12345678;12345678;2021;3;K\xC3\xA9sz\r\n1;1\r\n",
       true,
       kChapter0 + kIdentificationHeader + "2012;12345678;12345678;21;03;K\xE9sz;;;;;;;;;\r\n\r\n" +
           kChapter1 + kFtaHeader},
      {"one byte that is not UTF-8 makes every line ISO-8859-2",
       "0;1\r\n2012;12345678;12345678;2021;3;K\xC3\xA9sz;;;;;;;;\xE9\r\n1;1\r\n", true,
       kChapter0 + kIdentificationHeader + "2012;12345678;12345678;21;03;K\xC3\xA9sz;;;;;;;;\xE9;\r\n\r\n" +
           kChapter1 + kFtaHeader},
      {"a NUL as the very last byte just ends the input", kOpening2010 + kWorkedItems + std::string(1, '\0'),
       true, kSections2010 + kRtaHeader + kWorkedRows},
  };
  for (const Case& row : rows) expectRun(row);
}

// Files as spreadsheets save them: quoted cells, cells with line breaks, Windows-1250.
TEST(Run, SpreadsheetExports) {
  const std::string identification2010 = "2010;12345678;12345678;2021;6;Kiss Anna;;;;;;;;";
  const std::string comma2010 = "0,1\n2010,12345678,12345678,2021,6,Kiss Anna,,,,,,,,,0042\n1,1\n";
  const Case rows[] = {
      {"a comma-separated export quotes its decimal commas",
       comma2010 +
           "1,8471300,11,de,CN,\"1,5\",,100,110,de123456789\n2,08471300,11,DE,CN,\"2,25\",,\"50,5\",60,"
           "DE123456789\n3,85171200,1,AT,CN,\"0,25\",2,20,20,ATU12345678\n",
       true, kSections2010 + kRtaHeader + kWorkedRows},
      {"a quoted ';' in the remark cannot reach the file; reading goes on",
       "0;1\r\n" + identification2010 + "\"Helyesb\xC3\xADt\xC3\xA9s; 2\";0042\r\n1;1\r\n1;1;1;AT;CN;x\r\n",
       false, entry(2, kSemicolonInCell) + entry(4, kInvalidNumber)},
      {"a quoted ';' in a name",
       "0;1\r\n2010;12345678;12345678;2021;6;\"Kov\xC3\xA1"
       "cs; P\xC3\xA9ter\";;;\r\n1;1\r\n",
       false, entry(2, kSemicolonInCell)},
      {"a bad identifier is the line's only entry", "0;1\r\n2010;1234567;1234567;2021;6;\"a;b\"\r\n1;1\r\n",
       false, entry(2, kBadProvider)},
      {"a quoted ';' in a key cell of an item line, in a quantity, and in an unread partner",
       kOpening2010 +
           "1;\"8471300;1\";11;DE;CN;1\r\n2;1;\"1;1\";DE;CN;1\r\n3;1;1;\"D;E\";CN;1\r\n"
           "4;1;1;DE;\"C;N\";1\r\n5;1;1;DE;CN;1;;;;\"DE;1\"\r\n6;1;1;DE;CN;\"1;5\"\r\n7;1;1;DE;CN;1\r\n",
       false,
       entry(4, kSemicolonInCell) + entry(5, kSemicolonInCell) + entry(6, kSemicolonInCell) +
           entry(7, kSemicolonInCell) + entry(8, kSemicolonInCell) + entry(9, kInvalidNumber)},
      {"form 2012 does not read the partner", kOpening2012 + "1;1;1;AT;CN;1;;;;\"DE;1\"\r\n", true,
       kSections2012 + kFtaHeader + "00001;00000001;01;AT;CN;1;;;\r\n"},
      {"a remark with a line break; a later entry names its own line",
       "0;1\r\n" + identification2010 + "\"J\xC3\xBAniusi\r\nm\xC3\xA1sodik \"\"sor\"\"\";0042\r\n1;1\r\n" +
           kWorkedItems + "4;1;1;AT;CN;x\r\n",
       false, entry(8, kInvalidNumber)},
      {"a remark with a line break and doubled quotes",
       "0;1\r\n" + identification2010 + "\"J\xC3\xBAniusi\r\nm\xC3\xA1sodik \"\"sor\"\"\";0042\r\n1;1\r\n" +
           kWorkedItems,
       true,
       sections("2010;12345678;12345678;21;06;Kiss Anna;;;;;;;;J\xFAniusi m\xE1sodik  sor;42") + kRtaHeader +
           kWorkedRows},
      {"an opening quote that never closes is an ordinary one",
       kOpening2012 + "1;\"8471300;11;DE;CN;1\r\n2;8471300;11;DE;CN;12\r\n", true,
       kSections2012 + kFtaHeader + "00001;08471300;11;DE;CN;13;;;\r\n"},
      {"a quote after a number is a blank", kOpening2012 + "1;8471300;11;DE;CN;12\"\r\n", true,
       kSections2012 + kFtaHeader + "00001;08471300;11;DE;CN;12;;;\r\n"},
      {"a cell opened by mistake in a short line",
       kOpening2012 + "1;\"\r\n2;8471300;11;DE;CN;2\"\r\n3;8471300;11;DE;CN;3\r\n", false,
       entry(4, kLineBreakInItemCell)},
      {"a cell opened by mistake takes the lines after it and is reported",
       kOpening2012 + "1;8471300;11;DE;\"CN;1\r\n2;8471300;11;DE;CN;2\r\n3;8471300;11;DE;CN\";3\r\n"
                      "4;8471300;11;DE;CN;x\r\n",
       false, entry(4, kSemicolonInCell) + entry(7, kInvalidNumber)},
      {"likewise in a comma-separated file",
       comma2010 + "1,8471300,11,DE,CN,1,,,,\"DE1\n2,8471300,11,DE,CN,\"2,5\",,,,DE1\n3,1,1,DE,CN,x\n", false,
       entry(4, kLineBreakInItemCell) + entry(6, kInvalidNumber)},
      {"Windows-1250: letters ISO-8859-2 has, and marks it has not",
       "0;1\r\n2012;12345678;12345678;2021;7;Szab\xF3 \x9E"
       "ofia;;;;;;;;\x84\x8A\x94 \x96 5 \x80 "
       "\x8A\x9A\x8D\x9D\x8E\x9E\x8F\x9F;\r\n1;1\r\n1;87089997;11;at;hu;125,75\r\n",
       true,
       kChapter0 + kIdentificationHeader +
           "2012;12345678;12345678;21;07;Szab\xF3 \xBE"
           "ofia;;;;;;;;?\xA9? ? 5 ? \xA9\xB9\xAB\xBB\xAE\xBE\xAC\xBC;\r\n\r\n" +
           kChapter1 + kFtaHeader + "00001;87089997;11;AT;HU;125;;;\r\n"},
      {"bytes from 0xA0 up only: still ISO-8859-2",
       "0;1\r\n2012;12345678;12345678;2021;7;\xA9\xB9\xAB\xBB\xAE\xBE\xE1\xF5\xFB\r\n1;1\r\n", true,
       kChapter0 + kIdentificationHeader +
           "2012;12345678;12345678;21;07;\xA9\xB9\xAB\xBB\xAE\xBE\xE1\xF5\xFB;;;;;;;;;\r\n\r\n" + kChapter1 +
           kFtaHeader},
  };
  for (const Case& row : rows) expectRun(row);
}

// Saves of spreadsheets in a Hungarian locale that once converted to what the sheet does not show: the
// file's separator is decided by its first content line, so a ';' in a ',' or tab save is text.
TEST(Run, SpreadsheetSavesKeepWhatTheSheetShows) {
  const std::string comma2012 = "0,1\n2012,34567890,34567890,2021,11,Nagy,,,,,,,,,\n1,1\n";
  const std::string opening2012 = "0;1\n2012;34567890;34567890;2021;11;Nagy;;;;;;;;;\n1;1\n";
  const std::string sections2012 = sections("2012;34567890;34567890;21;11;Nagy;;;;;;;;;") + kFtaHeader;
  const std::string vgea2012 = "0;1\n2012;34567890;34567890;2021;11;Nagy;;;;;;;;;";
  const std::string quantity2012 = opening2012 + "1;85076000;11;SI;CN;";
  const Case rows[] = {
      {"a date the sheet made of 12.5 in KGM", quantity2012 + "2026-12-05;4;250;255\n", false,
       entry(4, kInvalidNumber)},
      {"a range in KGM", quantity2012 + "1-2\n", false, entry(4, kInvalidNumber)},
      {"a minus after the digits", quantity2012 + "2,25-\n", true,
       sections2012 + "00001;85076000;11;SI;CN;-2.250;;;\r\n"},
      {"U+2212 MINUS SIGN",
       quantity2012 + "\xE2\x88\x92"
                      "12,5\n",
       true, sections2012 + "00001;85076000;11;SI;CN;-12.500;;;\r\n"},
      {"a ',' save: a ';' in a notes cell right of the items is text, and ignored",
       "0,1\n2010,89012345,89012345,2021,6,Nagy,,,,,,,,,1\n1,1\n"
       "1,44071190,11,AT,AT,2500,\"12,5\",4100,4182,ATU33333333,l\xC3\xA1sd sz\xC3\xA1mla; fizetve\n"
       "2,44071190,11,AT,AT,500,\"2,5\",820,\"836,4\",ATU33333333,rendben\n",
       true,
       sections("2010;89012345;89012345;21;06;Nagy;;;;;;;;;1") + kRtaHeader +
           "00001;44071190;11;AT;AT;3000;15;4920;5018;ATU33333333\r\n"},
      {"a ',' save: a ';' in the remark cannot reach the file",
       "0,1\n2012,34567890,34567890,2021,11,Nagy,,,,,,,,l\xC3\xA1sd; fizetve,\n1,1\n", false,
       entry(2, kSemicolonInCell)},
      {"a ',' save: a ';' in a key cell", comma2012 + "1,85076000,11,SI;AT,CN,5\n2,85076000,11,SI,CN,x\n",
       false, entry(4, kSemicolonInCell) + entry(5, kInvalidNumber)},
      {"a ',' save: a goods line typed with ';' is reported, not dropped as a note",
       comma2012 + "1;85076000;11;SI;CN;1,5\n2;85076000;11;SI;CN;2\n3,\"a;b;c;d;e\"\n4,\"a;b;c;d\"\n", false,
       entry(4, kSemicolonInCell) + entry(5, kSemicolonInCell) + entry(6, kSemicolonInCell)},
      {"a ';' file: a note with fewer semicolons is ignored as before",
       opening2012 + "\"megjegyz\xC3\xA9s; 2 t\xC3\xA9tel; 3\"\n1;85076000;11;SI;CN;2\n", true,
       sections2012 + "00001;85076000;11;SI;CN;2;;;\r\n"},
      {"a ',' save with every cell quoted",
       "\"0\",\"1\"\n" + comma2012.substr(4) +
           "\"1\",\"85076000\",\"11\","
           "\"SI\",\"CN\",\"1,5\"\n",
       true, sections2012 + "00001;85076000;11;SI;CN;1;;;\r\n"},
      {"a ';' file holds lines cut at their commas as before",
       opening2012 + "1,85076000,11,SI,CN,2\n2;85076000;11;SI;CN;1,5\n", true,
       sections2012 + "00001;85076000;11;SI;CN;3;;;\r\n"},
      {"a tab save: an empty first cell keeps its place, a ',' and a ';' are text",
       "0\t1\n2012\t34567890\t34567890\t2021\t11\tNagy "
       "\xC3\x89va\t\t\t\t\t\t\t\t\"Sz\xC3\xA1ll\xC3\xADt\xC3\xA1s, 2 "
       "t\xC3\xA9tel\"\n1\t1\n\t85076000\t11\tSI\tCN\t12,5\t4\t250\t255\t\t\n"
       "2\t08471300\t11\tAT\tCN\t1,5\t\t100\t110\tl\xC3\xA1sd; 2\n",
       true,
       sections("2012;34567890;34567890;21;11;Nagy \xC9va;;;;;;;;Sz\xE1ll\xEDt\xE1s, 2 t\xE9tel;") +
           kFtaHeader + "00001;85076000;11;SI;CN;12;4;250;255\r\n00002;08471300;11;AT;CN;1;;100;110\r\n"},
      {"a tab save: a tab inside a quoted cell stays in it, a ';' in a key cell is reported",
       "0\t1\n2012\t34567890\t34567890\t2021\t11\t\"Nagy\t\xC3\x89va\"\n1\t1\n1\t85076000\t11\tSI\t\"C;"
       "N\"\t1\n",
       false, entry(4, kSemicolonInCell)},
      {"a doubled quote is one quote, which reads as a blank, quoted or not",
       "0;1\n2012;87654321;87654321;21;3;Nagy;;;;;;;;\"Alfa \"\"B\xC3\xA9ta\"\" Kft.\";\n1;1\n"
       "1;85076000;11;SI;CN;1\n1;85076000;11;SI;CN;1;;;;Alfa \"B\xC3\xA9ta\" Kft.\n",
       true,
       sections("2012;87654321;87654321;21;03;Nagy;;;;;;;;Alfa  B\xE9ta  Kft.;") + kFtaHeader +
           "00001;85076000;11;SI;CN;2;;;\r\n"},
      {"VGEA002 3,00", vgea2012 + "3,00\n1;1\n", true,
       sections("2012;34567890;34567890;21;11;Nagy;;;;;;;;;3") + kFtaHeader},
      {"VGEA002 3.0", vgea2012 + "3.0\n1;1\n", true,
       sections("2012;34567890;34567890;21;11;Nagy;;;;;;;;;3") + kFtaHeader},
      {"VGEA002 3,", vgea2012 + "\"3,\"\n1;1\n", true,
       sections("2012;34567890;34567890;21;11;Nagy;;;;;;;;;3") + kFtaHeader},
      {"VGEA002 3,5", vgea2012 + "3,5\n1;1\n", true, sections2012},
      {"VGEA002 -3,00", vgea2012 + "-3,00\n1;1\n", true, sections2012},
      {"VGEA002 3,01", vgea2012 + "3,01\n1;1\n", true, sections2012},
  };
  for (const Case& row : rows) expectRun(row);
}

}  // namespace
