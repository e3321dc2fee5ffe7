// The tool's message catalogue: every text shown to the user, as ISO-8859-2 bytes, Hungarian first.
#pragma once

#include <string>
#include <string_view>

namespace message {

// Error report entries.
inline constexpr const char* kMissingFirstChapter = "Hi\xE1nyz\xF3 sor: 0;1\nMissing line: 0;1";
inline constexpr const char* kBadFormCode = "MC01 legyen 2010 vagy 2012.\nMC01 must be 2010 or 2012.";
inline constexpr const char* kBadProviderId =
    "M003_G \xE9s M003 az adatszolg\xE1ltat\xF3 t\xF6rzssz\xE1ma legyen (8 sz\xE1mjegy)\n"
    "M003_G and M003 must be the data provider's VAT number (8 digits)";
inline constexpr const char* kBadYearMonth =
    "Hib\xE1s t\xE1rgy\xE9v \xE9s/vagy t\xE1rgyh\xF3 \xE9rt\xE9k. Ez a program csak a 2021. \xE9vi "
    "jelent\xE9seket "
    "kezeli.\nBad value for year and/or for month. This program works with year 2021 reports only.";
inline constexpr const char* kMissingSecondChapter = "Hi\xE1nyz\xF3 sor: 1;1\nMissing line: 1;1";
inline constexpr const char* kInvalidNumber =
    "\xC9rv\xE9nytelen sz\xE1m; k\xE9rj\xFCk, ne haszn\xE1ljon ezres elv\xE1laszt\xF3t.\n"
    "Invalid number, please do not use thousands separators.";
// A quoted cell holds a ';' in a field that is written to the declaration file, whose separator it is.
inline constexpr const char* kSemicolonInCell =
    "A cell\xE1"
    "ban pontosvessz\xF5 \xE1ll, amelyet a nyilatkozatf\xE1jl nem tud t\xE1rolni.\n"
    "The cell holds a semicolon, which the declaration file cannot hold.";
// A quoted cell of an item line goes on over a line end: no item cell holds one, so most likely a quote
// was opened by mistake and took the lines after it.
inline constexpr const char* kLineBreakInItemCell =
    "A t\xE9telsor egyik cell\xE1j\xE1"
    "ban sort\xF6r\xE9s \xE1ll; ellen\xF5rizze az id\xE9z\xF5jeleket.\n"
    "A cell of the item line holds a line break; check the quotes.";
// A cell holds what a spreadsheet writes for a failed formula; "%s" receives the value.
inline constexpr const char* kSpreadsheetError =
    "A cell\xE1"
    "ban t\xE1"
    "bl\xE1zatkezel\xF5-hiba\xE9rt\xE9k \xE1ll (%s); jav\xEDtsa a k\xE9pletet.\n"
    "The cell holds a spreadsheet error value (%s); correct the formula.";
// The input ended before the item section began.
inline constexpr const char* kMissingIdentification =
    "Hi\xE1nyz\xF3 sor: az azonos\xEDt\xF3 sor (MC01;M003_G;M003;MEV;MHO;...)\n"
    "Missing line: the identification line (MC01;M003_G;M003;MEV;MHO;...)";
inline constexpr const char* kIncompleteItemLine =
    "Hi\xE1nyos t\xE9telsor: legal\xE1"
    "bb TEKOD, UKOD, RTA/FTA \xE9s SZAORSZ kell.\n"
    "Incomplete item line: TEKOD, UKOD, RTA/FTA and SZAORSZ are needed at least.";
// A key cell of an item line whose form the declaration file cannot take.
inline constexpr const char* kInvalidItemCode =
    "Hib\xE1s k\xF3"
    "d a t\xE9telsorban: a TEKOD 8 sz\xE1mjegy, az UKOD 2 sz\xE1mjegy, az RTA/FTA \xE9s a SZAORSZ "
    "k\xE9tbet\xFBs orsz\xE1gk\xF3"
    "d legyen, a PADO orsz\xE1gk\xF3"
    "ddal kezd\xF5"
    "dj\xF6n.\n"
    "Invalid code in the item line: TEKOD must be 8 digits, UKOD 2 digits, RTA/FTA and SZAORSZ two-letter "
    "country codes, and PADO must start with a country code.";
inline constexpr const char* kUtf16 =
    "A f\xE1jl UTF-16 k\xF3"
    "dol\xE1s\xFA (Unicode sz\xF6veg); mentse CSV UTF-8 vagy CSV form\xE1tumban.\n"
    "The file is in UTF-16 (Unicode text); save it as CSV UTF-8 or CSV.";
// Bytes that are not well-formed UTF-8 in a file read as UTF-8: an overlong form, an encoded surrogate,
// a value beyond U+10FFFF, or a stray byte of another code page in a file with the UTF-8 mark.
inline constexpr const char* kInvalidByteSequence =
    "A sorban \xE9rv\xE9nytelen b\xE1jtsorozat \xE1ll, ez\xE9rt a f\xE1jl h\xE1tral\xE9v\xF5 r\xE9sz\xE9t "
    "nem "
    "dolgoztuk fel.\nThe line contains an invalid byte sequence, so the rest of the file was not processed.";
// A NUL byte inside the file: what follows it cannot be trusted to be the declaration.
inline constexpr const char* kNulByte =
    "A sorban NUL b\xE1jt \xE1ll, ez\xE9rt a f\xE1jl h\xE1tral\xE9v\xF5 r\xE9sz\xE9t nem dolgoztuk fel.\n"
    "The line contains a NUL byte, so the rest of the file was not processed.";

// Closing texts; every "%s" receives the path of the file named.
inline constexpr const char* kFileNotFound = "A f\xE1jl nem tal\xE1lhat\xF3\r\nFile not found";
inline constexpr const char* kSuccess =
    "A feldolgoz\xE1s sikeres, az eredm\xE9ny: %s\nProcessing successful, result in %s";
inline constexpr const char* kErrorsFound =
    "A feldolgoz\xE1s sor\xE1n hib\xE1kat tal\xE1ltunk, l\xE1sd: %s\nErrors found during processing, see: %s";
inline constexpr const char* kCannotRead = "A f\xE1jl nem olvashat\xF3: %s\nThe file cannot be read: %s";
inline constexpr const char* kTooLarge = "A f\xE1jl t\xFAl nagy: %s\nThe file is too large: %s";
inline constexpr const char* kOutOfMemory =
    "Nincs el\xE9g mem\xF3ria a f\xE1jl feldolgoz\xE1s\xE1hoz: %s\nNot enough memory to process the file: %s";
inline constexpr const char* kCannotCreate =
    "A f\xE1jl nem hozhat\xF3 l\xE9tre: %s\nThe file cannot be created: %s";
inline constexpr const char* kCannotWrite =
    "A f\xE1jl \xEDr\xE1s"
    "a nem siker\xFClt: %s\nThe file could not be written: %s";
// An earlier result that stands in the way and cannot be replaced or removed (another user's, say).
inline constexpr const char* kCannotReplace =
    "A f\xE1jl nem \xEDrhat\xF3 fel\xFCl: %s\nThe file cannot be replaced: %s";
// The same on Windows when another program holds the earlier result open, the most common case of all.
inline constexpr const char* kInUse =
    "A(z) %s nem \xEDrhat\xF3 fel\xFCl: lehet, hogy egy m\xE1sik program (p\xE9ld\xE1ul a "
    "t\xE1"
    "bl\xE1zatkezel\xF5) nyitva tartja. Z\xE1rja be, \xE9s pr\xF3"
    "b\xE1lja \xFAjra.\n"
    "The file %s cannot be replaced: another program (a spreadsheet, say) may hold it open. Close it and "
    "try again.";
// On standard error while a run waits for another that puts its results into the same folder.
inline constexpr const char* kWaitingForFolder =
    "V\xE1rakoz\xE1s egy m\xE1sik \xE1talak\xEDt\xE1sra ugyanebben a mapp\xE1"
    "ban...\nWaiting for another conversion in the same folder...";
// Two inputs of one command line whose results would have the same names; "%s" receives the first input,
// then the second, in each half.
inline constexpr const char* kSameResultNames =
    "K\xE9t f\xE1jl eredm\xE9nye ugyanazt a nevet kapn\xE1, nevezze \xE1t az egyiket: %s \xE9s %s\n"
    "Two files would give results of the same name, rename one of them: %s and %s";
// One input of a command line is the result name of another ("june.csv" and "june-output.csv"): converting
// both would read a result as a declaration, or race for it. "%s" receives the input, then the result given.
inline constexpr const char* kResultGivenAsInput =
    "Az egyik f\xE1jl a m\xE1sik eredm\xE9nye, ez\xE9rt nem lehet bemenet: %s \xE9s %s\n"
    "One file is the result of the other and cannot be an input: %s and %s";
// A closing text or an entry could not be written to standard output (a full disk, a closed pipe).
inline constexpr const char* kStandardOutputNotWritten =
    "A szabv\xE1nyos kimenet nem \xEDrhat\xF3\nStandard output could not be written";
inline constexpr const char* kPathTooLong =
    "A kiv\xE1lasztott f\xE1jl el\xE9r\xE9si \xFAtja t\xFAl hossz\xFA.\nThe path of the chosen file is too "
    "long.";
// The POSIX front end's help: on standard output for --help, on standard error without a FILE.
inline constexpr const char* kUsage =
    "Haszn\xE1lat: zelvora [KAPCSOL\xD3]... F\xC1JL...\n"
    "Minden F\xC1JL egy CSV-ben export\xE1lt nyilatkozat; mell\xE9 ker\xFCl a -output.csv vagy a -error.txt "
    "f\xE1jl.\n"
    "  -q, --quiet    hib\xE1k ut\xE1n csak a z\xE1r\xF3 sz\xF6veget \xEDrja ki, a hibajelent\xE9s "
    "t\xE9teleit nem\n"
    "  -h, --help     ez a s\xFAg\xF3\n"
    "  -V, --version  a program neve \xE9s v\xE1ltozata\n"
    "  --             a tov\xE1"
    "bbi argumentumok f\xE1jlnevek, akkor is, ha k\xF6t\xF5jellel kezd\xF5"
    "dnek\n"
    "Kil\xE9p\xE9si \xE9rt\xE9k: 0, ha minden F\xC1JL \xE1talakult; 1, ha valamelyik nem; 2 hib\xE1s "
    "parancssor eset\xE9n.\n"
    "Usage: zelvora [OPTION]... FILE...\n"
    "Each FILE is a declaration exported as CSV; its -output.csv or -error.txt file is written beside it.\n"
    "  -q, --quiet    after errors, show only the closing text, not the entries of the error report\n"
    "  -h, --help     show this help\n"
    "  -V, --version  show the program's name and version\n"
    "  --             take every further argument as a file name, even one that starts with '-'\n"
    "Exit status: 0 when every FILE converted, 1 when any did not, 2 for a wrong command line.";
// An argument that starts with "-" but is no option; every "%s" receives it.
inline constexpr const char* kUnknownOption =
    "Ismeretlen kapcsol\xF3: %s\n"
    "Unknown option: %s";
// "-" names no file, and the result could not be written beside standard input.
inline constexpr const char* kStandardInput =
    "A szabv\xE1nyos bemenet (-) nem alak\xEDthat\xF3 \xE1t, mert az eredm\xE9ny a bemenet mell\xE9 "
    "ker\xFCl.\n"
    "Standard input (-) cannot be converted: the result is written beside the input.";
// Closes a wrong command line.
inline constexpr const char* kSeeHelp =
    "S\xFAg\xF3: zelvora --help\n"
    "Help: zelvora --help";
// After the entries shown on a terminal; every "%s" receives how many are not shown.
inline constexpr const char* kMoreEntries =
    "A hibajelent\xE9s tov\xE1"
    "bbi t\xE9telei: %s\n"
    "Further entries in the error report: %s";

}  // namespace message

// The pattern with every "%s" replaced by `path`; a path is never read as a pattern.
std::string fillPath(std::string_view pattern, std::string_view path);
// The same with two paths: the "%s" take `first` and `second` in turn.
std::string fillPaths(std::string_view pattern, std::string_view first, std::string_view second);
