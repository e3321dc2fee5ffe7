// The built `zelvora` program: options, exit status, closing texts and report entries in UTF-8 on stdout and
// stderr, runs in order.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "tests/app/latin2.h"
#include "tests/app/run_support.h"

#if defined(ZELVORA_BINARY) && !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace {

struct Ran {
  int status;
  std::string out;
  std::string err;
};

// Runs the program in the scratch folder, so relative file names are names in it; its standard output goes
// to `outputTo` when that is given (a shell redirection such as ">/dev/full"), and `before` is a shell
// command run first in the same shell (such as "ulimit -f 8 && ").
Ran runProgram(const ScratchFolder& folder, const std::string& arguments, const std::string& outputTo = "",
               const std::string& before = "") {
  const std::filesystem::path out = folder.path() / "stdout";
  const std::filesystem::path err = folder.path() / "stderr";
  const std::string command =
      "cd '" + folder.path().string() + "' && " + before + "'" + ZELVORA_BINARY + "' " + arguments +
      (outputTo.empty() ? " >'" + out.string() + "'" : " " + outputTo) + " 2>'" + err.string() + "'";
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
  EXPECT_EQ(ran.err, "zelvora: Két fájl eredménye ugyanazt a nevet kapná, nevezze át az egyiket: " + first +
                         " és " + second +
                         "\nzelvora: Two files would give results of the same name, rename one of them: " +
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
              "zelvora: Két fájl eredménye ugyanazt a nevet kapná, nevezze át az egyiket: " + base +
                  ".csv és " + base +
                  ".txt\nzelvora: Two files would give results of the same name, rename one of them: " +
                  base + ".csv and " + base + ".txt\n");

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
  const Ran ran = runProgram(folder, "june.csv", "", runner);
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.out, "");
  EXPECT_EQ(ran.err, "A fájl nem olvasható: june.csv\nThe file cannot be read: june.csv\n");
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "june-output.csv"));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "june-error.txt"));
  std::filesystem::permissions(input,
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(readBytes(input), kGood);
}

// A run on june.csv beside june-output.csv from an earlier run would read the result as a declaration.
TEST(Program, AnInputThatIsTheResultOfAnotherIsRefusedBeforeAnyIsConverted) {
  const struct {
    const char* arguments;
    const char* input;   // the one whose result is given
    const char* result;  // given as an input
  } rows[] = {
      {"june.csv june-output.csv", "june.csv", "june-output.csv"},
      {"june-error.txt other.csv ./june.csv", "./june.csv", "june-error.txt"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments);
    ScratchFolder folder;
    writeBytes(folder.path() / "june.csv", kGood);
    writeBytes(folder.path() / "other.csv", kGood);
    writeBytes(folder.path() / "june-output.csv", "earlier result");
    writeBytes(folder.path() / "june-error.txt", "earlier report");
    const Ran ran = runProgram(folder, row.arguments);
    EXPECT_EQ(ran.status, 2);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, std::string("zelvora: Az egyik fájl a másik eredménye, ezért nem lehet bemenet: ") +
                           row.input + " és " + row.result +
                           "\nzelvora: One file is the result of the other and cannot be an input: " +
                           row.input + " and " + row.result + "\n");
    EXPECT_EQ(readBytes(folder.path() / "june-output.csv"), "earlier result");
    EXPECT_EQ(readBytes(folder.path() / "june-error.txt"), "earlier report");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "other-output.csv"));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "june-output-output.csv"));
  }
}

// A closing text that does not name its file is headed by the name, as gzip and iconv name it.
TEST(Program, AMissingFileAloneIsNamedAndExitsOne) {
  ScratchFolder folder;
  const Ran ran = runProgram(folder, "nothing.csv");
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.out, "");
  EXPECT_EQ(ran.err, "nothing.csv:\nA fájl nem található\nFile not found\n");
}

