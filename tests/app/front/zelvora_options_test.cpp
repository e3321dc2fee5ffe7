// The built `zelvora` program's options: help, version, grouped and shortened options, the end of options.
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

}  // namespace
#endif
