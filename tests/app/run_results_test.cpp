// Runs against what stands at the two result names, and runs cut short: links are replaced and never
// written through, a killed run leaves no final name with part of a result, earlier files stay as they
// were until a whole result replaces them, and runs at the same time on colliding names take turns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/run.h"
#include "run_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string kGood = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n1;1;1;AT;CN;1,5\r\n";
const std::string kBad = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n1;1;1;AT;CN;1.000.000\r\n";

std::string named(const char* pattern, const fs::path& path) {
  return fillPath(pattern, path.string());
}

// The names in the folder, sorted.
std::vector<std::string> names(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) found.push_back(entry.path().filename().string());
  std::sort(found.begin(), found.end());
  return found;
}

bool isTemporaryName(const std::string& name) {
  return name.size() > 5 && name[0] == '.' && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// What the run would keep for the input, worked out in a folder of its own.
std::string keptFor(const std::string& input) {
  ScratchFolder folder;
  return convertBytes(folder, input).kept;
}

TEST(RunResults, LinksAtTheResultNamesAreReplacedNeverWrittenThrough) {
  enum Link { Symbolic, Hard, Dangling };
  const struct {
    const char* what;
    const char* name;  // where the link stands
    Link link;
    bool toInput;  // else to notes.txt
    bool good;
  } rows[] = {
      {"error name, symbolic link to notes, good run", "june-error.txt", Symbolic, false, true},
      {"error name, hard link to notes, good run", "june-error.txt", Hard, false, true},
      {"error name, symbolic link to notes, run with mistakes", "june-error.txt", Symbolic, false, false},
      {"error name, hard link to notes, run with mistakes", "june-error.txt", Hard, false, false},
      {"output name, symbolic link to the input, good run", "june-output.csv", Symbolic, true, true},
      {"output name, hard link to the input, good run", "june-output.csv", Hard, true, true},
      {"output name, hard link to the input, run with mistakes", "june-output.csv", Hard, true, false},
      {"output name, dangling link out of the folder, good run", "june-output.csv", Dangling, false, true},
      {"error name, dangling link out of the folder, run with mistakes", "june-error.txt", Dangling, false,
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ScratchFolder folder;
    const std::string input = row.good ? kGood : kBad;
    const fs::path inputPath = folder.path() / "june.csv";
    writeBytes(inputPath, input);
    writeBytes(folder.path() / "notes.txt", "my notes");
    fs::create_directory(folder.path() / "elsewhere");
    const fs::path link = folder.path() / row.name;
    const fs::path target = row.toInput ? inputPath : folder.path() / "notes.txt";
    if (row.link == Symbolic) fs::create_symlink(target.filename(), link);
    if (row.link == Hard) fs::create_hard_link(target, link);
    if (row.link == Dangling) fs::create_symlink("elsewhere/new.csv", link);

    const Converted result = convertFile(inputPath);  // also checks that the input is unchanged
    expectOnlyKept(result, row.good, keptFor(input));
    EXPECT_EQ(readBytes(folder.path() / "notes.txt"), "my notes");
    EXPECT_TRUE(fs::is_empty(folder.path() / "elsewhere"));
    const fs::path kept = row.good ? result.outputPath : result.errorPath;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(kept)));
    EXPECT_EQ(names(folder.path()),
              (std::vector<std::string>{"elsewhere", kept.filename().string(), "june.csv", "notes.txt"}));
  }
}

// A FIFO, or anything else that is not a file or a link, at a result name: refused at once, left alone.
TEST(RunResults, AFifoAtAResultNameIsRefusedWithoutWaiting) {
  for (const char* name : {"june-output.csv", "june-error.txt"}) {
    SCOPED_TRACE(name);
    ScratchFolder folder;
    const fs::path input = folder.path() / "june.csv";
    const fs::path fifo = folder.path() / name;
    writeBytes(input, kGood);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      alarm(20);  // a run that opened the FIFO would wait here for a reader forever
      const RunOutcome outcome = runConversion(input);
      _exit(outcome.closingText == named(message::kCannotCreate, fifo) && outcome.exitStatus == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the run hung on the FIFO";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the run did not refuse the FIFO";
    struct stat fifoStatus {};
    ASSERT_EQ(lstat(fifo.c_str(), &fifoStatus), 0);
    EXPECT_TRUE(S_ISFIFO(fifoStatus.st_mode));
    EXPECT_EQ(names(folder.path()), (std::vector<std::string>{std::string(name), "june.csv"}));
  }
}

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

// Folders like /tmp, where everyone may add files but only the owner may take them away: a stale report of
// another user cannot be deleted, so the run keeps nothing and says which file is in the way.
TEST(RunResults, AStaleReportThatCannotBeDeletedIsReportedAndNothingChanges) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to play the other user that owns the stale report";
  ScratchFolder folder;
  fs::permissions(folder.path(), fs::perms::all | fs::perms::sticky_bit);
  const fs::path input = folder.path() / "june.csv";
  const fs::path stale = folder.path() / "june-error.txt";
  writeBytes(input, kGood);
  writeBytes(stale, "stale report");
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    const RunOutcome outcome = runConversion(input);
    _exit(outcome.closingText == named(message::kCannotReplace, stale) && outcome.exitStatus == 1 &&
                  outcome.icon == RunIcon::Error
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_NE(WEXITSTATUS(status), 2) << "could not become another user";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the run did not report the report it could not delete";
  EXPECT_EQ(readBytes(stale), "stale report");
  EXPECT_EQ(names(folder.path()), (std::vector<std::string>{"june-error.txt", "june.csv"}));
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
