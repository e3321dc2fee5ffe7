// The built `zelvora` program: options, exit status, closing texts and report entries in UTF-8 on stdout and
// stderr, runs in order.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "latin2.h"
#include "run_support.h"

#if defined(ZELVORA_BINARY) && !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace {

struct Ran {
  int status;
  std::string out;
  std::string err;
};

// Runs the program in the scratch folder, so relative file names are names in it; `runner` comes before
// the program in the command (setpriv and its options, say).
Ran runProgram(const ScratchFolder& folder, const std::string& arguments, const std::string& runner = "") {
  const std::filesystem::path out = folder.path() / "stdout";
  const std::filesystem::path err = folder.path() / "stderr";
  const std::string command = "cd '" + folder.path().string() + "' && " + runner + "'" + ZELVORA_BINARY +
                              "' " + arguments + " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int raw = std::system(command.c_str());
  Ran ran{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readBytes(out), readBytes(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return ran;
}

std::string quoted(const std::filesystem::path& path) {
  std::string text = "'";
  text += path.string();
  text += '\'';
  return text;
}

const std::string kGood = "0;1\n2012;12345678;12345678;2021;3\n1;1\n1;1;1;AT;CN;1\n";

TEST(Program, WithoutFilesPrintsTheUsageAndExitsTwo) {
  ScratchFolder folder;
  const Ran ran = runProgram(folder, "");
  EXPECT_EQ(ran.status, 2);
  EXPECT_EQ(ran.out, "");
  EXPECT_EQ(ran.err.rfind("Használat: zelvora [KAPCSOLÓ]... FÁJL...\n", 0), 0u) << ran.err;
  EXPECT_NE(ran.err.find("\nUsage: zelvora [OPTION]... FILE...\n"), std::string::npos) << ran.err;
}

TEST(Program, RunsEachFileInOrderSuccessOnStdoutErrorsOnStderr) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.path() / "június");
  const std::filesystem::path first = folder.path() / "június" / "első.csv";
  const std::filesystem::path bad = folder.path() / "bad.csv";
  const std::filesystem::path last = folder.path() / "last.csv";
  writeBytes(first, kGood);
  writeBytes(bad, "x\n");
  writeBytes(last, kGood);
  const std::filesystem::path missing = folder.path() / "missing.csv";

  const Ran ok = runProgram(folder, quoted(first) + " " + quoted(last));
  EXPECT_EQ(ok.status, 0);
  const std::string firstOutput = (folder.path() / "június" / "első-output.csv").string();
  const std::string lastOutput = (folder.path() / "last-output.csv").string();
  // With more than one file, each closing text is headed by the file's name as given.
  EXPECT_EQ(ok.out, first.string() + ":\nA feldolgozás sikeres, az eredmény: " + firstOutput +
                        "\nProcessing successful, result in " + firstOutput + "\n" + last.string() +
                        ":\nA feldolgozás sikeres, az eredmény: " + lastOutput +
                        "\nProcessing successful, result in " + lastOutput + "\n");
  EXPECT_EQ(ok.err, "");

  const Ran mixed = runProgram(folder, quoted(missing) + " " + quoted(bad) + " " + quoted(first));
  EXPECT_EQ(mixed.status, 1);
  const std::string badError = (folder.path() / "bad-error.txt").string();
  EXPECT_EQ(mixed.err, missing.string() + ":\nA fájl nem található\nFile not found\n" + bad.string() +
                           ":\nA feldolgozás során hibákat találtunk, lásd: " + badError +
                           "\nErrors found during processing, see: " + badError +
                           "\n1. sor / line 1\n Hiányzó sor: 0;1\nMissing line: 0;1\n\n");
  EXPECT_EQ(mixed.out, first.string() + ":\nA feldolgozás sikeres, az eredmény: " + firstOutput +
                           "\nProcessing successful, result in " + firstOutput + "\n");
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "bad-error.txt"));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "bad-output.csv"));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "missing-output.csv"));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "missing-error.txt"));
  EXPECT_EQ(readBytes(first), kGood);
}

TEST(Program, InputsWithTheSameResultNamesAreRefusedBeforeAnyIsConverted) {
  ScratchFolder folder;
  writeBytes(folder.path() / "june.csv", kGood);
  writeBytes(folder.path() / "june.txt", "x\n");
  writeBytes(folder.path() / "other.csv", kGood);
  const Ran ran =
      runProgram(folder, quoted(folder.path() / "other.csv") + " " + quoted(folder.path() / "june.csv") +
                             " " + quoted(folder.path() / "june.txt"));
  EXPECT_EQ(ran.status, 2);
  EXPECT_EQ(ran.out, "");
  const std::string first = (folder.path() / "june.csv").string();
  const std::string second = (folder.path() / "june.txt").string();
  EXPECT_EQ(ran.err, "Két fájl eredménye ugyanazt a nevet kapná, nevezze át az egyiket: " + first + " és " +
                         second + "\nTwo files would give results of the same name, rename one of them: " +
                         first + " and " + second + "\n");
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "other-output.csv"));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "june-output.csv"));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "june-error.txt"));
}

