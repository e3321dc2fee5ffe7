// Runs that cannot complete: missing, unreadable or oversized input, files that cannot be created, and
// derived names beside an input in a folder with a "." in its name.
#include "app/input_file.h"
#include "app/run.h"

#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/declaration/messages.h"
#include "run_support.h"

namespace {

const std::string kDeclaration = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n1;1;1;AT;CN;1\r\n";

std::string named(const char* pattern, const std::filesystem::path& path) {
  return fillPath(pattern, path.string());
}

void expectNoFileBesides(const std::filesystem::path& folder, std::size_t count) {
  std::size_t found = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++found;
  EXPECT_EQ(found, count) << "files were left in " << folder;
}

TEST(RunFailures, InputNotFound) {
  ScratchFolder folder;
  const RunOutcome outcome = runConversion(folder.path() / "missing.csv");
  EXPECT_EQ(outcome.closingText, message::kFileNotFound);
  EXPECT_EQ(outcome.icon, RunIcon::Error);
  EXPECT_EQ(outcome.exitStatus, 1);
  expectNoFileBesides(folder.path(), 0);
}

TEST(RunFailures, DerivedNamesStayBesideTheInputWhenOnlyAFolderHasADot) {
  ScratchFolder folder;
  std::filesystem::create_directories(folder.path() / "data.2021");
  // The file the old naming would have truncated and deleted.
  writeBytes(folder.path() / "data-output.csv", "unrelated");
  const Converted result = convertBytes(folder, kDeclaration, "data.2021/june");
  EXPECT_EQ(result.outcome.exitStatus, 0);
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "data.2021" / "june-output.csv"));
  EXPECT_EQ(readBytes(folder.path() / "data-output.csv"), "unrelated");
  expectNoFileBesides(folder.path() / "data.2021", 2);
  expectNoFileBesides(folder.path(), 2);
}

TEST(RunFailures, LongPathsAndClosingTexts) {
  ScratchFolder folder;
  std::filesystem::path deep = folder.path();
  for (int i = 0; i < 6; ++i) deep /= std::string(200, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  const Converted result =
      convertBytes(folder, kDeclaration, (deep.lexically_relative(folder.path()) / "j.csv").string());
  EXPECT_EQ(result.outcome.exitStatus, 0);
  EXPECT_EQ(result.outcome.closingText, named(message::kSuccess, result.outputPath));
  EXPECT_GT(result.outcome.closingText.size(), 2400u);
}

#ifndef _WIN32
// Names that cannot be created: a folder already stands there.
TEST(RunFailures, OutputOrErrorFileCannotBeCreated) {
  for (const char* blocked : {"june-output.csv", "june-error.txt"}) {
    SCOPED_TRACE(blocked);
    ScratchFolder folder;
    std::filesystem::create_directory(folder.path() / blocked);
    const Converted result = convertBytes(folder, kDeclaration);
    EXPECT_EQ(result.outcome.closingText, named(message::kCannotCreate, folder.path() / blocked));
    EXPECT_EQ(result.outcome.icon, RunIcon::Error);
    EXPECT_EQ(result.outcome.exitStatus, 1);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / blocked));
    expectNoFileBesides(folder.path(), 2);  // the input and the folder
  }
}

TEST(RunFailures, InputThatCannotBeRead) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.path() / "june.csv");
  const RunOutcome outcome = runConversion(folder.path() / "june.csv");
  EXPECT_EQ(outcome.closingText, named(message::kCannotRead, folder.path() / "june.csv"));
  EXPECT_EQ(outcome.exitStatus, 1);
  expectNoFileBesides(folder.path(), 1);
}

TEST(RunFailures, InputTooLargeForItsLineNumbers) {
  ScratchFolder folder;
  const std::filesystem::path input = folder.path() / "june.csv";
  writeBytes(input, "");
  std::error_code sparse;
  std::filesystem::resize_file(input, kMaxInputBytes + 1, sparse);  // a sparse file, no real data
  if (sparse) GTEST_SKIP() << "no sparse file here: " << sparse.message();
  const RunOutcome outcome = runConversion(input);
  EXPECT_EQ(outcome.closingText, named(message::kTooLarge, input));
  EXPECT_EQ(outcome.exitStatus, 1);
  expectNoFileBesides(folder.path(), 1);
}

// A full disk, played by a file size limit in a child process: the kept file would be cut short, so
// the run reports it, and the results of an earlier run stay as they were.
TEST(RunFailures, AKeptFileThatCannotBeWrittenWholeIsReportedAndRemoved) {
  std::string goodItems;
  std::string badItems;
  for (int k = 0; k < 2000; ++k) {
    goodItems += std::to_string(k) + ";" + std::to_string(k) + ";11;AT;CN;1\r\n";
    badItems += std::to_string(k) + ";" + std::to_string(k) + ";11;AT;CN;1.000.000\r\n";
  }
  for (const auto& [items, keptSuffix] :
       {std::pair{goodItems, "-output.csv"}, std::pair{badItems, "-error.txt"}}) {
    SCOPED_TRACE(keptSuffix);
    ScratchFolder folder;
    const std::filesystem::path input = folder.path() / "june.csv";
    writeBytes(input, "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n" + items);
    writeBytes(folder.path() / "june-output.csv", "earlier output");
    writeBytes(folder.path() / "june-error.txt", "earlier report");
    const std::string expected =
        named(message::kCannotWrite, folder.path() / (std::string("june") + keptSuffix));
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{8192, 8192};
      setrlimit(RLIMIT_FSIZE, &limit);
      const RunOutcome outcome = runConversion(input);
      _exit(outcome.closingText == expected && outcome.exitStatus == 1 && outcome.icon == RunIcon::Error ? 0
                                                                                                         : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's run did not report the failed write";
    EXPECT_EQ(readBytes(folder.path() / "june-output.csv"), "earlier output");
    EXPECT_EQ(readBytes(folder.path() / "june-error.txt"), "earlier report");
    expectNoFileBesides(folder.path(), 3);
  }
}
#endif

}  // namespace
