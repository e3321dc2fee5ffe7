// Fuzz target: the whole conversion run on arbitrary file bytes, beside stale files or links of earlier
// runs. Whatever the bytes, exactly one of the two files remains, a regular file; the exit status and icon
// match it, the input is unchanged, nothing else is left (no temporary file either), and the kept file has
// the shape of a declaration or of a report of catalogue messages; a declaration is kept only from input
// that, read as UTF-8, holds no byte sequence that is not UTF-8.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "app/declaration/messages.h"
#include "app/read/line_reader.h"
#include "app/run.h"
#include "fuzz/fuzz_support.h"

namespace {

namespace fs = std::filesystem;

// The first byte of an input chooses what stands before the rest: nothing, or the opening sections of
// either form in a ';' file, a ',' file or a tab file, so that mutations reach the item lines of each kind
// of file as often as the opening ones.
const char* const kOpenings[] = {
    "",
    "0;1\r\n2010;12345678;12345678;2021;6\r\n1;1\r\n",
    "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n",
    "0,1\r\n2010,12345678,12345678,2021,6\r\n1,1\r\n",
    "0\t1\r\n2012\t12345678\t12345678\t2021\t3\r\n1\t1\r\n",
};
constexpr int kOpeningCount = static_cast<int>(std::size(kOpenings));

// A private folder per process, made for each input and removed after it (libFuzzer may end the process
// without running exit handlers). In memory where the system has such a folder: every run syncs its
// result to the disk, which would otherwise take most of the time of an input.
const fs::path& workFolder() {
  static const fs::path folder =
      (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
      ("zelvora-fuzz-run-" + std::to_string(std::random_device()()));
  return folder;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The lines of a file whose every line ends in CR LF; false when a CR or LF stands alone or the last line
// has no end.
bool crLfLines(const std::string& bytes, std::vector<std::string>& lines) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) return false;
    std::string line = bytes.substr(start, end - start);
    if (line.find_first_of("\r\n") != std::string::npos) return false;
    lines.push_back(line);
    start = end + 2;
  }
  return true;
}

std::size_t semicolons(const std::string& line) {
  std::size_t count = 0;
  for (char c : line) count += c == ';';
  return count;
}

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == ';') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

bool isDigits(const std::string& text, std::size_t count) {
  return text.size() == count && text.find_first_not_of("0123456789") == std::string::npos;
}

bool startsWithCountry(const std::string& text) {
  const auto capital = [](char c) { return c >= 'A' && c <= 'Z'; };
  return text.size() >= 2 && capital(text[0]) && capital(text[1]);
}

