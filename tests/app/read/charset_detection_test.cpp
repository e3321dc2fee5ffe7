// Charset detection against the byte table and iconv, and the first pass's summary built block by block.
#include "app/read/charset_detection.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "charset/charset.h"
#include "tests/app/latin2.h"

namespace {

// The detection rule byte by byte as the table gives it, a second way of computing the same answer.
bool utf8ByTable(const std::string& bytes) {
  int pending = 0;
  for (unsigned char b : bytes) {
    if (pending > 0) {
      if (b >= 0x80 && b <= 0xBF) {
        --pending;
      } else {
        return false;
      }
    } else if (b <= 0x7F) {
    } else if (b <= 0xBF) {
      return false;
    } else if (b <= 0xDF) {
      pending = 1;
    } else if (b <= 0xEF) {
      pending = 2;
    } else if (b <= 0xF7) {
      pending = 3;
    } else {
      return false;
    }
  }
  return true;
}

TEST(Detection, Utf8OrIso88592) {
  const struct {
    std::string bytes;
    bool utf8;
  } rows[] = {
      {"", true},
      {"0;1\r\n", true},
      {"\xEF\xBB\xBF"
       "0;1",
       true},
      {"K\xC3\xA9sz", true},               // é in UTF-8
      {"K\xE9sz", false},                  // é in ISO-8859-2 before an ASCII byte
      {"abc\xC3", true},                   // cut off by the end
      {"abc\xE9", true},                   // likewise
      {"\xC0\x80\xF5\x80\x80\x80", true},  // overlong forms and lead bytes up to 0xF7 are not looked at
      {"\xED\xA0\x80", true},              // an encoded surrogate
      {"a\x80", false},                    // a continuation byte with nothing to continue
      {"a\xF8", false},
      {"a\xFF", false},
      {"\xC3\xA9\xA9", false},              // one continuation too many
      {std::string("a\0\xE9x", 4), false},  // the whole file is looked at, also past a NUL
      // A sequence begun at the end of a block of 64 bytes and broken by a whole block of ASCII.
      {std::string(63, 'a') + "\xC3" + std::string(64, 'a'), false},
      {std::string(62, 'a') + "\xE2\x82" + std::string(64, 'a'), false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(looksLikeUtf8(row.bytes.data(), row.bytes.size()), row.utf8) << row.bytes;
    if (row.utf8) {
      EXPECT_STREQ(detectCharset(row.bytes.data(), row.bytes.size()), "UTF-8");
    } else {
      EXPECT_STRNE(detectCharset(row.bytes.data(), row.bytes.size()), "UTF-8") << row.bytes;
    }
  }
}

// A file that is not UTF-8 is Windows-1250 as soon as it holds a byte that ISO-8859-2 leaves to control
// codes and Windows-1250 to letters and punctuation.
TEST(Detection, Windows1250OnlyWhenABytePastAsciiIsAControlCodeInIso88592) {
  const struct {
    std::string bytes;
    const char* charset;
  } rows[] = {
      {"K\xE9sz", "ISO-8859-2"},
      {"\xE1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p", "ISO-8859-2"},  // only bytes 0xA0 to 0xFF
      {"a\x80", "windows-1250"},                                            // the euro sign
      {"\x84J\xFAliusi\x94 \x96 5 \x80", "windows-1250"},
      {"\x8A\x9A\x8D\x9D\x8E\x9E\x8F\x9F", "windows-1250"},
      {"a\x9F\xFF", "windows-1250"},
      {"\xC3\xA9\x84", "windows-1250"},  // a valid sequence, then a lone byte that rules out UTF-8
      {"\xC3\x84", "UTF-8"},             // 0x84 continuing a sequence
      {"\xFF\xA0\xBF", "ISO-8859-2"},
      // The UTF-8 byte-order mark decides, whatever bytes follow it; only at the start.
      {"\xEF\xBB\xBF"
       "0;1\r\nK\xE9sz \x84",
       "UTF-8"},
      {"\xEF\xBB\xBF\xFF", "UTF-8"},
      {"\xEF\xBB", "UTF-8"},              // a sequence cut by the end, as without a mark
      {"\xEF\xBBx\x84", "windows-1250"},  // two bytes of the mark are no mark
      {"a\xEF\xBB\xBF\x84", "windows-1250"},
  };
  for (const auto& row : rows) {
    EXPECT_STREQ(detectCharset(row.bytes.data(), row.bytes.size()), row.charset) << row.bytes;
  }
}

TEST(Detection, AgreesWithTheByteTableOnRandomBytes) {
  std::mt19937 random(20210601);
  const unsigned char alphabet[] = {'a',  0x00, 0x7F, 0x80, 0xBF, 0xC0, 0xC3,
                                    0xDF, 0xE0, 0xEF, 0xF0, 0xF7, 0xF8, 0xFF};
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 9, '\0');
    for (char& b : bytes) b = static_cast<char>(alphabet[random() % sizeof(alphabet)]);
    ASSERT_EQ(looksLikeUtf8(bytes.data(), bytes.size()), utf8ByTable(bytes));
  }
}

