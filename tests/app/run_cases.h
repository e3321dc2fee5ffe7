// What the end-to-end runs of small declarations expect: the sections, the catalogue entries, a case.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/app/run_support.h"

namespace run_cases {

inline const std::string kChapter0 = "{fejezet;sorrend}\r\n0;1\r\n\r\n";
inline const std::string kChapter1 = "{fejezet;sorrend}\r\n1;1\r\n\r\n";
inline const std::string kIdentificationHeader =
    "{MC01;M003_G;M003;MEV;MHO;JHNEV;JBEOSZTAS;JTELEFON;JEMAIL;KNEV;KBEOSZTAS;KTELEFON;KEMAIL;MEGJEGYZES;"
    "VGEA002}\r\n";
inline const std::string kRtaHeader = "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}\r\n";
inline const std::string kFtaHeader = "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}\r\n";

inline const std::string kOpening2010 =
    "0;1\r\n2010;12345678;12345678;2021;6;Kiss Anna;;;;;;;;;0042\r\n1;1\r\n";
inline const std::string kOpening2012 = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n";

inline std::string sections(const std::string& identificationValues) {
  return kChapter0 + kIdentificationHeader + identificationValues + "\r\n\r\n" + kChapter1;
}
inline const std::string kSections2010 = sections("2010;12345678;12345678;21;06;Kiss Anna;;;;;;;;;42");
inline const std::string kSections2012 = sections("2012;12345678;12345678;21;03;;;;;;;;;;");

inline std::string entry(int line, const std::string& message) {
  std::string text = std::to_string(line) + ". sor / line " + std::to_string(line) + "\r\n ";
  for (char c : message) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text + "\r\n\r\n";
}

inline const std::string kInvalidNumber =
    "\xC9rv\xE9nytelen sz\xE1m; k\xE9rj\xFCk, ne haszn\xE1ljon ezres elv\xE1laszt\xF3t.\nInvalid number, "
    "please do "
    "not use thousands separators.";
inline const std::string kMissing01 = "Hi\xE1nyz\xF3 sor: 0;1\nMissing line: 0;1";
inline const std::string kMissing11 = "Hi\xE1nyz\xF3 sor: 1;1\nMissing line: 1;1";
inline const std::string kBadForm = "MC01 legyen 2010 vagy 2012.\nMC01 must be 2010 or 2012.";
inline const std::string kBadProvider =
    "M003_G \xE9s M003 az adatszolg\xE1ltat\xF3 t\xF6rzssz\xE1ma legyen (8 sz\xE1mjegy)\nM003_G and M003 "
    "must be "
    "the data provider's VAT number (8 digits)";
inline const std::string kBadYear =
    "Hib\xE1s t\xE1rgy\xE9v \xE9s/vagy t\xE1rgyh\xF3 \xE9rt\xE9k. Ez a program csak a 2021. \xE9vi "
    "jelent\xE9seket "
    "kezeli.\nBad value for year and/or for month. This program works with year 2021 reports only.";
inline const std::string kNul =
    "A sorban NUL b\xE1jt \xE1ll, ez\xE9rt a f\xE1jl h\xE1tral\xE9v\xF5 r\xE9sz\xE9t nem dolgoztuk fel.\nThe "
    "line "
    "contains a NUL byte, so the rest of the file was not processed.";

inline const std::string kSemicolonInCell =
    "A cell\xE1"
    "ban pontosvessz\xF5 \xE1ll, amelyet a nyilatkozatf\xE1jl nem tud t\xE1rolni.\nThe cell holds a "
    "semicolon, which the declaration file cannot hold.";
inline const std::string kLineBreakInItemCell =
    "A t\xE9telsor egyik cell\xE1j\xE1"
    "ban sort\xF6r\xE9s \xE1ll; ellen\xF5rizze az id\xE9z\xF5jeleket.\nA cell of "
    "the item line holds a line break; check the quotes.";

inline const std::string kMissingIdentification =
    "Hi\xE1nyz\xF3 sor: az azonos\xEDt\xF3 sor (MC01;M003_G;M003;MEV;MHO;...)\nMissing line: the "
    "identification "
    "line (MC01;M003_G;M003;MEV;MHO;...)";
inline const std::string kIncompleteItem =
    "Hi\xE1nyos t\xE9telsor: legal\xE1"
    "bb TEKOD, UKOD, RTA/FTA \xE9s SZAORSZ kell.\nIncomplete item line: TEKOD, "
    "UKOD, RTA/FTA and SZAORSZ are needed at least.";
inline const std::string kUtf16 =
    "A f\xE1jl UTF-16 k\xF3"
    "dol\xE1s\xFA (Unicode sz\xF6veg); mentse CSV UTF-8 vagy CSV form\xE1tumban.\nThe file "
    "is in UTF-16 (Unicode text); save it as CSV UTF-8 or CSV.";
inline const std::string kInvalidSequence =
    "A sorban \xE9rv\xE9nytelen b\xE1jtsorozat \xE1ll, ez\xE9rt a f\xE1jl h\xE1tral\xE9v\xF5 r\xE9sz\xE9t "
    "nem "
    "dolgoztuk fel.\nThe line contains an invalid byte sequence, so the rest of the file was not processed.";

inline std::string spreadsheetError(const std::string& value) {
  return "A cell\xE1"
         "ban t\xE1"
         "bl\xE1zatkezel\xF5-hiba\xE9rt\xE9k \xE1ll (" +
         value + "); jav\xEDtsa a k\xE9pletet.\nThe cell holds a spreadsheet error value (" + value +
         "); correct the formula.";
}

inline const std::string kWorkedItems =
    "1;8471300;11;de;CN;1,5;;100;110;de123456789\r\n"
    "2;08471300;11;DE;CN;2.25;;50,5;60;DE123456789\r\n"
    "3;85171200;1;AT;CN;0,25;2;20;20;ATU12345678\r\n";
inline const std::string kWorkedRows =
    "00001;08471300;11;DE;CN;3;;150;170;DE123456789\r\n"
    "00002;85171200;01;AT;CN;0.250;2;20;20;ATU12345678\r\n";

struct Case {
  const char* name;
  std::string input;
  bool success;          // the output file is kept (else the error report)
  std::string expected;  // the kept file
};

inline void expectRun(const Case& row) {
  SCOPED_TRACE(row.name);
  ScratchFolder folder;
  expectOnlyKept(convertBytes(folder, row.input), row.success, row.expected);
}

}  // namespace run_cases
