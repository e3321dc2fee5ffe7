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
inline constexpr const char* kCannotDelete =
    "A f\xE1jl nem t\xF6r\xF6lhet\xF5: %s\nThe file cannot be deleted: %s";
// Two inputs of one command line whose results would have the same names; "%s" receives the first input,
// then the second, in each half.
inline constexpr const char* kSameResultNames =
    "K\xE9t f\xE1jl eredm\xE9nye ugyanazt a nevet kapn\xE1, nevezze \xE1t az egyiket: %s \xE9s %s\n"
    "Two files would give results of the same name, rename one of them: %s and %s";
inline constexpr const char* kPathTooLong =
    "A kiv\xE1lasztott f\xE1jl el\xE9r\xE9si \xFAtja t\xFAl hossz\xFA.\nThe path of the chosen file is too "
    "long.";
inline constexpr const char* kUsage =
    "Haszn\xE1lat: zelvora F\xC1JL...\n"
    "Minden F\xC1JL egy CSV-ben export\xE1lt nyilatkozat; mell\xE9 ker\xFCl a -output.csv vagy a -error.txt "
    "f\xE1jl.\n"
    "Usage: zelvora FILE...\n"
    "Each FILE is a declaration exported as CSV; its -output.csv or -error.txt file is written beside it.";

}  // namespace message

// The pattern with every "%s" replaced by `path`; a path is never read as a pattern.
std::string fillPath(std::string_view pattern, std::string_view path);
// The same with two paths: the "%s" take `first` and `second` in turn.
std::string fillPaths(std::string_view pattern, std::string_view first, std::string_view second);