// A text that cannot be written makes the exit status 1, as in coreutils; the result on disk is kept.
TEST(Program, StandardOutputThatCannotBeWrittenExitsOne) {
  const std::string kNotWritten =
      "zelvora: A szabványos kimenet nem írható\nzelvora: Standard output could not be written\n";
  const struct {
    const char* arguments;
    const char* outputTo;
    bool converted;
  } rows[] = {
      {"good.csv", ">/dev/full", true},
      {"--help", ">/dev/full", false},
      {"--version", ">/dev/full", false},
      {"--version", ">&-", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.arguments) + " " + row.outputTo);
    ScratchFolder folder;
    writeBytes(folder.path() / "good.csv", kGood);
    const Ran ran = runProgram(folder, row.arguments, row.outputTo);
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, kNotWritten);
    EXPECT_EQ(std::filesystem::exists(folder.path() / "good-output.csv"), row.converted);
  }
}

const std::string kHelpStart = "Használat: zelvora [KAPCSOLÓ]... FÁJL...\n";
const std::string kVersion = std::string("zelvora ") + ZELVORA_PROJECT_VERSION +
                             "\nCopyright (C) 2026 the Zelvora founders\nLicense: MIT\n";
const std::string kSeeHelp = "Súgó: zelvora --help\nHelp: zelvora --help\n";
std::string unknownOption(const std::string& shown) {
  return "zelvora: Ismeretlen kapcsoló: " + shown + "\nzelvora: Unknown option: " + shown + "\n" + kSeeHelp;
}
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
      {"--hel", 0, kHelpStart, "", false},
      {"--h good.csv", 0, kHelpStart, "", false},
      {"--ver", 0, kVersion, "", false},
      {"--v --help", 0, kVersion, "", false},
      {"--q good.csv", 0, kGoodConverted, "", true},
      {"--quie -- good.csv", 0, kGoodConverted, "", true},
      {"-x good.csv", 2, "", unknownOption("-x"), false},
      {"good.csv --verbose", 2, "", unknownOption("--verbose"), false},
      {"--helpx", 2, "", unknownOption("--helpx"), false},
      {"--help=1", 2, "", unknownOption("--help=1"), false},
      {"-qz good.csv", 2, "", unknownOption("-z"), false},
      {"--help -x", 2, "", unknownOption("-x"), false},
      {"-qé", 2, "", unknownOption("-qé"), false},
      {"- good.csv", 2, "",
       "zelvora: A szabványos bemenet (-) nem alakítható át, mert az eredmény a bemenet mellé kerül.\n"
       "zelvora: Standard input (-) cannot be converted: the result is written beside the input.\n" +
           kSeeHelp,
       false},
      {"good.csv", 0, kGoodConverted, "", true},
      {"-q good.csv", 0, kGoodConverted, "", true},
      {"-- good.csv", 0, kGoodConverted, "", true},
      {"-- -h", 1, "", "-h:\nA fájl nem található\nFile not found\n", false},
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

// A file size limit (ulimit -f) below the result's size: an ordinary write failure with its closing text,
// not a process killed by SIGXFSZ without a word, and nothing left beside the input.
TEST(Program, AFileSizeLimitIsAWriteFailure) {
  ScratchFolder folder;
  std::string declaration = "0;1\n2012;12345678;12345678;2021;3\n1;1\n";
  for (int k = 0; k < 2000; ++k) declaration += std::to_string(k) + ";" + std::to_string(k) + ";11;AT;CN;1\n";
  writeBytes(folder.path() / "june.csv", declaration);
  // The limit's signal as a fresh shell would have it, not as this test process may have set it.
  struct sigaction before {};
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigaction(SIGXFSZ, &standard, &before);
  const Ran ran = runProgram(folder, "june.csv", "", "ulimit -f 8 && ");
  sigaction(SIGXFSZ, &before, nullptr);
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.out, "");
  EXPECT_EQ(ran.err,
            "A fájl írása nem sikerült: june-output.csv\nThe file could not be written: june-output.csv\n");
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "june-output.csv"));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) ++entries;
  EXPECT_EQ(entries, 1u);
}

