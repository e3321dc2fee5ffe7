// ResultFile and putInPlace: nothing appears under a final name before it is whole, earlier files stay as
// they were until then, and a result given up leaves nothing behind. Runs under Wine as well, where the
// rename is MoveFileExW; what only Windows does is in result_file_windows_test.cpp.
#include "app/write/result_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/declaration/messages.h"
#include "app/run.h"
#include "charset/charset.h"
#include "tests/app/run_support.h"
#include "tests/app/write/result_folder.h"

namespace {

namespace fs = std::filesystem;

using result_folder::Contents;
using result_folder::contents;
using result_folder::isTemporaryName;

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
