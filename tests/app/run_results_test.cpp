// Runs against what stands at the two result names: links are replaced and never written through, a FIFO
// is refused, an earlier result that cannot be removed changes nothing, a replaced result keeps its mode,
// and no run of a call replaces what an earlier one put in place.
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

// A run in a child process as another user (nobody), its closing text sent back through a pipe.
struct AsOtherUser {
  bool became = true;
  int status = 0;
  std::string closingText;
};
AsOtherUser runAsNobody(const fs::path& input) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {false, -1, {}};
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    const RunOutcome outcome = runConversion(input);
    if (write(pipeEnds[1], outcome.closingText.data(), outcome.closingText.size()) < 0) _exit(3);
    _exit(outcome.exitStatus);
  }
  close(pipeEnds[1]);
  AsOtherUser ran;
  char buffer[4096];
  for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    ran.closingText.append(buffer, got);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ran.became = WIFEXITED(status) && WEXITSTATUS(status) != 2;
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return ran;
}

// Folders like /tmp, where everyone may add files but only the owner may take them away: an earlier result
// of another user cannot be replaced or removed, so the run changes nothing, not even the name it could
// have replaced, and names the file that is in the way, never a hidden one.
TEST(RunResults, AnEarlierResultThatCannotBeRemovedChangesNothing) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to play the other user that owns the earlier result";
  enum Owner { None, Root, Nobody };
  const struct {
    const char* what;
    Owner output;
    Owner report;
    bool good;
    const char* inTheWay;
  } rows[] = {
      {"another's report, a good run", None, Root, true, "june-error.txt"},
      {"another's output, a run with mistakes", Root, None, false, "june-output.csv"},
      {"own output and another's report, a good run", Nobody, Root, true, "june-error.txt"},
      {"another's output and own report, a good run", Root, Nobody, true, "june-output.csv"},
      {"own output and another's report, a run with mistakes", Nobody, Root, false, "june-error.txt"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ScratchFolder folder;
    fs::permissions(folder.path(), fs::perms::all | fs::perms::sticky_bit);
    const fs::path input = folder.path() / "june.csv";
    writeBytes(input, row.good ? kGood : kBad);
    std::vector<std::string> before = {"june.csv"};
    for (const auto& [owner, name] :
         {std::pair{row.output, "june-output.csv"}, {row.report, "june-error.txt"}}) {
      if (owner == None) continue;
      writeBytes(folder.path() / name, std::string("earlier ") + name);
      if (owner == Nobody) {
        ASSERT_EQ(chown((folder.path() / name).c_str(), 65534, 65534), 0);
      }
      before.push_back(name);
    }
    std::sort(before.begin(), before.end());
    const AsOtherUser ran = runAsNobody(input);
    ASSERT_TRUE(ran.became) << "could not become another user";
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.closingText, named(message::kCannotReplace, folder.path() / row.inTheWay));
    EXPECT_EQ(names(folder.path()), before);
    for (const std::string& name : before) {
      if (name != "june.csv") {
        EXPECT_EQ(readBytes(folder.path() / name), "earlier " + name);
      }
    }
  }
}

// A result that replaces an earlier one keeps its permission bits and its group; a new one gets what the
// umask gives a new file.
TEST(RunResults, AResultKeepsTheModeAndGroupOfTheFileItReplaces) {
  const struct {
    const char* what;
    bool earlier;
    mode_t mode;  // of the earlier file, or the umask
    bool otherGroup;
    mode_t expected;
  } rows[] = {
      {"earlier 0600", true, 0600, false, 0600},
      {"earlier 0640 of another group", true, 0640, true, 0640},
      {"earlier 0664", true, 0664, false, 0664},
      {"new under umask 027", false, 027, false, 0640},
      {"new under umask 002", false, 002, false, 0664},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.otherGroup && geteuid() != 0) continue;  // only root may give a file any group
    ScratchFolder folder;
    const fs::path input = folder.path() / "june.csv";
    const fs::path output = folder.path() / "june-output.csv";
    writeBytes(input, kGood);
    const gid_t group = row.otherGroup ? 4321 : getegid();
    if (row.earlier) {
      writeBytes(output, "earlier output");
      ASSERT_EQ(chmod(output.c_str(), row.mode), 0);
      ASSERT_EQ(chown(output.c_str(), static_cast<uid_t>(-1), group), 0);
    }
    const mode_t umaskBefore = umask(row.earlier ? 022 : row.mode);
    const RunOutcome outcome = runConversion(input);
    umask(umaskBefore);
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.closingText;
    struct stat status {};
    ASSERT_EQ(stat(output.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, row.expected);
    EXPECT_EQ(status.st_gid, group);
  }
}

// A folder the user may write to but not list (0733), and result names of nearly the longest legal
// length: the results are put in place there like anywhere else.
TEST(RunResults, ResultsGoInPlaceInAFolderThatCannotBeListedAndUnderLongNames) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to play a user who may not list the folder";
  for (const bool good : {true, false}) {
    for (const std::string& base : {std::string("june"), std::string(240, 'j')}) {
      SCOPED_TRACE(std::string(good ? "good, " : "with mistakes, ") + std::to_string(base.size()));
      ScratchFolder folder;
      fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_write | fs::perms::group_exec |
                                         fs::perms::others_write | fs::perms::others_exec);
      const fs::path input = folder.path() / (base + ".csv");
      writeBytes(input, good ? kGood : kBad);
      writeBytes(folder.path() / (base + "-output.csv"), "earlier output");
      ASSERT_EQ(chown((folder.path() / (base + "-output.csv")).c_str(), 65534, 65534), 0);
      const AsOtherUser ran = runAsNobody(input);
      ASSERT_TRUE(ran.became);
      const fs::path kept = folder.path() / (base + (good ? "-output.csv" : "-error.txt"));
      EXPECT_EQ(ran.status, good ? 0 : 1);
      EXPECT_EQ(ran.closingText, named(good ? message::kSuccess : message::kErrorsFound, kept));
      EXPECT_EQ(readBytes(kept), keptFor(good ? kGood : kBad));
      EXPECT_EQ(names(folder.path()),
                (std::vector<std::string>{kept.filename().string(), input.filename().string()}));
    }
  }
}

// Several runs of one call: a later run never replaces or removes a result that an earlier one put in place,
// whatever name reaches it (here a linked folder; on a file system that ignores case, June.csv and
// june.txt), and names both inputs.
TEST(RunResults, ARunNeverReplacesAResultOfTheSameCall) {
  for (const bool laterGood : {true, false}) {
    SCOPED_TRACE(laterGood);
    ScratchFolder folder;
    fs::create_directory(folder.path() / "real");
    fs::create_directory_symlink("real", folder.path() / "alias");
    const fs::path first = folder.path() / "real" / "june.csv";
    const fs::path later = folder.path() / "alias" / "june.txt";
    writeBytes(first, kGood);
    writeBytes(folder.path() / "real" / "june.txt", laterGood ? kGood : kBad);
    PlacedResults placed;
    EXPECT_EQ(runConversion(first, placed).exitStatus, 0);
    const RunOutcome outcome = runConversion(later, placed);
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_EQ(outcome.closingText, fillPaths(message::kSameResultNames, first.string(), later.string()));
    EXPECT_EQ(readBytes(folder.path() / "real" / "june-output.csv"), keptFor(kGood));
    EXPECT_EQ(names(folder.path() / "real"),
              (std::vector<std::string>{"june-output.csv", "june.csv", "june.txt"}));
    // A call of its own may replace it.
    EXPECT_EQ(runConversion(later).exitStatus, laterGood ? 0 : 1);
  }
}

}  // namespace
#endif
