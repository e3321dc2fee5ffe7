// ResultFile and putInPlace: nothing appears under a final name before it is whole, earlier files stay as
// they were until then, and a result given up leaves nothing behind. Runs under Wine as well, where the
// rename is MoveFileExW.
#include "app/result_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "run_support.h"

namespace {

namespace fs = std::filesystem;

// Every name in the folder with its bytes, sorted by name.
std::vector<std::pair<std::string, std::string>> contents(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    found.emplace_back(entry.path().filename().string(), readBytes(entry.path()));
  }
  std::sort(found.begin(), found.end());
  return found;
}

using Contents = std::vector<std::pair<std::string, std::string>>;

bool isTemporaryName(const std::string& name, const std::string& finalName) {
  const std::string prefix = "." + finalName + ".";
  return name.size() == prefix.size() + 16 + 4 && name.rfind(prefix, 0) == 0 &&
         name.compare(name.size() - 4, 4, ".tmp") == 0;
}

TEST(ResultFile, TemporaryNameStartsWithADotAndEndsInTmpBesideTheFinalName) {
  EXPECT_EQ(temporaryNameFor(fs::path("data") / "june-output.csv", 0x0123456789ABCDEFu),
            fs::path("data") / ".june-output.csv.0123456789abcdef.tmp");
  EXPECT_EQ(temporaryNameFor("june-error.txt", 0), fs::path(".june-error.txt.0000000000000000.tmp"));
}

TEST(ResultFile, AppearsUnderItsFinalNameOnlyWhenWholeAndReplacesWhatStoodThere) {
  ScratchFolder folder;
  const fs::path output = folder.path() / "june-output.csv";
  const fs::path errors = folder.path() / "june-error.txt";
  writeBytes(output, "earlier output");
  writeBytes(errors, "earlier report");
  {
    ResultFile result(output);
    ASSERT_NE(result.stream(), nullptr);
    std::fputs("new output", result.stream());
    EXPECT_TRUE(isTemporaryName(result.temporaryPath().filename().string(), "june-output.csv"))
        << result.temporaryPath();
    ASSERT_TRUE(result.finish());
    // Written, synced and closed, yet nothing under the final names has changed.
    EXPECT_EQ(readBytes(output), "earlier output");
    EXPECT_EQ(readBytes(result.temporaryPath()), "new output");
    EXPECT_EQ(contents(folder.path()).size(), 3u);

    const Placed placed = putInPlace(result, errors);
    EXPECT_EQ(placed.result, PlaceResult::Done);
  }
  EXPECT_EQ(contents(folder.path()), (Contents{{"june-output.csv", "new output"}}));
}

TEST(ResultFile, GivenUpLeavesTheFolderAsItWas) {
  ScratchFolder folder;
  const fs::path output = folder.path() / "june-output.csv";
  writeBytes(output, "earlier output");
  for (const bool finished : {false, true}) {
    ResultFile result(output);
    ASSERT_NE(result.stream(), nullptr);
    std::fputs("part of a result", result.stream());
    if (finished) {
      ASSERT_TRUE(result.finish());
    }
  }
  EXPECT_EQ(contents(folder.path()), (Contents{{"june-output.csv", "earlier output"}}));
}

TEST(ResultFile, TwoResultsForOneNameNeverShareATemporaryFile) {
  ScratchFolder folder;
  const fs::path output = folder.path() / "june-output.csv";
  ResultFile first(output);
  ResultFile second(output);
  ASSERT_NE(first.stream(), nullptr);
  ASSERT_NE(second.stream(), nullptr);
  EXPECT_NE(first.temporaryPath(), second.temporaryPath());
}

TEST(ResultFile, AFolderAtTheOtherNameIsNeitherMovedNorReplaced) {
  ScratchFolder folder;
  const fs::path output = folder.path() / "june-output.csv";
  const fs::path errors = folder.path() / "june-error.txt";
  fs::create_directory(errors);
  writeBytes(output, "earlier output");
  {
    ResultFile result(output);
    ASSERT_NE(result.stream(), nullptr);
    std::fputs("new output", result.stream());
    ASSERT_TRUE(result.finish());
    const Placed placed = putInPlace(result, errors);
    EXPECT_EQ(placed.result, PlaceResult::CannotCreate);
    EXPECT_EQ(placed.name, errors);
  }
  EXPECT_EQ(contents(folder.path()),
            (Contents{{"june-error.txt", ""}, {"june-output.csv", "earlier output"}}));
  EXPECT_TRUE(fs::is_directory(errors));
}

}  // namespace