// Another run holds the folder's lock: after a second the program says that it waits, on standard error,
// and goes on once the lock is free.
TEST(Program, WaitingForAnotherRunIsSaid) {
  ScratchFolder folder;
  writeBytes(folder.path() / "good.csv", kGood);
  const int holder = open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  int errors[2];
  ASSERT_EQ(pipe(errors), 0);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    close(holder);
    close(errors[0]);
    dup2(errors[1], 2);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 1);
    if (chdir(folder.path().c_str()) != 0) _exit(3);
    execl(ZELVORA_BINARY, ZELVORA_BINARY, "good.csv", static_cast<char*>(nullptr));
    _exit(4);
  }
  close(errors[1]);
  const std::string notice =
      "Várakozás egy másik átalakításra ugyanebben a mappában...\nWaiting for another conversion in the "
      "same folder...\n";
  std::string said;
  char buffer[512];
  while (said.size() < notice.size()) {
    const ssize_t got = read(errors[0], buffer, sizeof buffer);
    if (got <= 0) break;
    said.append(buffer, static_cast<std::size_t>(got));
  }
  close(holder);  // the lock is free: the waiting run goes on
  for (ssize_t got; (got = read(errors[0], buffer, sizeof buffer)) > 0;) said.append(buffer, got);
  close(errors[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(said, notice);
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "good-output.csv"));
}

// The stderr of a run on june.csv after its closing text; `reason` is its two lines, each without its end.
std::string entry(int line, const std::string& cell, const std::string& message,
                  const std::string& reason = "") {
  return std::to_string(line) + ". sor / line " + std::to_string(line) + cell + "\n " + message + "\n" +
         (reason.empty() ? ""
                         : " Oka: " + reason.substr(0, reason.find('\n')) +
                               "\nReason: " + reason.substr(reason.find('\n') + 1) + "\n") +
         "\n";
}

const std::string kSecondSeparator =
    "második tizedesjel (ezres elválasztó): hagyja el az ezres elválasztót\na second decimal separator "
    "(thousands separators): leave them out";

const std::string kInvalidNumber =
    "Érvénytelen szám; kérjük, ne használjon ezres elválasztót.\nInvalid number, please do not use thousands "
    "separators.";
const std::string kBadProvider =
    "M003_G és M003 az adatszolgáltató törzsszáma legyen (8 számjegy)\nM003_G and M003 must be the data "
    "provider's VAT number (8 digits)";
const std::string kJuneErrors =
    "A feldolgozás során hibákat találtunk, lásd: june-error.txt\nErrors found during processing, see: "
    "june-error.txt\n";

// The report file is the terminal's entries without their cells and reasons, in ISO-8859-2 with CR LF.
std::string asReportFile(const std::string& terminalEntries) {
  std::string text;
  std::size_t start = 0;
  while (start < terminalEntries.size()) {
    std::size_t end = terminalEntries.find('\n', start);
    std::string line = terminalEntries.substr(start, end - start);
    start = end + 1;
    if (line.starts_with(" Oka: ") || line.starts_with("Reason: ")) continue;
    const std::size_t heading = line.find(". sor / line ");
    if (heading != std::string::npos && std::isdigit(static_cast<unsigned char>(line[0]))) {
      const std::size_t cell = line.find(' ', heading + 13);
      if (cell != std::string::npos) line.resize(cell);
    }
    text += line + "\r\n";
  }
  return latin2(text);
}