// Well-formed UTF-8 computed a second way: each sequence decoded to its value, which must need all its
// bytes (no overlong form), lie outside the surrogates and not pass U+10FFFF.
bool wellFormedUtf8(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t more = 0;
    uint32_t value = lead;
    if (lead >= 0xC0 && lead < 0xE0) {
      more = 1;
      value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      more = 2;
      value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead < 0xF8) {
      more = 3;
      value = lead & 0x07;
    } else if (lead >= 0x80) {
      return false;
    }
    if (bytes.size() - i <= more) return more == 0;
    for (std::size_t k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = value << 6 | (next & 0x3F);
    }
    const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (value < least[more] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

// The three opening sections in their order, each header followed by rows of as many fields as it names;
// the item section closes the file. A success never comes from an input that ended before its items. The
// provider's identifier is eight digits, and every row's key has the form the office takes: TEKOD eight
// digits, UKOD two, the countries two capitals (the origin may be empty on form 2012 only), the partner
// empty or starting with two capitals.
void checkDeclaration(const std::vector<std::string>& lines) {
  const std::string chapterHeader = "{fejezet;sorrend}";
  const std::string identificationHeader =
      "{MC01;M003_G;M003;MEV;MHO;JHNEV;JBEOSZTAS;JTELEFON;JEMAIL;KNEV;KBEOSZTAS;KTELEFON;KEMAIL;MEGJEGYZES;"
      "VGEA002}";
  FUZZ_CHECK(lines.size() >= 10);
  FUZZ_CHECK(lines[0] == chapterHeader && lines[1] == "0;1" && lines[2].empty());
  FUZZ_CHECK(lines[3] == identificationHeader && semicolons(lines[4]) == 14 && lines[5].empty());
  const std::vector<std::string> identification = fieldsOf(lines[4]);
  FUZZ_CHECK(isDigits(identification[1], 8) && identification[2] == identification[1]);
  FUZZ_CHECK(lines[6] == chapterHeader && lines[7] == "1;1" && lines[8].empty());
  const std::size_t i = 9;
  const std::string& itemHeader = lines[i];
  FUZZ_CHECK(itemHeader == "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}" ||
             itemHeader == "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}");
  for (std::size_t row = 1; i + row < lines.size(); ++row) {
    const std::string& line = lines[i + row];
    FUZZ_CHECK(semicolons(line) == semicolons(itemHeader));
    std::string number = std::to_string(row);
    if (number.size() < 5) number.insert(0, 5 - number.size(), '0');
    FUZZ_CHECK(line.compare(0, number.size() + 1, number + ";") == 0);
    const std::vector<std::string> fields = fieldsOf(line);
    FUZZ_CHECK(isDigits(fields[1], 8) && isDigits(fields[2], 2));
    FUZZ_CHECK(fields[3].size() == 2 && startsWithCountry(fields[3]));
    FUZZ_CHECK((fields[4].empty() && fields.size() == 9) ||
               (fields[4].size() == 2 && startsWithCountry(fields[4])));
    FUZZ_CHECK(fields.size() == 9 || fields[9].empty() || startsWithCountry(fields[9]));
  }
}

// Entries of four lines: "<n>. sor / line <n>", a blank and the Hungarian half, the English half, an empty
// line; the message from the catalogue; line numbers rising.
void checkReport(const std::vector<std::string>& lines) {
  const char* const catalogue[] = {message::kMissingFirstChapter,
                                   message::kBadFormCode,
                                   message::kBadProviderId,
                                   message::kBadYearMonth,
                                   message::kMissingSecondChapter,
                                   message::kInvalidNumber,
                                   message::kNulByte,
                                   message::kSemicolonInCell,
                                   message::kLineBreakInItemCell,
                                   message::kMissingIdentification,
                                   message::kIncompleteItemLine,
                                   message::kInvalidItemCode,
                                   message::kUtf16,
                                   message::kInvalidByteSequence};
  const std::string errorValue = message::kSpreadsheetError;
  const std::size_t valueAt = errorValue.find("%s");
  FUZZ_CHECK(!lines.empty() && lines.size() % 4 == 0);
  long previous = 0;
  for (std::size_t i = 0; i < lines.size(); i += 4) {
    const std::string& heading = lines[i];
    const std::size_t digits = heading.find_first_not_of("0123456789");
    FUZZ_CHECK(digits > 0 && digits < 10);
    const std::string number = heading.substr(0, digits);
    FUZZ_CHECK(heading == number + ". sor / line " + number);
    const long line = std::stol(number);
    FUZZ_CHECK(line > previous);
    previous = line;
    FUZZ_CHECK(!lines[i + 1].empty() && lines[i + 1][0] == ' ' && lines[i + 3].empty());
    const std::string text = lines[i + 1].substr(1) + "\n" + lines[i + 2];
    bool known = false;
    for (const char* message : catalogue) known = known || text == message;
    // The error value entry names the value twice.
    const std::size_t valueEnd = text.find(')', valueAt);
    if (!known && text.compare(0, valueAt, errorValue, 0, valueAt) == 0 && valueEnd != std::string::npos) {
      known = text == fillPath(errorValue, text.substr(valueAt, valueEnd - valueAt));
    }
    FUZZ_CHECK(known);
  }
}

// The entries the run kept for the terminal are the report's first ones, rendered the same, with a known
// column and a value of at most the shown length.
void checkKeptEntries(const ReportEntries& kept, const std::string& report, std::size_t reportEntries) {
  FUZZ_CHECK(kept.count == reportEntries);
  FUZZ_CHECK(kept.first.size() == std::min<std::size_t>(reportEntries, ReportEntries::kKept));
  std::string rendered;
  for (const ReportEntry& entry : kept.first) {
    rendered += reportFileText(entry);
    // Every column of the identification and item headers, or none.
    static const char* const columns[] = {
        "",       "MC01", "M003_G",    "M003",     "MEV",    "MHO",        "JHNEV",   "JBEOSZTAS", "JTELEFON",
        "JEMAIL", "KNEV", "KBEOSZTAS", "KTELEFON", "KEMAIL", "MEGJEGYZES", "VGEA002", "T_SORSZ",   "TEKOD",
        "UKOD",   "RTA",  "FTA",       "SZAORSZ",  "KGM",    "KIEGME",     "SZAOSSZ", "STAERT",    "PADO"};
    bool known = false;
    for (const char* column : columns) known = known || entry.column == column;
    FUZZ_CHECK(known);
    FUZZ_CHECK(entry.value.length() <= kShownValueUnits);
    FUZZ_CHECK(!entry.valueCut || entry.value.length() == kShownValueUnits);
    FUZZ_CHECK(!terminalText(entry).empty());
  }
  FUZZ_CHECK(report.compare(0, rendered.size(), rendered) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const fs::path& folder = workFolder();
  fs::create_directories(folder);
  const fs::path input = folder / "declaration.csv";
  const fs::path output = folder / "declaration-output.csv";
  const fs::path errors = folder / "declaration-error.txt";
  const std::string bytes =
      kOpenings[data[0] % kOpeningCount] + std::string(reinterpret_cast<const char*>(data + 1), size - 1);
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  // The first byte also chooses what an earlier run left at the two names: nothing, a stale file at
  // either or both, or links to the input, which must be replaced and never written through.
  const int earlier = (data[0] / kOpeningCount) % 4;
  if (earlier == 1 || earlier == 2) {
    std::ofstream stale(earlier == 1 ? output : errors, std::ios::binary);
    stale << "stale";
  }
  if (earlier == 3) {
    std::error_code noLinks;
    fs::create_symlink(input.filename(), output, noLinks);
    fs::create_hard_link(input, errors, noLinks);
  }

  const RunOutcome outcome = runConversion(input);

  const bool outputKept = fs::exists(fs::symlink_status(output));
  const bool errorsKept = fs::exists(fs::symlink_status(errors));
  FUZZ_CHECK(outputKept != errorsKept);
  FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(outputKept ? output : errors)));
  FUZZ_CHECK(outcome.exitStatus == (outputKept ? 0 : 1));
  FUZZ_CHECK((outcome.icon == RunIcon::Information) == outputKept);
  FUZZ_CHECK(readFile(input) == bytes);
  // The input, the kept file and nothing else: no temporary file is left.
  std::size_t entries = 0;
  for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it) ++entries;
  FUZZ_CHECK(entries == 2);

  std::vector<std::string> lines;
  FUZZ_CHECK(crLfLines(readFile(outputKept ? output : errors), lines));
  if (outputKept) {
    checkDeclaration(lines);
    // Every line of a kept declaration was read; read as UTF-8, none held a byte sequence that is no UTF-8.
    FUZZ_CHECK(std::string(detectCharset(bytes.data(), bytes.size())) != "UTF-8" || wellFormedUtf8(bytes));
    FUZZ_CHECK(outcome.entries.count == 0 && outcome.entries.first.empty());
  } else {
    checkReport(lines);
    checkKeptEntries(outcome.entries, readFile(errors), lines.size() / 4);
  }
  fs::remove_all(folder);
  return 0;
}
