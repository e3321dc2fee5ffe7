// ResultFile and putInPlace on Windows: read-only and open earlier results, names that differ in case, the
// folder's lock held by another run, the security of a replaced result, and a removal that fails.
#include "app/write/result_file.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <sddl.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
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

// The folder's lock as another run holds it.
HANDLE holdLock(const fs::path& folder) {
  const fs::path lockName = folder / ".zelvora.lock";
  return CreateFileW(lockName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

// A run that holds the folder's lock and does not let go: given up, nothing changed. The waiting is said
// once and its end once, so that the window that says it closes.
TEST(ResultFile, AStuckLockIsGivenUp) {
  ScratchFolder folder;
  writeBytes(folder.path() / "june.csv", kGood);
  const HANDLE lock = holdLock(folder.path());
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  int notices = 0;
  int ends = 0;
  setLockWaiting(
      {std::chrono::milliseconds(20), std::chrono::milliseconds(300), [&] { ++notices; }, [&] { ++ends; }});
  const RunOutcome outcome = runConversion(folder.path() / "june.csv");
  setLockWaiting({});
  CloseHandle(lock);
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_NE(outcome.closingText.find("could not be written"), std::string::npos) << outcome.closingText;
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(contents(folder.path()), (Contents{{"june.csv", kGood}}));
}

// The other run lets go while this one waits: the wait ends when the lock is taken, before the result
// is put in place, and the run goes through.
TEST(ResultFile, AWaitEndsWhenTheLockIsTaken) {
  ScratchFolder folder;
  writeBytes(folder.path() / "june.csv", kGood);
  const HANDLE lock = holdLock(folder.path());
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  int notices = 0;
  int ends = 0;
  bool placedBeforeEnd = false;
  setLockWaiting({std::chrono::milliseconds(20), std::chrono::milliseconds(20000), [&] { ++notices; },
                  [&] {
                    ++ends;
                    placedBeforeEnd = fs::exists(folder.path() / "june-output.csv");
                  }});
  std::thread holder([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    CloseHandle(lock);
  });
  const RunOutcome outcome = runConversion(folder.path() / "june.csv");
  holder.join();
  setLockWaiting({});
  EXPECT_EQ(outcome.exitStatus, 0) << outcome.closingText;
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(placedBeforeEnd);
  EXPECT_EQ(contents(folder.path()).size(), 2u);
}

// A file's owner, group and access list as text, read back through the file's name.
std::string securityOf(const fs::path& path) {
  constexpr SECURITY_INFORMATION kAll =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  GetFileSecurityW(path.c_str(), kAll, nullptr, 0, &size);
  std::string descriptor(size, '\0');
  if (size == 0 || !GetFileSecurityW(path.c_str(), kAll, descriptor.data(), size, &size)) return "unreadable";
  wchar_t* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1, kAll, &text,
                                                            nullptr)) {
    return "unconvertible";
  }
  std::string narrow;
  for (const wchar_t* unit = text; *unit != L'\0'; ++unit) narrow += static_cast<char>(*unit);
  LocalFree(text);
  return narrow;
}

// The user the tests run as, as a SID string.
std::wstring userSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"";
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  std::wstring sid;
  wchar_t* text = nullptr;
  if (size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    sid = text;
    LocalFree(text);
  }
  CloseHandle(token);
  return sid;
}

// `sddl` with "%U" standing for the user.
bool setAccess(const fs::path& path, std::wstring sddl) {
  for (std::size_t at; (at = sddl.find(L"%U")) != std::wstring::npos;) sddl.replace(at, 2, userSid());
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                            nullptr))
    return false;
  const bool set = SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor) != 0;
  LocalFree(descriptor);
  return set;
}

