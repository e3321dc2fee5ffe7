// Test helper: runs the conversion on bytes in a scratch folder and collects what the run left behind.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "app/run.h"

// Read through the stream buffer in bulk: some kept files are 50 MB, and /proc files report no size.
inline std::string readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  if (in) bytes << in.rdbuf();
  return bytes.str();
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder per test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    // A random part too: the same test may run at the same time from another build tree on this machine.
    path_ = std::filesystem::temp_directory_path() /
            ("zelvora-" + std::string(test->test_suite_name()) + "-" + test->name() + "-" +
             std::to_string(counter()++) + "-" + std::to_string(std::random_device()()));
    // A folder left by an earlier run may hold paths too long for this platform to delete: reuse it then.
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  static int& counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path path_;
};

struct Converted {
  RunOutcome outcome;
  std::filesystem::path outputPath;
  std::filesystem::path errorPath;
  bool outputExists = false;
  bool errorExists = false;
  std::string kept;  // the bytes of the one file left, empty when none is
};

// Converts `input` (given relative to `folder`) after writing `bytes` into it; checks that the input is
// unchanged and that at most one of the two files is left.
inline Converted convertFile(const std::filesystem::path& input) {
  const std::string before = readBytes(input);
  Converted result;
  result.outcome = runConversion(input);
  const std::string name = input.filename().string();
  const std::size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  result.outputPath = input.parent_path() / (base + "-output.csv");
  result.errorPath = input.parent_path() / (base + "-error.txt");
  result.outputExists = std::filesystem::is_regular_file(result.outputPath);
  result.errorExists = std::filesystem::is_regular_file(result.errorPath);
  EXPECT_FALSE(result.outputExists && result.errorExists) << "both files were left";
  if (result.outputExists) result.kept = readBytes(result.outputPath);
  if (result.errorExists) result.kept = readBytes(result.errorPath);
  EXPECT_EQ(readBytes(input), before) << "the input was changed";
  return result;
}

inline Converted convertBytes(const ScratchFolder& folder, const std::string& bytes,
                              const std::string& name = "june.csv") {
  const std::filesystem::path input = folder.path() / name;
  writeBytes(input, bytes);
  return convertFile(input);
}

// A run that kept the output file (`success`) or the error report, with `expected` as its bytes, and
// the exit status and icon that go with it. Large files are compared by hand so a failure prints an
// excerpt, not megabytes.
inline void expectOnlyKept(const Converted& result, bool success, const std::string& expected) {
  EXPECT_EQ(result.outcome.exitStatus, success ? 0 : 1);
  EXPECT_EQ(result.outcome.icon, success ? RunIcon::Information : RunIcon::Error);
  EXPECT_EQ(result.outputExists, success);
  EXPECT_EQ(result.errorExists, !success);
  if (expected.size() <= 4096 && result.kept.size() <= 4096) {
    EXPECT_EQ(result.kept, expected);
  } else {
    EXPECT_TRUE(result.kept == expected) << "kept " << result.kept.size() << " bytes, expected "
                                         << expected.size() << ": " << result.kept.substr(0, 300);
  }
}
