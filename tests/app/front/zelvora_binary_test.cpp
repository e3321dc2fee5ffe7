// The built `zelvora` program on files: runs in order, exit status, closing texts on stdout and stderr,
// names shown as given, inputs refused before any is converted, and texts or results that cannot be
// written.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "tests/app/front/program_support.h"
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

using namespace program;

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

}  // namespace
#endif