TEST(Program, EntriesOnStandardErrorNameTheCellAndTheReportFileStaysAsItWas) {
  std::string manyLines;
  std::string firstTwenty;
  std::string allTwentyThree;
  for (int i = 0; i < 23; ++i) {
    manyLines += "1;1;1;AT;CN;1;" + std::to_string(i) + ".000.000\n";
    const std::string one =
        entry(4 + i, " KIEGME: \"" + std::to_string(i) + ".000.000\"", kInvalidNumber, kSecondSeparator);
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
       entry(2, " M003_G: \"1234567\"", kBadProvider) +
           entry(4, " KGM: \"1.250,5\"", kInvalidNumber, kSecondSeparator) +
           entry(5, " SZAOSSZ: \"Nagy Ödön\"", kInvalidNumber, "betű: N\na letter: N"),
       ""},
      {"a whole line has no cell", "1;1\n", entry(1, "", "Hiányzó sor: 0;1\nMissing line: 0;1"), ""},
      {"a long value is cut at 60 characters",
       "0;1\n2012;12345678;12345678;2021;6\n1;1\n1;1;1;AT;CN;" + seventy + "\n",
       entry(4, " KGM: \"" + seventy.substr(0, 60) + "...\"", kInvalidNumber,
             "18-nál több számjegy\nmore than 18 digits"),
       ""},
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

// Under an entry the terminal says why, where the cell or the line tells it; the report file stays as it
// was. One item line per cause, in one run.
const std::string kIncomplete =
    "Hiányos tételsor: legalább TEKOD, UKOD, RTA/FTA és SZAORSZ kell.\nIncomplete item line: TEKOD, UKOD, "
    "RTA/FTA and SZAORSZ are needed at least.";
const std::string kInvalidCode =
    "Hibás kód a tételsorban: a TEKOD 8 számjegy, az UKOD 2 számjegy, az RTA/FTA és a SZAORSZ kétbetűs "
    "országkód legyen, a PADO országkóddal kezdődjön.\nInvalid code in the item line: TEKOD must be 8 "
    "digits, "
    "UKOD 2 digits, RTA/FTA and SZAORSZ two-letter country codes, and PADO must start with a country code.";
const std::string kGoodsCodeForm =
    "a TEKOD legfeljebb 8 számjegy (szóközök nélkül)\nTEKOD must be up to 8 digits (blanks aside)";

// The opening lines of a declaration; the rows' item lines follow, one entry each where a message is
// given. The terminal shows every entry with its reason, the report file none.
struct ReasonRow {
  std::string line;
  std::string cell;  // as the entry names it, empty for a whole line
  std::string message;
  std::string reason;
};

void expectReasons(const std::string& opening, const std::vector<ReasonRow>& rows) {
  std::string input = opening;
  std::string entries;
  int line = 4;
  for (const auto& row : rows) {
    input += row.line + "\n";
    if (!row.message.empty()) entries += entry(line, row.cell, row.message, row.reason);
    ++line;
  }
  ScratchFolder folder;
  writeBytes(folder.path() / "june.csv", input);
  const Ran ran = runProgram(folder, "june.csv");
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.err, kJuneErrors + entries);
  EXPECT_EQ(readBytes(folder.path() / "june-error.txt"), asReportFile(entries));
}