// The summary built block by block, split anywhere, equals the one of the whole image: UTF-8 sequences and
// the two bytes of a UTF-16 mark may be cut between blocks.
TEST(Detection, InputScanInBlocksAgreesWithTheWholeImage) {
  std::mt19937 random(20210602);
  const unsigned char alphabet[] = {'a', '"', 0x00, 0x84, 0xBF, 0xC3, 0xE0, 0xF0, 0xF8, 0xFE, 0xFF};
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(random() % 12, '\0');
    for (char& b : bytes) b = static_cast<char>(alphabet[random() % sizeof(alphabet)]);
    if (round % 5 == 0 && bytes.size() >= 2) bytes.replace(0, 2, round % 2 ? "\xFF\xFE" : "\xFE\xFF");
    if (round % 5 == 1 && bytes.size() >= 3) bytes.replace(0, 3, "\xEF\xBB\xBF");
    const std::size_t lastQuote = bytes.rfind('"');
    for (std::size_t split = 0; split <= bytes.size(); ++split) {
      InputScan scan;
      scan.add(bytes.data(), split);
      scan.add(bytes.data() + split, bytes.size() - split);
      const InputSummary summary = scan.summary();
      ASSERT_EQ(summary.size, bytes.size());
      ASSERT_STREQ(summary.charset, detectCharset(bytes.data(), bytes.size())) << round << " " << split;
      ASSERT_EQ(summary.quotesEnd, lastQuote == std::string::npos ? 0 : lastQuote + 1);
      ASSERT_EQ(summary.utf16Mark, bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0);
    }
  }
}

// Longer images, read sixty-four, sixteen and eight bytes at a time (the rare bytes now dense, now sparse, so
// that whole blocks of ASCII stand between them), split once anywhere: the charset by the byte rules
// (UTF-8 unless a byte breaks a sequence, a sequence cut by the end included; else Windows-1250 when a byte
// is in 0x80 to 0x9F) and the last quote, wherever the bytes that decide them fall.
TEST(Detection, InputScanOfLongImagesAgreesWithTheByteRules) {
  std::mt19937 random(20210603);
  const unsigned char rare[] = {'"', 0x80, 0x85, 0x9F, 0xA0, 0xBF, 0xC3, 0xE2, 0xF0, 0xF8, 0xFF};
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 300, 'a');
    const unsigned rarity = round % 2 == 0 ? 24 : 240;
    for (char& b : bytes) {
      if (random() % rarity == 0) b = static_cast<char>(rare[random() % std::size(rare)]);
    }
    // Now and then a whole UTF-8 sequence, which keeps the image UTF-8.
    if (round % 3 == 0) bytes.insert(random() % (bytes.size() + 1), "\xC5\x91");
    bool windows = false;
    for (unsigned char b : bytes) windows = windows || (b >= 0x80 && b <= 0x9F);
    const char* expected = utf8ByTable(bytes) ? "UTF-8" : windows ? "windows-1250" : "ISO-8859-2";
    const std::size_t split = random() % (bytes.size() + 1);
    InputScan scan;
    scan.add(bytes.data(), split);
    scan.add(bytes.data() + split, bytes.size() - split);
    const InputSummary summary = scan.summary();
    const std::size_t lastQuote = bytes.rfind('"');
    ASSERT_STREQ(summary.charset, expected) << round;
    ASSERT_EQ(summary.quotesEnd, lastQuote == std::string::npos ? 0 : lastQuote + 1) << round;
  }
}

#ifdef ZELVORA_HAVE_ICONV
// Whether the system's iconv takes the bytes as UTF-8: an oracle nobody here wrote.
bool iconvTakesUtf8(iconv_t decoder, const std::string& bytes) {
  iconv(decoder, nullptr, nullptr, nullptr, nullptr);
  char out[64];
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out;
  std::size_t outLeft = sizeof out;
  return iconv(decoder, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
}
#endif

// Every lead byte with every second byte, and the third and fourth from each range that matters, alone and
// after eight ASCII bytes (which are passed over a word at a time): the same answers as iconv's.
TEST(WellFormedUtf8, AgreesWithIconv) {
#ifndef ZELVORA_HAVE_ICONV
  GTEST_SKIP() << "no iconv here to compare with";
#else
  const iconv_t decoder = iconv_open("UTF-16LE", "UTF-8");
  ASSERT_NE(decoder, reinterpret_cast<iconv_t>(-1));
  const unsigned char tails[] = {0x41, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0};
  std::size_t wellFormed = 0;
  for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
    for (unsigned second = 0; second <= 0xFF; ++second) {
      for (std::size_t length = 2; length <= 4; ++length) {
        for (unsigned third : tails) {
          for (unsigned fourth : tails) {
            std::string bytes{static_cast<char>(lead), static_cast<char>(second)};
            if (length >= 3) bytes += static_cast<char>(third);
            if (length == 4) bytes += static_cast<char>(fourth);
            const bool expected = iconvTakesUtf8(decoder, bytes);
            wellFormed += expected;
            ASSERT_EQ(isWellFormedUtf8(bytes.data(), bytes.size()), expected)
                << std::hex << lead << " " << second;
            const std::string after = "abcdefgh" + bytes;
            ASSERT_EQ(isWellFormedUtf8(after.data(), after.size()), expected) << std::hex << lead;
            if (length == 2) break;
          }
          if (length == 2) break;
        }
      }
    }
  }
  iconv_close(decoder);
  EXPECT_GT(wellFormed, 1000u);
#endif
}

}  // namespace
