// Hostile files and situations: each ends with an entry or a clear message and exit status 1, never a crash,
// and always with at most one file left beside an unchanged input.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "app/declaration/messages.h"
#include "app/run.h"
#include "run_support.h"

namespace {

const std::string kOpening2012 = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n";
const std::string kSections2012 =
    "{fejezet;sorrend}\r\n0;1\r\n\r\n"
    "{MC01;M003_G;M003;MEV;MHO;JHNEV;JBEOSZTAS;JTELEFON;JEMAIL;KNEV;KBEOSZTAS;KTELEFON;KEMAIL;MEGJEGYZES;"
    "VGEA002}\r\n2012;12345678;12345678;21;03;;;;;;;;;;\r\n\r\n"
    "{fejezet;sorrend}\r\n1;1\r\n\r\n";
const std::string kFtaHeader = "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}\r\n";

std::string entry(int line, const std::string& message) {
  std::string text = std::to_string(line) + ". sor / line " + std::to_string(line) + "\r\n ";
  for (char c : message) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text + "\r\n\r\n";
}

// A declaration as a spreadsheet saves it in "Unicode text": UTF-16 with or without a byte-order mark.
std::string utf16(const std::string& ascii, bool littleEndian, bool mark) {
  std::string bytes;
  if (mark) bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char c : ascii) {
    bytes += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
  }
  return bytes;
}

std::string randomBytes(std::size_t size, uint32_t seed, bool withNul) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    do {
      byte = static_cast<char>(generator() & 0xFF);
    } while (!withNul && byte == '\0');
  }
  return bytes;
}

struct HostileFile {
  const char* name;
  std::string bytes;
  bool success;          // the output file is kept (else the error report)
  std::string expected;  // the kept file
};

void expectKept(const HostileFile& file) {
  SCOPED_TRACE(file.name);
  ScratchFolder folder;
  expectOnlyKept(convertBytes(folder, file.bytes), file.success, file.expected);
}

// One item line of 50 MB and no line end: its country is upper-cased and written whole.
// A partner of 50 MB on form 2010, upper-cased and written whole.
TEST(HostileInput, FiftyMegabyteLineWithoutALineEnd) {
  std::string opening = kOpening2012;
  std::string sections = kSections2012;
  opening.replace(opening.find("2012"), 4, "2010");
  sections.replace(sections.find("2012;"), 4, "2010");
  const std::string head = "1;1;11;AT;CN;1;;;;";
  const std::string partner((50u << 20) - head.size(), 'a');
  expectKept({"50 MB line", opening + head + partner, true,
              sections + "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}\r\n" +
                  "00001;00000001;11;AT;CN;1;;;;" + std::string(partner.size(), 'A') + "\r\n"});
}

TEST(HostileInput, FilesWithAKnownOutcome) {
  const std::string manySemicolons(1000000, ';');
  const std::string declaration = kOpening2012 + "1;1;11;AT;CN;1\r\n";
  const std::string declarationOutput = kSections2012 + kFtaHeader + "00001;00000001;11;AT;CN;1;;;\r\n";
  const HostileFile files[] = {
      // A million empty fields hold their places; the quantities among them count as zero.
      {"item line with 1,000,000 semicolons", kOpening2012 + "1;1;11;AT;CN;1" + manySemicolons + "x\r\n",
       true, declarationOutput},
      // Trailing separators are dropped, so the line is empty and skipped like a blank line.
      {"line of only 1,000,000 semicolons", manySemicolons, false, entry(2, message::kMissingFirstChapter)},
      {"only NUL bytes", std::string(65536, '\0'), false, entry(1, message::kNulByte)},
      // A "Unicode text" save is recognised by its mark; without one, the NUL beside every ASCII
      // character stops the reading on the first line, and nothing is misread.
      {"UTF-16LE with a byte-order mark", utf16(declaration, true, true), false, entry(1, message::kUtf16)},
      {"UTF-16BE with a byte-order mark", utf16(declaration, false, true), false, entry(1, message::kUtf16)},
      {"UTF-16LE without a byte-order mark", utf16(declaration, true, false), false,
       entry(1, message::kNulByte)},
  };
  for (const HostileFile& file : files) expectKept(file);
}

