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

bool isTemporaryName(const std::string& name) {
  return name.size() == 9 + 16 + 4 && name.rfind(".zelvora-", 0) == 0 &&
         name.compare(name.size() - 4, 4, ".tmp") == 0;
}

TEST(ResultFile, TemporaryNameIsShortHiddenAndBesideTheFinalName) {
  EXPECT_EQ(temporaryNameFor(fs::path("data") / "june-output.csv", 0x0123456789ABCDEFu),
            fs::path("data") / ".zelvora-0123456789abcdef.tmp");
  EXPECT_EQ(temporaryNameFor(std::string(250, 'j') + "-error.txt", 0),
            fs::path(".zelvora-0000000000000000.tmp"));
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
    // Without a name where the file system allows, else under a hidden one.
    const std::string hidden = result.temporaryPath().filename().string();
    EXPECT_TRUE(hidden.empty() || isTemporaryName(hidden)) << hidden;
    ASSERT_TRUE(result.finish());
    // Written and synced, yet nothing under the final names has changed.
    EXPECT_EQ(readBytes(output), "earlier output");
    if (!hidden.empty()) {
      EXPECT_EQ(readBytes(result.temporaryPath()), "new output");
    }
    EXPECT_EQ(contents(folder.path()).size(), hidden.empty() ? 2u : 3u);

    PlacedResults placed;
    const Placed place = putInPlace(result, errors, folder.path() / "june.csv", placed);
    EXPECT_EQ(place.result, PlaceResult::Done);
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
  // Unnamed files are two files by themselves; named ones must not share a name.
  EXPECT_TRUE(first.temporaryPath().empty() || first.temporaryPath() != second.temporaryPath());
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
    PlacedResults placed;
    const Placed place = putInPlace(result, errors, folder.path() / "june.csv", placed);
    EXPECT_EQ(place.result, PlaceResult::CannotCreate);
    EXPECT_EQ(place.name, errors);
  }
  EXPECT_EQ(contents(folder.path()),
            (Contents{{"june-error.txt", ""}, {"june-output.csv", "earlier output"}}));
  EXPECT_TRUE(fs::is_directory(errors));
}

}  // namespace