// A result that replaces an earlier file keeps that file's security, as POSIX keeps its mode; a result
// under a new name gets what any new file in the folder gets, never the security of the other name. The
// expectations are read back from the files themselves: the earlier one as set, a fresh one as made.
TEST(ResultFile, AResultKeepsTheSecurityOfTheFileItReplaces) {
  // Access lists that differ from a new file's: only the user and the system; everyone may change.
  const wchar_t* kPrivate = L"D:P(A;;FA;;;%U)(A;;FA;;;SY)";
  const wchar_t* kOpen = L"D:P(A;;FA;;;WD)";
  const struct {
    const char* what;
    const wchar_t* kept;   // the earlier file at the name the run keeps, null for none
    const wchar_t* other;  // the earlier file at the other name, null for none
    bool good;
  } rows[] = {
      {"private output replaced", kPrivate, nullptr, true},
      {"open report replaced, the output removed", kOpen, kPrivate, false},
      {"private output replaced, the report removed", kPrivate, kOpen, true},
      {"new output, a private report removed", nullptr, kPrivate, true},
      {"new report", nullptr, nullptr, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ScratchFolder folder;
    const fs::path input = folder.path() / "june.csv";
    writeBytes(input, row.good ? kGood : kBad);
    const fs::path kept = folder.path() / (row.good ? "june-output.csv" : "june-error.txt");
    const fs::path other = folder.path() / (row.good ? "june-error.txt" : "june-output.csv");
    writeBytes(folder.path() / "fresh.txt", "");
    const std::string fresh = securityOf(folder.path() / "fresh.txt");
    fs::remove(folder.path() / "fresh.txt");
    std::string expected = fresh;
    if (row.kept != nullptr) {
      writeBytes(kept, "earlier kept");
      ASSERT_TRUE(setAccess(kept, row.kept));
      expected = securityOf(kept);
      ASSERT_NE(expected, fresh) << "the earlier file's access list did not take";
    }
    if (row.other != nullptr) {
      writeBytes(other, "earlier other");
      ASSERT_TRUE(setAccess(other, row.other));
      if (row.kept == nullptr) {
        ASSERT_NE(securityOf(other), fresh);
      }
    }
    const RunOutcome outcome = runConversion(input);
    EXPECT_EQ(outcome.exitStatus, row.good ? 0 : 1) << outcome.closingText;
    EXPECT_EQ(securityOf(kept), expected);
    EXPECT_EQ(contents(folder.path()).size(), 2u);
  }
}

// The other name cannot be removed although its checks passed (another program opened it meanwhile):
// the new result is taken away again and the earlier one stands under its name as before, and the text
// names the file in the way. Until then each name held its earlier file or the whole new result.
TEST(ResultFile, ARemovalThatFailsPutsTheEarlierResultBack) {
  const struct {
    const char* what;
    bool good;
    bool keptStood;
  } rows[] = {
      {"good run, both names stood", true, true},
      {"run with mistakes, both names stood", false, true},
      {"good run, only the report stood", true, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ScratchFolder folder;
    const fs::path input = folder.path() / "june.csv";
    const std::string declaration = row.good ? kGood : kBad;
    writeBytes(input, declaration);
    const std::string keptName = row.good ? "june-output.csv" : "june-error.txt";
    const std::string otherName = row.good ? "june-error.txt" : "june-output.csv";
    if (row.keptStood) writeBytes(folder.path() / keptName, "earlier kept");
    writeBytes(folder.path() / otherName, "earlier other");
    const Contents before = contents(folder.path());
    std::string newResult;
    {
      ScratchFolder elsewhere;
      writeBytes(elsewhere.path() / "june.csv", declaration);
      runConversion(elsewhere.path() / "june.csv");
      newResult = readBytes(elsewhere.path() / keptName);
    }
    ASSERT_FALSE(newResult.empty());

    HANDLE opened = INVALID_HANDLE_VALUE;
    Contents whenPlaced;
    setPlacingStepHook([&](PlacingStep step) {
      if (step != PlacingStep::KeptPlaced) return;
      whenPlaced = contents(folder.path());
      const fs::path other = folder.path() / otherName;
      opened = CreateFileW(other.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    });
    const RunOutcome outcome = runConversion(input);
    setPlacingStepHook({});
    ASSERT_NE(opened, INVALID_HANDLE_VALUE);
    CloseHandle(opened);

    // What a run killed at that moment would have left: the new result whole, the other name as before,
    // and the earlier result under a hidden name where it stood.
    Contents placedExpected = {
        {"june.csv", declaration}, {keptName, newResult}, {otherName, "earlier other"}};
    std::sort(placedExpected.begin(), placedExpected.end());
    Contents visible;
    Contents hidden;
    for (const auto& entry : whenPlaced) {
      if (entry.first == ".zelvora.lock") continue;  // the run's own, held at that moment
      (isTemporaryName(entry.first) ? hidden : visible).push_back(entry);
    }
    EXPECT_EQ(visible, placedExpected);
    // Beside the earlier result, the hidden file of the result not kept.
    const auto asides = std::count_if(hidden.begin(), hidden.end(),
                                      [](const auto& entry) { return entry.second == "earlier kept"; });
    EXPECT_EQ(asides, row.keptStood ? 1 : 0);

    EXPECT_EQ(outcome.exitStatus, 1);
    char* shown = encodeText(pathText(folder.path() / otherName), "ISO-8859-2");
    EXPECT_EQ(outcome.closingText, fillPath(message::kInUse, shown));
    delete[] shown;
    EXPECT_EQ(contents(folder.path()), before);
  }
}

}  // namespace
#endif
