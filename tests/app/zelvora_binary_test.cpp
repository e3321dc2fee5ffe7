// The built `zelvora` program: exit status, closing texts in UTF-8 on stdout and stderr, runs in order.
#include <gtest/gtest.h>

#include <string>

#include "run_support.h"

#if defined(ZELVORA_BINARY) && !defined(_WIN32)
#include <sys/wait.h>

#include <cstdlib>

namespace {

struct Ran {
  int status;
  std::string out;
  std::string err;
};

Ran runProgram(const ScratchFolder& folder, const std::string& arguments) {
  const std::filesystem::path out = folder.path() / "stdout";
  const std::filesystem::path err = folder.path() / "stderr";
  const std::string command = std::string("'") + ZELVORA_BINARY + "' " + arguments + " >'" + out.string() +
                              "' 2>'" + err.string() + "'";
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
  EXPECT_EQ(ran.err.rfind("Használat: zelvora FÁJL...\n", 0), 0u) << ran.err;
  EXPECT_NE(ran.err.find("\nUsage: zelvora FILE...\n"), std::string::npos) << ran.err;
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
  EXPECT_EQ(ok.out, "A feldolgozás sikeres, az eredmény: " + firstOutput +
                        "\nProcessing successful, result in " + firstOutput +
                        "\nA feldolgozás sikeres, az eredmény: " + lastOutput +
                        "\nProcessing successful, result in " + lastOutput + "\n");
  EXPECT_EQ(ok.err, "");

  const Ran mixed = runProgram(folder, quoted(missing) + " " + quoted(bad) + " " + quoted(first));
  EXPECT_EQ(mixed.status, 1);
  const std::string badError = (folder.path() / "bad-error.txt").string();
  EXPECT_EQ(mixed.err, "A fájl nem található\nFile not found\nA feldolgozás során hibákat találtunk, lásd: " +
                           badError + "\nErrors found during processing, see: " + badError + "\n");
  EXPECT_EQ(mixed.out, "A feldolgozás sikeres, az eredmény: " + firstOutput +
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

TEST(Program, AMissingFileAloneExitsOne) {
  ScratchFolder folder;
  const Ran ran = runProgram(folder, quoted(folder.path() / "nothing.csv"));
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.out, "");
  EXPECT_EQ(ran.err, "A fájl nem található\nFile not found\n");
}

}  // namespace
#endif