TEST(Program, EntriesSayWhyTheCellWasRefused) {
  expectReasons(
      "0;1\n2012;12345678;12345678;2021;6\n1;1\n",
      {
          {"1;1;1;AT;CN;1.250,5", " KGM: \"1.250,5\"", kInvalidNumber, kSecondSeparator},
          {"1;1;1;AT;CN;1;0,333333333333333", " KIEGME: \"0,333333333333333\"", kInvalidNumber,
           "7-nél több számjegy a tizedesjel után: kerekítse a cellát\nmore than 7 digits after the "
           "separator: "
           "round "
           "the cell"},
          {"1;1;1;AT;CN;1234567890123456789", " KGM: \"1234567890123456789\"", kInvalidNumber,
           "18-nál több számjegy\nmore than 18 digits"},
          {"1;1;1;AT;CN;9999999999999999", " KGM: \"9999999999999999\"", kInvalidNumber,
           "túl nagy szám\na number too large to hold"},
          {"1;1;1;AT;CN;2026\u221212\u221205", " KGM: \"2026\u221212\u221205\"", kInvalidNumber,
           "mínuszjel számjegyek között (dátum vagy tartomány)\na minus sign between digits (a date or a "
           "range)"},
          {"1;1;1;AT;CN;1\u00A0312,6", " KGM: \"1\u00A0312,6\"", kInvalidNumber,
           "nem törő szóköz: a táblázatkezelő számcsoportosítása; kapcsolja ki\na no-break space: digit "
           "grouping "
           "of the spreadsheet; turn it off"},
          {"1;1;1;AT;CN;1\u202F312,6", " KGM: \"1\u202F312,6\"", kInvalidNumber,
           "keskeny nem törő szóköz: a táblázatkezelő számcsoportosítása; kapcsolja ki\na narrow no-break "
           "space: "
           "digit grouping of the spreadsheet; turn it off"},
          {"1;1;1;AT;CN;1;;;50,00%", " STAERT: \"50,00%\"", kInvalidNumber,
           "százalékjel (%): a cella százalék formátumú\na percent sign (%): the cell is formatted as a "
           "percentage"},
          {"1;1;1;AT;CN;+5", " KGM: \"+5\"", kInvalidNumber, "pluszjel (+)\na plus sign (+)"},
          {"1;1;1;AT;CN;=H4*1,02", " KGM: \"=H4*1,02\"", kInvalidNumber,
           "egyenlőségjel (=): szövegként mentett képlet\nan equals sign (=): a formula saved as text"},
          {"1;1;1;AT;CN;1,000.5", " KGM: \"1,000.5\"", kInvalidNumber, kSecondSeparator},
          {"1;1;1;AT;CN;kb. 12", " KGM: \"kb. 12\"", kInvalidNumber, "betű: k\na letter: k"},
          {"1;1;1;AT;CN;0,5 kg", " KGM: \"0,5 kg\"", kInvalidNumber, "betű: k\na letter: k"},
          {"1;1;1;AT;CN;1;;1 200 Ft", " SZAOSSZ: \"1 200 Ft\"", kInvalidNumber, "betű: F\na letter: F"},
          // Each line fits; the second would take the total of their key beyond the largest number held.
          {"9;1;1;DE;DE;9000000000000000", "", "", ""},
          {"9;1;1;DE;DE;9000000000000000", "", kInvalidNumber,
           "az összevont sorok összege túl nagy\nthe total of the merged lines is too large"},
      });
}

