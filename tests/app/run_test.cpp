// End-to-end runs of the conversion on small declarations: the kept file byte for byte, the other file
// gone, the input unchanged.
#include "app/run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/declaration/messages.h"
#include "app/write/error_report.h"
#include "latin2.h"
#include "run_support.h"

namespace {

const std::string kChapter0 = "{fejezet;sorrend}\r\n0;1\r\n\r\n";
const std::string kChapter1 = "{fejezet;sorrend}\r\n1;1\r\n\r\n";
const std::string kIdentificationHeader =
    "{MC01;M003_G;M003;MEV;MHO;JHNEV;JBEOSZTAS;JTELEFON;JEMAIL;KNEV;KBEOSZTAS;KTELEFON;KEMAIL;MEGJEGYZES;"
    "VGEA002}\r\n";
const std::string kRtaHeader = "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}\r\n";
const std::string kFtaHeader = "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}\r\n";

const std::string kOpening2010 = "0;1\r\n2010;12345678;12345678;2021;6;Kiss Anna;;;;;;;;;0042\r\n1;1\r\n";
const std::string kOpening2012 = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n";

std::string sections(const std::string& identificationValues) {
  return kChapter0 + kIdentificationHeader + identificationValues + "\r\n\r\n" + kChapter1;
}
const std::string kSections2010 = sections("2010;12345678;12345678;21;06;Kiss Anna;;;;;;;;;42");
const std::string kSections2012 = sections("2012;12345678;12345678;21;03;;;;;;;;;;");

std::string entry(int line, const std::string& message) {
  std::string text = std::to_string(line) + ". sor / line " + std::to_string(line) + "\r\n ";
  for (char c : message) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text + "\r\n\r\n";
}

const std::string kInvalidNumber =
    "\xC9rv\xE9nytelen sz\xE1m; k\xE9rj\xFCk, ne haszn\xE1ljon ezres elv\xE1laszt\xF3t.\nInvalid number, "
    "please do "
    "not use thousands separators.";
const std::string kMissing01 = "Hi\xE1nyz\xF3 sor: 0;1\nMissing line: 0;1";
const std::string kMissing11 = "Hi\xE1nyz\xF3 sor: 1;1\nMissing line: 1;1";
const std::string kBadForm = "MC01 legyen 2010 vagy 2012.\nMC01 must be 2010 or 2012.";
const std::string kBadProvider =
    "M003_G \xE9s M003 az adatszolg\xE1ltat\xF3 t\xF6rzssz\xE1ma legyen (8 sz\xE1mjegy)\nM003_G and M003 "
    "must be "
    "the data provider's VAT number (8 digits)";
const std::string kBadYear =
    "Hib\xE1s t\xE1rgy\xE9v \xE9s/vagy t\xE1rgyh\xF3 \xE9rt\xE9k. Ez a program csak a 2021. \xE9vi "
    "jelent\xE9seket "
    "kezeli.\nBad value for year and/or for month. This program works with year 2021 reports only.";
const std::string kNul =
    "A sorban NUL b\xE1jt \xE1ll, ez\xE9rt a f\xE1jl h\xE1tral\xE9v\xF5 r\xE9sz\xE9t nem dolgoztuk fel.\nThe "
    "line "
    "contains a NUL byte, so the rest of the file was not processed.";

const std::string kSemicolonInCell =
    "A cell\xE1"
    "ban pontosvessz\xF5 \xE1ll, amelyet a nyilatkozatf\xE1jl nem tud t\xE1rolni.\nThe cell holds a "
    "semicolon, which the declaration file cannot hold.";
const std::string kLineBreakInItemCell =
    "A t\xE9telsor egyik cell\xE1j\xE1"
    "ban sort\xF6r\xE9s \xE1ll; ellen\xF5rizze az id\xE9z\xF5jeleket.\nA cell of "
    "the item line holds a line break; check the quotes.";

const std::string kMissingIdentification =
    "Hi\xE1nyz\xF3 sor: az azonos\xEDt\xF3 sor (MC01;M003_G;M003;MEV;MHO;...)\nMissing line: the "
    "identification "
    "line (MC01;M003_G;M003;MEV;MHO;...)";
const std::string kIncompleteItem =
    "Hi\xE1nyos t\xE9telsor: legal\xE1"
    "bb TEKOD, UKOD, RTA/FTA \xE9s SZAORSZ kell.\nIncomplete item line: TEKOD, "
    "UKOD, RTA/FTA and SZAORSZ are needed at least.";
const std::string kUtf16 =
    "A f\xE1jl UTF-16 k\xF3"
    "dol\xE1s\xFA (Unicode sz\xF6veg); mentse CSV UTF-8 vagy CSV form\xE1tumban.\nThe file "
    "is in UTF-16 (Unicode text); save it as CSV UTF-8 or CSV.";
const std::string kInvalidSequence =
    "A sorban \xE9rv\xE9nytelen b\xE1jtsorozat \xE1ll, ez\xE9rt a f\xE1jl h\xE1tral\xE9v\xF5 r\xE9sz\xE9t "
    "nem "
    "dolgoztuk fel.\nThe line contains an invalid byte sequence, so the rest of the file was not processed.";

std::string spreadsheetError(const std::string& value) {
  return "A cell\xE1"
         "ban t\xE1"
         "bl\xE1zatkezel\xF5-hiba\xE9rt\xE9k \xE1ll (" +
         value + "); jav\xEDtsa a k\xE9pletet.\nThe cell holds a spreadsheet error value (" + value +
         "); correct the formula.";
}

const std::string kWorkedItems =
    "1;8471300;11;de;CN;1,5;;100;110;de123456789\r\n"
    "2;08471300;11;DE;CN;2.25;;50,5;60;DE123456789\r\n"
    "3;85171200;1;AT;CN;0,25;2;20;20;ATU12345678\r\n";
const std::string kWorkedRows =
    "00001;08471300;11;DE;CN;3;;150;170;DE123456789\r\n"
    "00002;85171200;01;AT;CN;0.250;2;20;20;ATU12345678\r\n";

struct Case {
  const char* name;
  std::string input;
  bool success;          // the output file is kept (else the error report)
  std::string expected;  // the kept file
};

void expectRun(const Case& row) {
  SCOPED_TRACE(row.name);
  ScratchFolder folder;
  expectOnlyKept(convertBytes(folder, row.input), row.success, row.expected);
}

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

namespace {

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
