// Runs cut short: a killed run leaves no final name with part of a result, a kill at any step of putting
// the results in place leaves a whole one, and a signal then waits for the closing text.
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

// Whether files without a name can be made in the folder (O_TMPFILE), so that a killed run leaves none.
bool hasUnnamedFiles(const fs::path& folder) {
#ifdef O_TMPFILE
  const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (fd >= 0) close(fd);
  return fd >= 0;
#else
  return false;
#endif
}

std::string largeDeclaration(int keys) {
  std::string text = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n";
  for (int k = 0; k < keys; ++k) text += std::to_string(k) + ";" + std::to_string(k) + ";11;AT;CN;1\r\n";
  return text;
}

int signalOnFullFile = 0;
extern "C" void sendChosenSignal(int) {
  kill(getpid(), signalOnFullFile);
}

// The run is ended by a signal when its item section passes 1 MiB: the file size limit raises SIGXFSZ,
// whose handler sends the signal of the row. The earlier results stay as they were; SIGINT, SIGTERM and
// SIGHUP leave no temporary file, and neither does SIGKILL (like a power cut) where the file system has
// unnamed files; where it has none, at most temporary ones, the output's cut off.
TEST(RunResults, AKilledRunLeavesNoFinalNameWithPartOfAResult) {
  constexpr rlim_t kLimit = 1 << 20;
  const std::string input = largeDeclaration(60000);
  const struct {
    int signal;
    bool temporaryLeft;
  } rows[] = {{SIGKILL, true}, {SIGTERM, false}, {SIGINT, false}, {SIGHUP, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(strsignal(row.signal));
    struct sigaction current {};
    sigaction(row.signal, nullptr, &current);
    if (current.sa_handler == SIG_IGN) {
      // Started under nohup, say: the run rightly keeps ignoring the signal, so there is nothing to see.
      std::printf("%s is ignored here; its row is left out\n", strsignal(row.signal));
      continue;
    }
    ScratchFolder folder;
    const fs::path inputPath = folder.path() / "june.csv";
    writeBytes(inputPath, input);
    writeBytes(folder.path() / "june-output.csv", "earlier output");
    writeBytes(folder.path() / "june-error.txt", "earlier report");
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      const rlimit noCore{0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      const rlimit limit{kLimit, kLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
      signalOnFullFile = row.signal;
      signal(SIGXFSZ, sendChosenSignal);
      runConversion(inputPath);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run was not ended by the signal";
    EXPECT_EQ(WTERMSIG(status), row.signal);

    EXPECT_EQ(readBytes(inputPath), input);
    EXPECT_EQ(readBytes(folder.path() / "june-output.csv"), "earlier output");
    EXPECT_EQ(readBytes(folder.path() / "june-error.txt"), "earlier report");
    std::vector<std::string> left;
    for (const std::string& name : names(folder.path())) {
      if (name != "june.csv" && name != "june-output.csv" && name != "june-error.txt") left.push_back(name);
    }
    if (!row.temporaryLeft || hasUnnamedFiles(folder.path())) {
      EXPECT_TRUE(left.empty()) << left.front();
      continue;
    }
    // Both temporary files, the output's cut in its item section.
    ASSERT_EQ(left.size(), 2u);
    std::uintmax_t largest = 0;
    for (const std::string& name : left) {
      EXPECT_TRUE(isTemporaryName(name)) << name;
      largest = std::max(largest, fs::file_size(folder.path() / name));
    }
    EXPECT_EQ(largest, kLimit);
  }
}

// Killed (kill -9, a power cut) at each step of putting the results in place: each final name holds what
// it held before or the new result, whole, and never is a result that existed gone while the new one is
// not in place. Where the file system has unnamed files, nothing else is left but the earlier result
// swapped out while both names stood.
TEST(RunResults, AKillAtAnyStepOfPuttingResultsInPlaceLeavesAResult) {
  const struct {
    PlacingStep step;
    const char* name;
  } steps[] = {{PlacingStep::Checked, "checked"},
               {PlacingStep::KeptPlaced, "kept placed"},
               {PlacingStep::Done, "done"}};
  for (const bool good : {true, false}) {
    const std::string input = good ? kGood : kBad;
    const std::string result = keptFor(input);
    const std::string keptName = good ? "june-output.csv" : "june-error.txt";
    const std::string otherName = good ? "june-error.txt" : "june-output.csv";
    for (const int earlier : {0, 1, 2, 3}) {
      const bool keptStood = (earlier & 1) != 0;
      const bool otherStood = (earlier & 2) != 0;
      for (const auto& step : steps) {
        SCOPED_TRACE(std::string(good ? "good" : "with mistakes") + ", earlier " + std::to_string(earlier) +
                     ", killed when " + step.name);
        ScratchFolder folder;
        writeBytes(folder.path() / "june.csv", input);
        if (keptStood) writeBytes(folder.path() / keptName, "earlier kept");
        if (otherStood) writeBytes(folder.path() / otherName, "earlier other");
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
          setPlacingStepHook([&](PlacingStep reached) {
            if (reached == step.step) kill(getpid(), SIGKILL);
          });
          runConversion(folder.path() / "june.csv");
          _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "not killed at the step";

        const bool placedAlready = step.step != PlacingStep::Checked;
        const fs::path kept = folder.path() / keptName;
        const fs::path other = folder.path() / otherName;
        if (placedAlready) {
          EXPECT_EQ(readBytes(kept), result);
        } else {
          EXPECT_EQ(fs::exists(kept), keptStood);
          if (keptStood) {
            EXPECT_EQ(readBytes(kept), "earlier kept");
          }
        }
        const bool otherGone = step.step == PlacingStep::Done;
        EXPECT_EQ(fs::exists(other), otherStood && !otherGone);
        if (otherStood && !otherGone) {
          EXPECT_EQ(readBytes(other), "earlier other");
        }
        std::vector<std::string> left;
        for (const std::string& name : names(folder.path())) {
          if (name != "june.csv" && name != keptName && name != otherName) left.push_back(name);
        }
        for (const std::string& name : left) EXPECT_TRUE(isTemporaryName(name)) << name;
        if (hasUnnamedFiles(folder.path())) {
          const bool swappedOut = step.step == PlacingStep::KeptPlaced && keptStood && otherStood;
          EXPECT_EQ(left.size(), swappedOut ? 1u : 0u);
          if (swappedOut && left.size() == 1) {
            EXPECT_EQ(readBytes(folder.path() / left[0]), "earlier kept");
          }
        }
      }
    }
  }
}

// SIGTERM while the results are put in place: acted on only after they are in place and, where the front
// end asks for it, after the closing text is shown; the process then ends by the signal.
TEST(RunResults, ASignalWhileResultsArePutInPlaceWaitsForTheClosingText) {
  for (const PlacingStep step : {PlacingStep::Checked, PlacingStep::KeptPlaced}) {
    SCOPED_TRACE(static_cast<int>(step));
    ScratchFolder folder;
    const fs::path input = folder.path() / "june.csv";
    writeBytes(input, kGood);
    writeBytes(folder.path() / "june-error.txt", "earlier report");
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      close(pipeEnds[0]);
      signal(SIGTERM, SIG_DFL);
      holdSignalsUntilShown();
      setPlacingStepHook([&](PlacingStep reached) {
        if (reached == step) kill(getpid(), SIGTERM);
      });
      const RunOutcome outcome = runConversion(input);
      if (write(pipeEnds[1], outcome.closingText.data(), outcome.closingText.size()) < 0) _exit(3);
      releaseHeldSignals();
      _exit(0);
    }
    close(pipeEnds[1]);
    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) shown.append(buffer, got);
    close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "not ended by the signal";
    EXPECT_EQ(shown, named(message::kSuccess, folder.path() / "june-output.csv"));
    EXPECT_EQ(readBytes(folder.path() / "june-output.csv"), keptFor(kGood));
    EXPECT_EQ(names(folder.path()), (std::vector<std::string>{"june-output.csv", "june.csv"}));
  }
}

}  // namespace
#endif
