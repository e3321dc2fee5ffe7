// readInput: the input as it was when opened; another program truncating, appending to or rewriting it
// during the read is noticed, a pipe is read to its end.
#include "app/input_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/platform/platform.h"
#include "app/run.h"
#include "run_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kDeclaration = "0;1\r\n2012;12345678;12345678;2021;3\r\n1;1\r\n1;1;1;AT;CN;1,5\r\n";

// Opens the file, lets `meanwhile` change it by its name, then reads it through the handle opened first.
ReadResult readWhile(const fs::path& path, const std::function<void()>& meanwhile, std::string& image) {
  std::FILE* file = openFile(path, FileMode::ReadBytes);
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return ReadResult::ReadError;
  InputState opened;
  EXPECT_TRUE(inputState(file, opened));
  EXPECT_TRUE(opened.sized);
  meanwhile();
  const ReadResult result = readInput(file, opened, image);
  std::fclose(file);
  return result;
}

TEST(InputFile, AnUntouchedFileIsReadWhole) {
  ScratchFolder folder;
  const fs::path input = folder.path() / "june.csv";
  for (const std::string& bytes : {std::string(), kDeclaration, std::string(3 << 20, 'x')}) {
    writeBytes(input, bytes);
    std::string image = "old";
    EXPECT_EQ(readWhile(
                  input, [] {}, image),
              ReadResult::Ok);
    EXPECT_TRUE(image == bytes) << image.size() << " bytes read of " << bytes.size();
  }
}

// The cut quantity of the last line ("1,5" read as "1") and lost rows both come from here.
TEST(InputFile, AChangeDuringTheReadIsNoticed) {
  ScratchFolder folder;
  const fs::path input = folder.path() / "june.csv";
  const struct {
    const char* change;
    std::function<void()> meanwhile;
  } rows[] = {
      {"truncated inside the last quantity", [&] { fs::resize_file(input, kDeclaration.size() - 4); }},
      {"truncated to nothing", [&] { fs::resize_file(input, 0); }},
      {"appended to", [&] { writeBytes(input, kDeclaration + "2;2;1;AT;CN;7\r\n"); }},
      {"rewritten in place, same size",
       [&] {
         std::string other = kDeclaration;
         other[other.size() - 5] = '9';
         writeBytes(input, other);
         fs::last_write_time(input, fs::last_write_time(input) + std::chrono::seconds(5));
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.change);
    writeBytes(input, kDeclaration);
    std::string image;
#ifdef _WIN32
    // No other program may write to an input open for reading: every change is refused.
    const auto refused = [&] {
      try {
        row.meanwhile();
      } catch (const fs::filesystem_error&) {
      }
    };
    EXPECT_EQ(readWhile(input, refused, image), ReadResult::Ok);
    EXPECT_EQ(readBytes(input), kDeclaration);
#else
    EXPECT_EQ(readWhile(input, row.meanwhile, image), ReadResult::Changed);
#endif
  }
}

// One byte of the file rewritten in place, its size and modification time left as they were, as a
// program writing through a shared mapping leaves them.
void rewriteInPlace(const fs::path& input, std::size_t position, char byte) {
  const auto modified = fs::last_write_time(input);
  {
    std::fstream file(input, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(position));
    file.put(byte);
  }
  fs::last_write_time(input, modified);
}

// The run reads a file with a size twice: a change between the two reads gives no result, and files of
// earlier runs stay as they were; its two reads are compared byte for byte, also where its lines stopped
// early. On Windows no other program may write to the input while the run reads it.
TEST(InputFile, AChangeBetweenTheRunsTwoReadsIsNoticed) {
  const std::string lines = "1;1;1;AT;CN;1,5\r\n";
  const struct {
    const char* change;
    std::function<void(const fs::path&, const std::string&)> meanwhile;
    bool stopsEarly = false;  // the first line is wrong, so the lines are read no further
  } rows[] = {
      {"truncated inside the last quantity",
       [](const fs::path& input, const std::string& bytes) { fs::resize_file(input, bytes.size() - 4); }},
      {"truncated to nothing", [](const fs::path& input, const std::string&) { fs::resize_file(input, 0); }},
      {"appended to", [](const fs::path& input,
                         const std::string& bytes) { writeBytes(input, bytes + "2;2;1;AT;CN;7\r\n"); }},
      {"rewritten in place, same size",
       [](const fs::path& input, const std::string& bytes) {
         std::string other = bytes;
         other[other.size() - 5] = '9';
         writeBytes(input, other);
         fs::last_write_time(input, fs::last_write_time(input) + std::chrono::seconds(5));
       }},
      {"one byte rewritten, size and time kept",
       [](const fs::path& input, const std::string& bytes) { rewriteInPlace(input, bytes.size() / 2, '9'); }},
      {"the first byte rewritten, size and time kept",
       [](const fs::path& input, const std::string&) { rewriteInPlace(input, 0, '1'); }},
      {"a byte after where the lines stop rewritten, size and time kept",
       [](const fs::path& input, const std::string& bytes) { rewriteInPlace(input, bytes.size() - 5, '9'); },
       true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.change);
    ScratchFolder folder;
    const fs::path input = folder.path() / "june.csv";
    std::string bytes = row.stopsEarly ? "1;1\r\n" + kDeclaration : kDeclaration;
    for (int i = 0; i < 20000; ++i) bytes += lines;  // larger than one block of the read
    writeBytes(input, bytes);
    writeBytes(folder.path() / "june-output.csv", "earlier result");
    setBetweenInputReadsHook([&] {
      try {
        row.meanwhile(input, bytes);
      } catch (const fs::filesystem_error&) {
        // Refused: the input is open to no writer.
      }
    });
    const RunOutcome outcome = runConversion(input);
    setBetweenInputReadsHook(nullptr);
    std::size_t entries = 0;
    for (auto it = fs::directory_iterator(folder.path()); it != fs::directory_iterator(); ++it) ++entries;
    EXPECT_EQ(entries, 2u);
#ifdef _WIN32
    EXPECT_TRUE(readBytes(input) == bytes) << "another program wrote to the input during the run";
    EXPECT_EQ(outcome.exitStatus, row.stopsEarly ? 1 : 0) << outcome.closingText;
#else
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_NE(outcome.closingText.find("The file cannot be read"), std::string::npos) << outcome.closingText;
    EXPECT_EQ(readBytes(folder.path() / "june-output.csv"), "earlier result");
#endif
  }
}

#ifndef _WIN32
TEST(InputFile, AFifoIsReadToItsEnd) {
  ScratchFolder folder;
  const fs::path fifo = folder.path() / "june.csv";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const pid_t writer = fork();
  ASSERT_NE(writer, -1);
  if (writer == 0) {
    std::FILE* out = std::fopen(fifo.c_str(), "wb");
    std::fwrite(kDeclaration.data(), 1, kDeclaration.size(), out);
    std::fclose(out);
    _exit(0);
  }
  std::FILE* in = openFile(fifo, FileMode::ReadBytes);
  ASSERT_NE(in, nullptr);
  InputState opened;
  ASSERT_TRUE(inputState(in, opened));
  EXPECT_FALSE(opened.sized);
  std::string image;
  EXPECT_EQ(readInput(in, opened, image), ReadResult::Ok);
  std::fclose(in);
  EXPECT_EQ(image, kDeclaration);
  int status = 0;
  waitpid(writer, &status, 0);
}
#endif

}  // namespace