// A name is shown byte for byte as given, in the closing texts and the headings: one that is not UTF-8
// (ISO-8859-2 bytes), one with a letter ISO-8859-2 has, one with letters it lacks.
TEST(Program, NamesAreShownAsGiven) {
  for (const std::string base : {"j\xFAnius \xF5sz", "június első", "április–június Ωmega"}) {
    SCOPED_TRACE(base);
    ScratchFolder folder;
    writeBytes(folder.path() / (base + ".csv"), kGood);
    writeBytes(folder.path() / (base + ".txt"), "x\n");
    const std::string good = "'" + base + ".csv'";
    const std::string bad = "'" + base + ".txt'";

    const Ran ok = runProgram(folder, good);
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "A feldolgozás sikeres, az eredmény: " + base +
                          "-output.csv\nProcessing successful, result in " + base + "-output.csv\n");
    EXPECT_TRUE(std::filesystem::exists(folder.path() / (base + "-output.csv")));

    // Both names give the same results: refused, both named.
    const Ran clash = runProgram(folder, good + " " + bad);
    EXPECT_EQ(clash.status, 2);
    EXPECT_EQ(clash.err,
              "Két fájl eredménye ugyanazt a nevet kapná, nevezze át az egyiket: " + base + ".csv és " +
                  base + ".txt\nTwo files would give results of the same name, rename one of them: " + base +
                  ".csv and " + base + ".txt\n");

    const Ran failed = runProgram(folder, "-q " + bad + " missing.csv");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, base + ".txt:\nA feldolgozás során hibákat találtunk, lásd: " + base +
                              "-error.txt\nErrors found during processing, see: " + base +
                              "-error.txt\nmissing.csv:\nA fájl nem található\nFile not found\n");
    EXPECT_TRUE(std::filesystem::exists(folder.path() / (base + "-error.txt")));
  }
}

// A file that is there but may not be read is not missing. Root may read any file, so as root the program
// runs as the user nobody.
TEST(Program, AFileThatMayNotBeReadIsNotReportedMissing) {
  ScratchFolder folder;
  const std::filesystem::path input = folder.path() / "june.csv";
  writeBytes(input, kGood);
  std::filesystem::permissions(input, std::filesystem::perms::none);
  std::string runner;
  if (geteuid() == 0) {
    if (std::system("command -v setpriv >/dev/null") != 0) {
      GTEST_SKIP() << "run as root, and no setpriv to run the program as another user";
    }
    runner = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    // That user must reach the file through its folder.
    std::filesystem::permissions(folder.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
  }
  const Ran ran = runProgram(folder, "june.csv", runner);
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.out, "");
  EXPECT_EQ(ran.err, "A fájl nem olvasható: june.csv\nThe file cannot be read: june.csv\n");
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "june-output.csv"));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "june-error.txt"));
  std::filesystem::permissions(input,
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(readBytes(input), kGood);
}

TEST(Program, AMissingFileAloneExitsOne) {
  ScratchFolder folder;
  const Ran ran = runProgram(folder, quoted(folder.path() / "nothing.csv"));
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.out, "");
  EXPECT_EQ(ran.err, "A fájl nem található\nFile not found\n");
}

const std::string kHelpStart = "Használat: zelvora [KAPCSOLÓ]... FÁJL...\n";
const std::string kVersion = std::string("zelvora ") + ZELVORA_PROJECT_VERSION + "\n";
const std::string kSeeHelp = "Súgó: zelvora --help\nHelp: zelvora --help\n";
const std::string kGoodConverted =
    "A feldolgozás sikeres, az eredmény: good-output.csv\nProcessing successful, result in good-output.csv\n";

TEST(Program, Options) {
  const struct {
    const char* arguments;
    int status;
    std::string out;  // exactly, or, for the help, its start
    std::string err;
    bool converted;  // good.csv became good-output.csv
  } rows[] = {
      {"--help", 0, kHelpStart, "", false},
      {"-h good.csv", 0, kHelpStart, "", false},
      {"--version", 0, kVersion, "", false},
      {"good.csv -V", 0, kVersion, "", false},
      {"-qV", 0, kVersion, "", false},
      {"--version --help", 0, kVersion, "", false},
      {"-h -V", 0, kHelpStart, "", false},
      {"-x good.csv", 2, "", "Ismeretlen kapcsoló: -x\nUnknown option: -x\n" + kSeeHelp, false},
      {"good.csv --verbose", 2, "", "Ismeretlen kapcsoló: --verbose\nUnknown option: --verbose\n" + kSeeHelp,
       false},
      {"-qz good.csv", 2, "", "Ismeretlen kapcsoló: -z\nUnknown option: -z\n" + kSeeHelp, false},
      {"--help -x", 2, "", "Ismeretlen kapcsoló: -x\nUnknown option: -x\n" + kSeeHelp, false},
      {"-qé", 2, "", "Ismeretlen kapcsoló: -qé\nUnknown option: -qé\n" + kSeeHelp, false},
      {"- good.csv", 2, "",
       "A szabványos bemenet (-) nem alakítható át, mert az eredmény a bemenet mellé kerül.\n"
       "Standard input (-) cannot be converted: the result is written beside the input.\n" +
           kSeeHelp,
       false},
      {"good.csv", 0, kGoodConverted, "", true},
      {"-q good.csv", 0, kGoodConverted, "", true},
      {"-- good.csv", 0, kGoodConverted, "", true},
      {"-- -h", 1, "", "A fájl nem található\nFile not found\n", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments);
    ScratchFolder folder;
    writeBytes(folder.path() / "good.csv", kGood);
    const Ran ran = runProgram(folder, row.arguments);
    EXPECT_EQ(ran.status, row.status);
    if (row.out == kHelpStart) {
      EXPECT_EQ(ran.out.rfind(kHelpStart, 0), 0u) << ran.out;
      EXPECT_NE(ran.out.find("\nUsage: zelvora [OPTION]... FILE...\n"), std::string::npos) << ran.out;
      EXPECT_NE(ran.out.find("--quiet"), std::string::npos) << ran.out;
    } else {
      EXPECT_EQ(ran.out, row.out);
    }
    EXPECT_EQ(ran.err, row.err);
    EXPECT_EQ(std::filesystem::exists(folder.path() / "good-output.csv"), row.converted);
    EXPECT_EQ(readBytes(folder.path() / "good.csv"), kGood);
  }
}

