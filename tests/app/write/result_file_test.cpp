// ResultFile and putInPlace: nothing appears under a final name before it is whole, earlier files stay as
// they were until then, and a result given up leaves nothing behind. Runs under Wine as well, where the
// rename is MoveFileExW.
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

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#endif

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

#ifdef _WIN32
const std::string kGood = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n1;1;1;AT;CN;1\r\n";
const std::string kBad = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n1;1;1;AT;CN;1.000.000\r\n";

// An earlier result with the read-only attribute, or held open by another program without sharing (a
// spreadsheet that shows it): nothing changes, and the text names that file, never a hidden one.
TEST(ResultFile, AnEarlierResultThatIsReadOnlyOrOpenChangesNothing) {
  enum Hold { ReadOnly, OpenUnshared };
  const struct {
    const char* what;
    Hold hold;
    const char* held;  // which earlier file
    bool good;
    const char* text;
  } rows[] = {
      {"read-only output, a good run", ReadOnly, "june-output.csv", true, message::kCannotReplace},
      {"read-only output, a run with mistakes", ReadOnly, "june-output.csv", false, message::kCannotReplace},
      {"open output, a good run", OpenUnshared, "june-output.csv", true, message::kInUse},
      {"open output, a run with mistakes", OpenUnshared, "june-output.csv", false, message::kInUse},
      {"open report, a good run", OpenUnshared, "june-error.txt", true, message::kInUse},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ScratchFolder folder;
    const fs::path input = folder.path() / "june.csv";
    const fs::path held = folder.path() / row.held;
    writeBytes(input, row.good ? kGood : kBad);
    writeBytes(held, "earlier result");
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (row.hold == ReadOnly) {
      ASSERT_TRUE(SetFileAttributesW(held.c_str(), FILE_ATTRIBUTE_READONLY));
    } else {
      handle = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    }
    const RunOutcome outcome = runConversion(input);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    SetFileAttributesW(held.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(outcome.exitStatus, 1);
    char* shown = encodeText(pathText(held), "ISO-8859-2");
    EXPECT_EQ(outcome.closingText, fillPath(row.text, shown));
    delete[] shown;
    EXPECT_EQ(contents(folder.path()),
              (Contents{{row.held, "earlier result"}, {"june.csv", row.good ? kGood : kBad}}));
  }
}

// June.csv and june.txt in one call: Windows names ignore case, so the second run's results are the
// first one's, and it leaves them alone.
TEST(ResultFile, ARunOfTheSameCallNeverReplacesAResultWhoseNameDiffersInCase) {
  ScratchFolder folder;
  writeBytes(folder.path() / "June.csv", kGood);
  writeBytes(folder.path() / "june.txt", kBad);
  PlacedResults placed;
  ASSERT_EQ(runConversion(folder.path() / "June.csv", placed).exitStatus, 0);
  const std::string output = readBytes(folder.path() / "June-output.csv");
  const RunOutcome later = runConversion(folder.path() / "june.txt", placed);
  EXPECT_EQ(later.exitStatus, 1);
  EXPECT_NE(later.closingText.find("Two files would give results of the same name"), std::string::npos)
      << later.closingText;
  EXPECT_EQ(contents(folder.path()),
            (Contents{{"June-output.csv", output}, {"June.csv", kGood}, {"june.txt", kBad}}));
}

// A run that holds the folder's lock and does not let go: given up, nothing changed.
TEST(ResultFile, AStuckLockIsGivenUp) {
  ScratchFolder folder;
  writeBytes(folder.path() / "june.csv", kGood);
  const fs::path lockName = folder.path() / ".zelvora.lock";
  const HANDLE lock = CreateFileW(lockName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  int notices = 0;
  setLockWaiting({std::chrono::milliseconds(20), std::chrono::milliseconds(300), [&] { ++notices; }});
  const RunOutcome outcome = runConversion(folder.path() / "june.csv");
  setLockWaiting({});
  CloseHandle(lock);
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_NE(outcome.closingText.find("could not be written"), std::string::npos) << outcome.closingText;
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(contents(folder.path()), (Contents{{"june.csv", kGood}}));
}
#endif

}  // namespace
