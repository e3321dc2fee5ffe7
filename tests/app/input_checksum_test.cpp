// InputChecksum: the same bytes give the same value in any pieces; the changes a rewrite makes do not.
#include "app/input_checksum.h"

#include <gtest/gtest.h>

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

TEST(InputChecksum, EveryKindOfRewriteChangesTheValue) {
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
  // The same high bit flipped in two words of one lane, which a lane without rotation would not notice;
  // words and bytes swapped; a byte cut off or added; the same bytes shifted by one.
  std::string twoHighBits = bytes;
  twoHighBits[7] = static_cast<char>(twoHighBits[7] ^ 0x80);
  twoHighBits[39] = static_cast<char>(twoHighBits[39] ^ 0x80);
  std::string swappedWords = bytes;
  std::swap_ranges(swappedWords.begin(), swappedWords.begin() + 8, swappedWords.begin() + 32);
  std::string swappedBytes = bytes;
  std::swap(swappedBytes[100], swappedBytes[101]);
  for (const std::string& changed : {twoHighBits, swappedWords, swappedBytes, bytes.substr(1),
                                     bytes.substr(0, bytes.size() - 1), bytes + '\0', '\0' + bytes}) {
    EXPECT_NE(checksumOf(changed), original);
  }
}

}  // namespace
