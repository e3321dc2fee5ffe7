// Runs that take turns in one folder: a stuck lock is waited for, then given up; runs at the same time on
// colliding names leave one whole result.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/declaration/messages.h"
#include "app/run.h"
#include "app/write/result_file.h"
#include "run_support.h"
#include "tests/app/run_results_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace run_results;

// A run that holds the folder's lock and does not let go (stopped with Ctrl+Z, say): the waiting is said
// once, then given up with nothing changed, and its end is said once; once the lock is free, the run goes
// through without a word.
TEST(RunResults, AStuckLockIsWaitedForThenGivenUp) {
  ScratchFolder folder;
  const fs::path input = folder.path() / "june.csv";
  writeBytes(input, kGood);
  writeBytes(folder.path() / "june-error.txt", "earlier report");
  const int holder = open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  int notices = 0;
  int ends = 0;
  setLockWaiting(
      {std::chrono::milliseconds(20), std::chrono::milliseconds(200), [&] { ++notices; }, [&] { ++ends; }});
  const RunOutcome stuck = runConversion(input);
  EXPECT_EQ(stuck.exitStatus, 1);
  EXPECT_EQ(stuck.closingText, named(message::kCannotWrite, folder.path() / "june-output.csv"));
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(names(folder.path()), (std::vector<std::string>{"june-error.txt", "june.csv"}));
  EXPECT_EQ(readBytes(folder.path() / "june-error.txt"), "earlier report");

  close(holder);
  notices = 0;
  ends = 0;
  const RunOutcome freed = runConversion(input);
  setLockWaiting({});
  EXPECT_EQ(freed.exitStatus, 0) << freed.closingText;
  EXPECT_EQ(notices, 0);
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(names(folder.path()), (std::vector<std::string>{"june-output.csv", "june.csv"}));
}

// Two runs at once on june.csv (good) and june.txt (with mistakes), which share their result names. Each
// round, exactly one whole result is left, the one of the run that finished last, and no temporary file.
TEST(RunResults, RunsAtTheSameTimeOnCollidingNamesLeaveOneWholeResult) {
  const std::string goodOutput = keptFor(kGood);
  const std::string badReport = keptFor(kBad);
  ScratchFolder folder;
  writeBytes(folder.path() / "june.csv", kGood);
  writeBytes(folder.path() / "june.txt", kBad);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
      children[i] = fork();
      ASSERT_NE(children[i], -1);
      if (children[i] == 0) {
        close(start[1]);
        char go = 0;
        if (read(start[0], &go, 1) != 1) _exit(3);
        const RunOutcome outcome = runConversion(folder.path() / (i == 0 ? "june.csv" : "june.txt"));
        _exit(outcome.exitStatus);
      }
    }
    close(start[0]);
    ASSERT_EQ(write(start[1], "gg", 2), 2);
    close(start[1]);
    int statuses[2];
    for (int i = 0; i < 2; ++i) {
      ASSERT_EQ(waitpid(children[i], &statuses[i], 0), children[i]);
      ASSERT_TRUE(WIFEXITED(statuses[i]));
    }
    EXPECT_EQ(WEXITSTATUS(statuses[0]), 0);
    EXPECT_EQ(WEXITSTATUS(statuses[1]), 1);
    const std::vector<std::string> left = names(folder.path());
    ASSERT_EQ(left.size(), 3u) << "files left: " << left.size();
    if (left[0] == "june-error.txt") {
      EXPECT_EQ(readBytes(folder.path() / left[0]), badReport);
    } else {
      ASSERT_EQ(left[0], "june-output.csv");
      EXPECT_EQ(readBytes(folder.path() / left[0]), goodOutput);
    }
  }
}

}  // namespace
#endif