// Codes on form 2010, where PADO and SZAORSZ are needed too.
TEST(Program, EntriesSayWhichCodeIsMissingOrOfTheWrongForm) {
  expectReasons(
      "0;1\n2010;12345678;12345678;2021;6\n1;1\n",
      {
          {"T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT", " TEKOD: \"TEKOD\"", kInvalidCode,
           kGoodsCodeForm},
          {"1;851712000;11;AT;CN;1", " TEKOD: \"851712000\"", kInvalidCode, kGoodsCodeForm},
          {"1;85171200;111;AT;CN;1", " UKOD: \"111\"", kInvalidCode,
           "az UKOD 1 vagy 2 számjegy\nUKOD must be 1 or 2 digits"},
          {"1;85171200;11;Ausztria;CN;1", " RTA: \"Ausztria\"", kInvalidCode,
           "az RTA kétbetűs országkód (például DE), nem az ország neve\nRTA must be a two-letter country "
           "code "
           "(DE, say), not the country's name"},
          {"1;85171200;11;AT;Kína;1", " SZAORSZ: \"Kína\"", kInvalidCode,
           "az SZAORSZ kétbetűs országkód (például DE), nem az ország neve\nSZAORSZ must be a two-letter "
           "country code (DE, say), not the country's name"},
          {"Összesen;;;;;1,5;;100;110", " TEKOD: \"\"", kIncomplete,
           "nincs kitöltve: TEKOD, UKOD, RTA, SZAORSZ\nnot filled in: TEKOD, UKOD, RTA, SZAORSZ"},
          {"1;85171200;;AT;;1", " UKOD: \"\"", kIncomplete,
           "nincs kitöltve: UKOD, SZAORSZ\nnot filled in: UKOD, SZAORSZ"},
          {"1;1;1;AT;CN;12*3", " KGM: \"12*3\"", kInvalidNumber,
           "a számban nem állhat ilyen karakter: \"*\" (U+002A)\na character a number may not hold: \"*\" "
           "(U+002A)"},
          {"1;84713000;11", "", kIncomplete, "nincs kitöltve: RTA, SZAORSZ\nnot filled in: RTA, SZAORSZ"},
          {"1;84713000;11;AT", "", kIncomplete, "nincs kitöltve: SZAORSZ\nnot filled in: SZAORSZ"},
          {"1;85171200;11;AT;CN;1;;;;x1", " PADO: \"x1\"", kInvalidCode,
           "a PADO országkóddal kezdődjön (például ATU12345678)\nPADO must start with a country code "
           "(ATU12345678, say)"},
          {"1;84713000;11;AT;;1", " SZAORSZ: \"\"", kIncomplete,
           "nincs kitöltve: SZAORSZ\nnot filled in: SZAORSZ"},
      });
}

// The guides' number rules on files: each quantity alone on a goods line, negated so that its total is
// written with three decimals whatever its size.
TEST(Program, QuantitiesAreReadAsTheGuidesSay) {
  const struct {
    const char* cell;
    const char* written;  // the total of the negated cell
  } rows[] = {
      {"1,250", "-1.250"},  // a single separator is the decimal separator
      {"1.250", "-1.250"},       {"1250,5", "-1250.500"},
      {"1 250", "-1250.000"},                                // plain spaces between digit groups are read
      {"0,5", "-0.500"},         {"12,3456789", "-12.345"},  // seven decimals, cut to the thousandth
      {" 0,9999999 ", "-0.999"},
  };
  std::string input = "0;1\n2012;12345678;12345678;2021;6\n1;1\n";
  std::string items;
  int row = 0;
  for (const auto& each : rows) {
    ++row;
    input += std::to_string(row) + ";" + std::to_string(row) + ";1;AT;CN;-" + each.cell + "\n";
    char key[32];
    std::snprintf(key, sizeof key, "%05d;%08d;01;AT;CN;", row, row);
    items += key + std::string(each.written) + ";;;\r\n";
  }
  ScratchFolder folder;
  writeBytes(folder.path() / "june.csv", input);
  const Ran ran = runProgram(folder, "june.csv");
  EXPECT_EQ(ran.status, 0) << ran.err;
  const std::string output = readBytes(folder.path() / "june-output.csv");
  EXPECT_EQ(output.substr(output.find("{T_SORSZ")),
            "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}\r\n" + items);
}

// A real Excel save with digit grouping: the no-break space is refused, and the terminal says what it is.
TEST(Program, TheSpreadsheetsDigitGroupingIsRefusedWithItsReason) {
  ScratchFolder folder;
  const char* source = std::getenv("ZELVORA_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::filesystem::copy_file(
      std::filesystem::path(source) / "tests" / "app" / "saves" / "excel-digit-grouping.csv",
      folder.path() / "june.csv");
  const Ran ran = runProgram(folder, "june.csv");
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.err,
            kJuneErrors + entry(13, " KGM: \"1\u00A0250,4\"", kInvalidNumber,
                                "nem törő szóköz: a táblázatkezelő számcsoportosítása; kapcsolja "
                                "ki\na no-break space: digit grouping of the spreadsheet; turn it off"));
}

}  // namespace
#endif
