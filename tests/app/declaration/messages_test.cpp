// The message catalogue against the same texts in UTF-8 converted by iconv, and fillPath.
#include "app/declaration/messages.h"

#include <gtest/gtest.h>

#include "tests/app/latin2.h"

namespace {

#ifdef ZELVORA_HAVE_ICONV
TEST(Messages, EveryTextIsTheIso88592FormOfItsUtf8Wording) {
  const struct {
    const char* stored;
    const char* utf8;
  } rows[] = {
      {message::kFileNotFound, "A fájl nem található\r\nFile not found"},
      {message::kMissingFirstChapter, "Hiányzó sor: 0;1\nMissing line: 0;1"},
      {message::kBadFormCode, "MC01 legyen 2010 vagy 2012.\nMC01 must be 2010 or 2012."},
      {message::kBadProviderId,
       "M003_G és M003 az adatszolgáltató törzsszáma legyen (8 számjegy)\nM003_G and M003 must be the data "
       "provider's VAT number (8 digits)"},
      {message::kBadYearMonth,
       "Hibás tárgyév és/vagy tárgyhó érték. Ez a program csak a 2021. évi jelentéseket kezeli.\nBad value "
       "for "
       "year and/or for month. This program works with year 2021 reports only."},
      {message::kMissingSecondChapter, "Hiányzó sor: 1;1\nMissing line: 1;1"},
      {message::kInvalidNumber,
       "Érvénytelen szám; kérjük, ne használjon ezres elválasztót.\nInvalid number, please do not use "
       "thousands separators."},
      {message::kSuccess, "A feldolgozás sikeres, az eredmény: %s\nProcessing successful, result in %s"},
      {message::kErrorsFound,
       "A feldolgozás során hibákat találtunk, lásd: %s\nErrors found during processing, see: %s"},
      {message::kNulByte,
       "A sorban NUL bájt áll, ezért a fájl hátralévő részét nem dolgoztuk fel.\nThe line contains a NUL "
       "byte, so the rest of the file was not processed."},
      {message::kSemicolonInCell,
       "A cellában pontosvessző áll, amelyet a nyilatkozatfájl nem tud tárolni.\nThe cell holds a semicolon, "
       "which the declaration file cannot hold."},
      {message::kLineBreakInItemCell,
       "A tételsor egyik cellájában sortörés áll; ellenőrizze az idézőjeleket.\nA cell of the item line "
       "holds a line break; check the quotes."},
      {message::kSpreadsheetError,
       "A cellában táblázatkezelő-hibaérték áll (%s); javítsa a képletet.\nThe cell holds a spreadsheet "
       "error "
       "value (%s); correct the formula."},
      {message::kMissingIdentification,
       "Hiányzó sor: az azonosító sor (MC01;M003_G;M003;MEV;MHO;...)\nMissing line: the identification line "
       "(MC01;M003_G;M003;MEV;MHO;...)"},
      {message::kIncompleteItemLine,
       "Hiányos tételsor: legalább TEKOD, UKOD, RTA/FTA és SZAORSZ kell.\nIncomplete item line: TEKOD, UKOD, "
       "RTA/FTA and SZAORSZ are needed at least."},
      {message::kInvalidItemCode,
       "Hibás kód a tételsorban: a TEKOD 8 számjegy, az UKOD 2 számjegy, az RTA/FTA és a SZAORSZ kétbetűs "
       "országkód legyen, a PADO országkóddal kezdődjön.\nInvalid code in the item line: TEKOD must be 8 "
       "digits, UKOD 2 digits, RTA/FTA and SZAORSZ two-letter country codes, and PADO must start with a "
       "country "
       "code."},
      {message::kUtf16,
       "A fájl UTF-16 kódolású (Unicode szöveg); mentse CSV UTF-8 vagy CSV formátumban.\nThe file is in "
       "UTF-16 "
       "(Unicode text); save it as CSV UTF-8 or CSV."},
      {message::kInvalidByteSequence,
       "A sorban érvénytelen bájtsorozat áll, ezért a fájl hátralévő részét nem dolgoztuk fel.\nThe line "
       "contains an invalid byte sequence, so the rest of the file was not processed."},
      {message::kCannotRead, "A fájl nem olvasható: %s\nThe file cannot be read: %s"},
      {message::kTooLarge, "A fájl túl nagy: %s\nThe file is too large: %s"},
      {message::kOutOfMemory,
       "Nincs elég memória a fájl feldolgozásához: %s\nNot enough memory to process the file: %s"},
      {message::kCannotCreate, "A fájl nem hozható létre: %s\nThe file cannot be created: %s"},
      {message::kCannotWrite, "A fájl írása nem sikerült: %s\nThe file could not be written: %s"},
      {message::kCannotReplace, "A fájl nem írható felül: %s\nThe file cannot be replaced: %s"},
      {message::kInUse,
       "A(z) %s nem írható felül: lehet, hogy egy másik program (például a táblázatkezelő) nyitva tartja. "
       "Zárja be, és próbálja újra.\nThe file %s cannot be replaced: another program (a spreadsheet, say) "
       "may hold it open. Close it and try again."},
      {message::kWaitingForFolder,
       "Várakozás egy másik átalakításra ugyanebben a mappában...\nWaiting for another conversion in the "
       "same folder..."},
      {message::kSameResultNames,
       "Két fájl eredménye ugyanazt a nevet kapná, nevezze át az egyiket: %s és %s\nTwo files would give "
       "results of the same name, rename one of them: %s and %s"},
      {message::kResultGivenAsInput,
       "Az egyik fájl a másik eredménye, ezért nem lehet bemenet: %s és %s\nOne file is the result of the "
       "other and cannot be an input: %s and %s"},
      {message::kStandardOutputNotWritten,
       "A szabványos kimenet nem írható\nStandard output could not be written"},
      {message::kPathTooLong,
       "A kiválasztott fájl elérési útja túl hosszú.\nThe path of the chosen file is too long."},
      {message::kUsage,
       "Használat: zelvora [KAPCSOLÓ]... FÁJL...\n"
       "Minden FÁJL egy CSV-ben exportált nyilatkozat; mellé kerül a -output.csv vagy a -error.txt fájl.\n"
       "  -q, --quiet    hibák után csak a záró szöveget írja ki, a hibajelentés tételeit nem\n"
       "  -h, --help     ez a súgó\n"
       "  -V, --version  a program neve és változata\n"
       "  --             a további argumentumok fájlnevek, akkor is, ha kötőjellel kezdődnek\n"
       "Kilépési érték: 0, ha minden FÁJL átalakult; 1, ha valamelyik nem; 2 hibás parancssor esetén.\n"
       "Usage: zelvora [OPTION]... FILE...\n"
       "Each FILE is a declaration exported as CSV; its -output.csv or -error.txt file is written beside "
       "it.\n"
       "  -q, --quiet    after errors, show only the closing text, not the entries of the error report\n"
       "  -h, --help     show this help\n"
       "  -V, --version  show the program's name and version\n"
       "  --             take every further argument as a file name, even one that starts with '-'\n"
       "Exit status: 0 when every FILE converted, 1 when any did not, 2 for a wrong command line."},
      {message::kUnknownOption, "Ismeretlen kapcsoló: %s\nUnknown option: %s"},
      {message::kStandardInput,
       "A szabványos bemenet (-) nem alakítható át, mert az eredmény a bemenet mellé kerül.\n"
       "Standard input (-) cannot be converted: the result is written beside the input."},
      {message::kSeeHelp, "Súgó: zelvora --help\nHelp: zelvora --help"},
      {message::kMoreEntries, "A hibajelentés további tételei: %s\nFurther entries in the error report: %s"},
  };
  for (const auto& row : rows) EXPECT_EQ(std::string(row.stored), latin2(row.utf8)) << row.utf8;
}
#endif

TEST(Messages, FillPathPutsThePathInEveryPlaceholderAndNeverReadsItAsAPattern) {
  EXPECT_EQ(fillPath("a %s b %s", "x"), "a x b x");
  EXPECT_EQ(fillPath("%s", "100%s"), "100%s");
  EXPECT_EQ(fillPath("50% off: %s", ""), "50% off: ");
  const std::string longPath(5000, 'p');
  EXPECT_EQ(fillPath(message::kSuccess, longPath).size(), std::string(message::kSuccess).size() - 4 + 10000);
}

TEST(Messages, FillPathsPutsTheTwoPathsInTurn) {
  EXPECT_EQ(fillPaths("%s and %s; %s und %s", "a.csv", "a.txt"), "a.csv and a.txt; a.csv und a.txt");
  EXPECT_EQ(fillPaths("%s", "%s", "x"), "%s");
}

}  // namespace
