// The line cutter: line ends by the rules, a NUL, and a stream read in blocks as the image in memory.
#include "app/read/line_cutter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/app/read/stream_image.h"

namespace {

std::vector<std::string> cut(const std::string& image, bool* sawNul = nullptr) {
  LineCutter cutter(image.data(), image.size());
  std::vector<std::string> lines;
  RawLine line{};
  while (cutter.next(line)) {
    lines.emplace_back(line.bytes, line.size);
    if (line.holdsNul) {
      if (sawNul != nullptr) *sawNul = true;
      EXPECT_FALSE(cutter.next(line)) << "a line holding a NUL is the last one";
      break;
    }
  }
  return lines;
}

TEST(LineCutter, LineEnds) {
  using Lines = std::vector<std::string>;
  const struct {
    std::string image;
    Lines lines;
  } rows[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF CR: one end, then an empty line
      {"a\r\r\nb", {"a", "", "b"}},
      {"\n\n", {"", ""}},
      {std::string("a\n\0", 3), {"a"}},  // a NUL as the last byte just ends the input
      {std::string("a\0", 2), {"a"}},
      {std::string("\0", 1), {}},
  };
  for (const auto& row : rows) {
    bool sawNul = false;
    EXPECT_EQ(cut(row.image, &sawNul), row.lines) << row.image;
    EXPECT_FALSE(sawNul) << row.image;
  }
}

TEST(LineCutter, ANulBeforeTheEndMarksItsLineAndEndsTheCutting) {
  const struct {
    std::string image;
    std::vector<std::string> lines;  // the last one holds the NUL
  } rows[] = {
      {std::string("a\nb\0c\nd\n", 8), {"a", "b"}},
      {std::string("a\n\0\n", 4), {"a", ""}},
      {std::string("\0x", 2), {""}},
      {std::string("a\0\0", 3), {"a"}},
  };
  for (const auto& row : rows) {
    bool sawNul = false;
    EXPECT_EQ(cut(row.image, &sawNul), row.lines);
    EXPECT_TRUE(sawNul);
  }
}

std::vector<std::string> cutStream(const std::string& image, std::size_t size, bool* readFailed) {
  StreamImage stream(image);
  LineCutter cutter(stream.bytes, size);
  std::vector<std::string> lines;
  RawLine line{};
  while (cutter.next(line)) {
    lines.emplace_back(line.bytes, line.size);
    if (line.holdsNul) break;
  }
  *readFailed = cutter.readFailed();
  return lines;
}

// Images that put line ends, a NUL and long lines where one block of the stream ends and the next starts.
// Lines by the rules, one byte at a time: CR LF, CR and LF end a line; a NUL ends the input, and its line
// is the last one unless the NUL is the image's last byte, which only ends it.
std::vector<std::string> linesByRule(const std::string& image) {
  std::size_t end = image.find('\0');
  const bool nulLine = end != std::string::npos && end + 1 < image.size();
  if (end == std::string::npos) end = image.size();
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < end; ++i) {
    if (image[i] != '\r' && image[i] != '\n') {
      line += image[i];
      continue;
    }
    lines.push_back(line);
    line.clear();
    if (image[i] == '\r' && i + 1 < end && image[i + 1] == '\n') ++i;
  }
  if (!line.empty() || nulLine) lines.push_back(line);
  return lines;
}

// Line ends anywhere in lines around the sixteen and eight bytes looked at a time.
TEST(LineCutter, LinesOfRandomImagesAreTheLinesByTheRules) {
  std::mt19937 random(20210604);
  const char rare[] = {'\r', '\n', '\r', '\n', ';', '\0'};
  for (int round = 0; round < 20000; ++round) {
    std::string image(random() % 120, 'a');
    for (char& b : image) {
      if (random() % 20 == 0) b = rare[random() % (sizeof rare - (round % 4 == 0 ? 0 : 1))];
    }
    ASSERT_EQ(cut(image), linesByRule(image)) << round;
  }
}

std::vector<std::string> imagesAcrossBlocks() {
  const std::string block(kReadBlock - 1, 'a');
  std::vector<std::string> images = {
      block + "\r\nb\r\n",                                     // CR LF split between two blocks
      block + "\rb\n",                                         // a lone CR as the last byte of a block
      block + "\r\r\nb",                                       // CR, then CR LF in the next block
      block + "\n" + block + "\n",                             // a line end as the last byte of each block
      std::string(3 * kReadBlock + 5, 'x') + "\r\nshort\r\n",  // a line longer than three blocks
      block + std::string("\0", 1),                            // a NUL as the very last byte
      block + std::string("a\0b\n", 4),                        // a NUL as the first byte of a block
      block + "a",
  };
  std::mt19937 random(7);
  const char alphabet[] = {'a', ';', '\r', '\n', '\r', '\n', '\0'};
  for (int round = 0; round < 6; ++round) {
    std::string image(kReadBlock * 2 + random() % 1000, 'a');
    for (char& b : image) {
      if (random() % 16 == 0) b = alphabet[random() % (sizeof alphabet - (round < 4 ? 1 : 0))];
    }
    images.push_back(image);
  }
  return images;
}

TEST(LineCutter, AStreamReadInBlocksGivesTheLinesOfTheImageInMemory) {
  for (const std::string& image : imagesAcrossBlocks()) {
    bool readFailed = true;
    ASSERT_EQ(cutStream(image, image.size(), &readFailed), cut(image)) << image.size();
    EXPECT_FALSE(readFailed);
  }
}

// A file that has shrunk since its first pass: the lines up to its new end, and a failure the run reports.
TEST(LineCutter, AStreamEndingBeforeItsSizeIsAReadFailure) {
  for (const std::string& image : {std::string("0;1\r\n1;1\r\n"), std::string(kReadBlock + 9, 'a') + "\n"}) {
    bool readFailed = false;
    EXPECT_EQ(cutStream(image, image.size() + 100, &readFailed), cut(image));
    EXPECT_TRUE(readFailed);
  }
}

}  // namespace
