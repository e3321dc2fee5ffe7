// InputChecksum: the same bytes give the same value in any pieces; the changes a rewrite makes do not; its
// streams are CRC-32C by the instruction and by the table alike.
#include "app/read/input_checksum.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <utility>

namespace {

std::uint64_t checksumOf(const std::string& bytes) {
  InputChecksum checksum;
  checksum.add(bytes.data(), bytes.size());
  return checksum.value();
}

std::string randomBytes(std::size_t size, std::mt19937& random) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

// CRC-32C a bit at a time, straight from the polynomial.
std::uint32_t bitwiseCrc32c(const std::string& bytes) {
  std::uint32_t crc = ~0u;
  for (const char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0x82F63B78u & (0u - (crc & 1)));
  }
  return ~crc;
}

// Runs the checks once with the processor's instruction, where there is one, and once with the table.
class InputChecksumEachWay : public ::testing::Test {
 protected:
  template <typename Check>
  void eachWay(Check check) {
    const bool instruction = InputChecksum::usesInstruction();
    for (const bool uses : {true, false}) {
      if (uses && !instruction) continue;
      SCOPED_TRACE(uses ? "instruction" : "table");
      InputChecksum::usesInstruction() = uses;
      check();
    }
    InputChecksum::usesInstruction() = instruction;
  }
};

TEST(InputChecksum, TheOracleIsCrc32c) {
  EXPECT_EQ(bitwiseCrc32c("123456789"), 0xE3069283u);
}

TEST_F(InputChecksumEachWay, EachStreamIsTheCrc32cOfEveryThirdWord) {
  std::mt19937 random(5);
  eachWay([&] {
    for (const std::size_t size : {0u, 1u, 8u, 23u, 24u, 25u, 47u, 48u, 1000u, 65537u}) {
      SCOPED_TRACE(size);
      std::string bytes = randomBytes(size, random);
      InputChecksum checksum;
      checksum.add(bytes.data(), bytes.size());
      // The last stripe is filled up with zeros.
      bytes.resize((size + 23) / 24 * 24, '\0');
      std::array<std::string, 3> streams;
      for (std::size_t at = 0; at < bytes.size(); at += 8) streams[at / 8 % 3] += bytes.substr(at, 8);
      EXPECT_EQ(checksum.streamValues(),
                (std::array<std::uint32_t, 3>{bitwiseCrc32c(streams[0]), bitwiseCrc32c(streams[1]),
                                              bitwiseCrc32c(streams[2])}));
    }
  });
}

TEST(InputChecksum, PiecesOfAnySizeGiveTheValueOfTheWhole) {
  std::mt19937 random(7);
  for (const std::size_t size : {0u, 1u, 31u, 32u, 33u, 1000u, 100000u}) {
    SCOPED_TRACE(size);
    const std::string bytes = randomBytes(size, random);
    for (int round = 0; round < 20; ++round) {
      InputChecksum pieces;
      for (std::size_t at = 0; at < size;) {
        const std::size_t piece = std::min<std::size_t>(size - at, random() % 70);
        pieces.add(bytes.data() + at, piece);
        at += piece;
      }
      EXPECT_EQ(pieces.value(), checksumOf(bytes));
    }
  }
}

// Up to four bytes in a row fall into one or two streams, which each catch them for certain; the value
// keeps any two streams apart. Every place across three stripes, each run length, many changes of it.
TEST(InputChecksum, EveryChangeOfUpToFourBytesInARowChangesTheValue) {
  std::mt19937 random(13);
  const std::string bytes = randomBytes(24 * 5, random);
  const std::uint64_t original = checksumOf(bytes);
  for (std::size_t length = 1; length <= 4; ++length) {
    for (std::size_t at = 24; at + length <= 24 * 4; ++at) {
      for (int round = 0; round < 64; ++round) {
        std::string changed = bytes;
        for (std::size_t k = 0; k < length; ++k) changed[at + k] = static_cast<char>(random() & 0xFF);
        if (changed == bytes) continue;
        EXPECT_NE(checksumOf(changed), original) << at << " " << length;
      }
    }
  }
}

TEST_F(InputChecksumEachWay, EveryKindOfRewriteChangesTheValue) {
  eachWay([&] {
    std::mt19937 random(11);
    const std::string bytes = randomBytes(4096, random);
    const std::uint64_t original = checksumOf(bytes);
    for (std::size_t at = 0; at < bytes.size(); at += 7) {
      for (const unsigned char flip : {0x01, 0x80, 0xFF}) {
        std::string changed = bytes;
        changed[at] = static_cast<char>(changed[at] ^ flip);
        EXPECT_NE(checksumOf(changed), original) << at << " " << int(flip);
      }
    }
    // The same high bit flipped in two words of one stream, which a plain sum would not notice;
    // four bytes across two streams; words and bytes swapped; a byte cut off or added; the same bytes
    // shifted by one.
    std::string twoHighBits = bytes;
    twoHighBits[7] = static_cast<char>(twoHighBits[7] ^ 0x80);
    twoHighBits[31] = static_cast<char>(twoHighBits[31] ^ 0x80);
    std::string acrossStreams = bytes;
    for (std::size_t at = 22; at < 26; ++at) acrossStreams[at] = static_cast<char>(acrossStreams[at] ^ 0x5A);
    std::string swappedWords = bytes;
    std::swap_ranges(swappedWords.begin(), swappedWords.begin() + 8, swappedWords.begin() + 32);
    std::string swappedBytes = bytes;
    std::swap(swappedBytes[100], swappedBytes[101]);
    for (const std::string& changed :
         {twoHighBits, acrossStreams, swappedWords, swappedBytes, bytes.substr(1),
          bytes.substr(0, bytes.size() - 1), bytes + '\0', '\0' + bytes}) {
      EXPECT_NE(checksumOf(changed), original);
    }
  });
}

}  // namespace
