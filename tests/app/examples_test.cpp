// The bundled examples convert to the reviewed files in tests/app/expected.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "run_support.h"

namespace {

std::filesystem::path sourceDir() {
  const char* dir = std::getenv("ZELVORA_SOURCE_DIR");
  return dir != nullptr ? std::filesystem::path(dir) : std::filesystem::path("../..");
}

TEST(Examples, ConvertToTheReviewedFiles) {
  const struct {
    const char* example;
    const char* kept;
    int exitStatus;
  } rows[] = {
      {"arrivals-2010-utf8.csv", "arrivals-2010-utf8-output.csv", 0},
      {"dispatches-2012-latin2.csv", "dispatches-2012-latin2-output.csv", 0},
      {"dispatches-2012-libreoffice-comma.csv", "dispatches-2012-libreoffice-comma-output.csv", 0},
      {"mistakes-2010.csv", "mistakes-2010-error.txt", 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.example);
    ScratchFolder folder;
    const std::filesystem::path input = folder.path() / row.example;
    std::filesystem::copy_file(sourceDir() / "examples" / row.example, input);
    const Converted result = convertFile(input);
    EXPECT_EQ(result.outcome.exitStatus, row.exitStatus);
    const std::string expected = readBytes(sourceDir() / "tests" / "app" / "expected" / row.kept);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(result.kept, expected);
  }
}

}  // namespace