// Random bytes, with and without NUL bytes: one file left, its status, and a report that opens with a
// numbered entry.
TEST(HostileInput, RandomBytes) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    for (bool withNul : {true, false}) {
      SCOPED_TRACE("seed " + std::to_string(seed) + (withNul ? " with NUL bytes" : " without NUL bytes"));
      ScratchFolder folder;
      const Converted result = convertBytes(folder, randomBytes(1 << 20, seed, withNul));
      ASSERT_NE(result.outputExists, result.errorExists);
      EXPECT_EQ(result.outcome.exitStatus, result.outputExists ? 0 : 1);
      if (result.errorExists) {
        const std::size_t digits = result.kept.find_first_not_of("0123456789");
        ASSERT_TRUE(digits > 0 && digits != std::string::npos) << result.kept.substr(0, 100);
        const std::string number = result.kept.substr(0, digits);
        EXPECT_EQ(result.kept.substr(digits, 15 + number.size()), ". sor / line " + number + "\r\n");
      }
    }
  }
}

// A path of 4,000 characters is used whole; one whose derived names pass the system's limit is refused
// with a message naming the file that cannot be created, and nothing is left behind.
TEST(HostileInput, VeryLongPaths) {
#ifdef _WIN32
  GTEST_SKIP() << "how long a Windows path may be depends on the system's long-path setting";
#else
  const std::string declaration = kOpening2012 + "1;1;11;AT;CN;1\r\n";
  for (const std::size_t pathLength : {std::size_t{4000}, std::size_t{4090}}) {
    SCOPED_TRACE(std::to_string(pathLength) + " characters");
    ScratchFolder folder;
    std::filesystem::path input = folder.path();
    while (input.native().size() + 1 + 200 + 1 + 5 < pathLength) input /= std::string(200, 'd');
    std::filesystem::create_directories(input);
    const std::size_t nameLength = pathLength - input.native().size() - 1;
    input /= std::string(nameLength - 4, 'j') + ".csv";
    ASSERT_EQ(input.native().size(), pathLength);
    writeBytes(input, declaration);
    const std::string base = input.native().substr(0, pathLength - 4);
    const RunOutcome outcome = runConversion(input);
    EXPECT_EQ(readBytes(input), declaration);
    // Past the limit the names cannot even be looked up, so what is left is counted in the folder.
    std::size_t left = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(input.parent_path()))
      ++left;
    if (pathLength == 4000) {
      EXPECT_EQ(outcome.exitStatus, 0);
      EXPECT_EQ(outcome.closingText, fillPath(message::kSuccess, base + "-output.csv"));
      EXPECT_EQ(readBytes(base + "-output.csv"),
                kSections2012 + kFtaHeader + "00001;00000001;11;AT;CN;1;;;\r\n");
      EXPECT_EQ(left, 2u);
    } else {
      EXPECT_EQ(outcome.exitStatus, 1);
      EXPECT_EQ(outcome.icon, RunIcon::Error);
      EXPECT_EQ(outcome.closingText, fillPath(message::kCannotCreate, base + "-output.csv"));
      EXPECT_EQ(left, 1u);
    }
  }
#endif
}

// Root may write anywhere on a disk, but not into /proc: a readable input whose folder takes no new file.
TEST(HostileInput, FolderWhereNoFileCanBeCreated) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no /proc to stand for a folder that takes no new file";
#endif
  const std::filesystem::path input = "/proc/self/status";
  if (readBytes(input).empty()) GTEST_SKIP() << "no /proc here to stand for a folder that takes no new file";
  const RunOutcome outcome = runConversion(input);
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_EQ(outcome.icon, RunIcon::Error);
  EXPECT_EQ(outcome.closingText, fillPath(message::kCannotCreate, "/proc/self/status-output.csv"));
  EXPECT_FALSE(std::filesystem::exists("/proc/self/status-output.csv"));
  EXPECT_FALSE(std::filesystem::exists("/proc/self/status-error.txt"));
}

}  // namespace