TEST(Program, TheHelpIsTheSameForBothSpellingsAndNamesEveryOption) {
  ScratchFolder folder;
  const Ran longForm = runProgram(folder, "--help");
  const Ran shortForm = runProgram(folder, "-h");
  EXPECT_EQ(longForm.out, shortForm.out);
  for (const char* option : {"-q, --quiet", "-h, --help", "-V, --version", "  -- "}) {
    EXPECT_NE(longForm.out.find(option), std::string::npos) << option;
  }
}

TEST(Program, AFileNamedLikeAnOptionIsConvertedAfterTheEndOfOptions) {
  ScratchFolder folder;
  writeBytes(folder.path() / "-h.csv", kGood);
  const Ran ran = runProgram(folder, "-- -h.csv");
  EXPECT_EQ(ran.status, 0);
  EXPECT_EQ(ran.out,
            "A feldolgozás sikeres, az eredmény: -h-output.csv\nProcessing successful, result in "
            "-h-output.csv\n");
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "-h-output.csv"));
}

// The stderr of a run on june.csv after its closing text.
std::string entry(int line, const std::string& cell, const std::string& message) {
  return std::to_string(line) + ". sor / line " + std::to_string(line) + cell + "\n " + message + "\n\n";
}

const std::string kInvalidNumber =
    "Érvénytelen szám; kérjük, ne használjon ezres elválasztót.\nInvalid number, please do not use thousands "
    "separators.";
const std::string kBadProvider =
    "M003_G és M003 az adatszolgáltató törzsszáma legyen (8 számjegy)\nM003_G and M003 must be the data "
    "provider's VAT number (8 digits)";
const std::string kJuneErrors =
    "A feldolgozás során hibákat találtunk, lásd: june-error.txt\nErrors found during processing, see: "
    "june-error.txt\n";

// The report file is the terminal's entries without their cells, in ISO-8859-2 with CR LF.
std::string asReportFile(const std::string& terminalEntries) {
  std::string text;
  std::size_t start = 0;
  while (start < terminalEntries.size()) {
    std::size_t end = terminalEntries.find('\n', start);
    std::string line = terminalEntries.substr(start, end - start);
    const std::size_t heading = line.find(". sor / line ");
    if (heading != std::string::npos && std::isdigit(static_cast<unsigned char>(line[0]))) {
      const std::size_t cell = line.find(' ', heading + 13);
      if (cell != std::string::npos) line.resize(cell);
    }
    text += line + "\r\n";
    start = end + 1;
  }
  return latin2(text);
}

TEST(Program, EntriesOnStandardErrorNameTheCellAndTheReportFileStaysAsItWas) {
  std::string manyLines;
  std::string firstTwenty;
  std::string allTwentyThree;
  for (int i = 0; i < 23; ++i) {
    manyLines += "1;1;1;AT;CN;1;" + std::to_string(i) + ".000.000\n";
    const std::string one = entry(4 + i, " KIEGME: \"" + std::to_string(i) + ".000.000\"", kInvalidNumber);
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
       entry(2, " M003_G: \"1234567\"", kBadProvider) + entry(4, " KGM: \"1.250,5\"", kInvalidNumber) +
           entry(5, " SZAOSSZ: \"Nagy Ödön\"", kInvalidNumber),
       ""},
      {"a whole line has no cell", "1;1\n", entry(1, "", "Hiányzó sor: 0;1\nMissing line: 0;1"), ""},
      {"a long value is cut at 60 characters",
       "0;1\n2012;12345678;12345678;2021;6\n1;1\n1;1;1;AT;CN;" + seventy + "\n",
       entry(4, " KGM: \"" + seventy.substr(0, 60) + "...\"", kInvalidNumber), ""},
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

}  // namespace
#endif
