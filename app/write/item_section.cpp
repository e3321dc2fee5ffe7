// The item section: rows gathered in a buffer, numbers written a word at a time.
#include "app/write/item_section.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/platform/platform.h"
#include "charset/charset.h"

namespace {

void append(std::string& out, const UString& text) {
  // ISO-8859-2 writes units below 0x80 as themselves: such texts, nearly all keys, need no charset lookup.
  const char16_t* units = text.units();
  const uint32_t length = text.length();
  char16_t high = 0;
  for (uint32_t i = 0; i < length; ++i) high |= units[i];
  if (high < 0x80) {
    // Like the encoded bytes appended below, up to a first zero.
    for (uint32_t i = 0; i < length && units[i] != 0; ++i) out += static_cast<char>(units[i]);
    return;
  }
  out += encodedString(text, "ISO-8859-2");
}

// The most bytes a total takes: a sign, 16 digits, the point and three decimals.
constexpr std::size_t kTotalBytes = 21;
// What a key part may write past its end: the rest of a word.
constexpr std::size_t kOverwrite = 7;

// "00" to "99", for writing numbers two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes `value` with at least `minDigits` digits (leading zeros) at `at`; returns the end. The digits are
// counted first and written from the last, straight where they go.
char* putDigits(char* at, uint64_t value, int minDigits) {
  int count = 1;
  for (uint64_t bound = 10; count < 20 && value >= bound; bound *= 10) ++count;
  if (count < minDigits) count = minDigits;
  char* const end = at + count;
  char* first = end;
  while (value >= 100) {
    first -= 2;
    std::memcpy(first, kDigitPairs + value % 100 * 2, 2);
    value /= 100;
  }
  if (value >= 10) {
    first -= 2;
    std::memcpy(first, kDigitPairs + value * 2, 2);
  } else {
    *--first = static_cast<char>('0' + value);
  }
  while (first > at) *--first = '0';
  return end;
}

// What the number of decimal digits of a value below 2^32 adds to it, by the value's bit length: the
// digits of the smallest value of that length in the high half, and in the low half 2^32 less the power of
// ten at which one more digit begins, when that power has the same bit length (so that the sum carries
// into the high half from that power on).
struct DigitSteps {
  uint64_t steps[33];
  constexpr DigitSteps() : steps() {
    for (int bits = 1; bits <= 32; ++bits) {
      const uint64_t smallest = uint64_t{1} << (bits - 1);
      uint64_t digits = 1;
      uint64_t power = 10;
      for (; power <= smallest; power *= 10) ++digits;
      const uint64_t carry = power < uint64_t{1} << bits ? (uint64_t{1} << 32) - power : 0;
      steps[bits] = digits << 32 | carry;
    }
  }
};
constexpr DigitSteps kDigitSteps;

// The number of decimal digits of `value`: one addition, with no loop or branch whose exit would be
// guessed wrong as the lengths vary from row to row.
int digitCount(uint32_t value) {
  return static_cast<int>((value + kDigitSteps.steps[std::bit_width(value | 1)]) >> 32);
}

// "0000" to "9999" as four ASCII bytes each, the first digit in the lowest byte.
struct DigitQuads {
  uint32_t quads[10000];
  constexpr DigitQuads() : quads() {
    for (uint32_t value = 0; value < 10000; ++value) {
      quads[value] = (0x30 + value / 1000) | (0x30 + value / 100 % 10) << 8 | (0x30 + value / 10 % 10) << 16 |
                     (0x30 + value % 10) << 24;
    }
  }
};
constexpr DigitQuads kDigitQuads;

// The digits of `value`, below 10^8, as eight ASCII bytes with leading zeros, the first digit in the
// lowest byte: two lookups of four digits.
uint64_t eightDigits(uint32_t value) {
  return kDigitQuads.quads[value / 10000] | static_cast<uint64_t>(kDigitQuads.quads[value % 10000]) << 32;
}

// Writes `value`, below 10^8, with at least `minDigits` digits (at most 8) at `at`, as eight bytes of which
// those past the end are to be overwritten; returns the end. Inlined, as every word helper of a row: a call
// costs as much as the work.
[[gnu::always_inline]] inline char* putEightDigits(char* at, uint32_t value, int minDigits) {
  const int digits = std::max(digitCount(value), minDigits);
  const uint64_t word = eightDigits(value) >> 8 * (8 - digits);
  std::memcpy(at, &word, sizeof word);
  return at + digits;
}

// Writes `value` as putDigits does, through eightDigits where the bytes of a word are in memory order.
[[gnu::always_inline]] inline char* putNumber(char* at, uint64_t value, int minDigits) {
  if (std::endian::native == std::endian::little && value < 100000000) {
    return putEightDigits(at, static_cast<uint32_t>(value), minDigits);
  }
  return putDigits(at, value, minDigits);
}

// Writes a total as formatTotal does at `at`, in at most kTotalBytes; returns the end.
char* putTotal(char* at, int64_t thousandths) {
  if (thousandths == 0) return at;
  // Whole units from 1 upward, nearly every total.
  if (thousandths >= 1000) return putNumber(at, static_cast<uint64_t>(thousandths) / 1000, 1);
  const bool negative = thousandths < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(thousandths) : static_cast<uint64_t>(thousandths);
  if (negative) *at++ = '-';
  // Below 1, and every negative total, with the sign and three decimals, in integer arithmetic so that the
  // decimals are exact where a double could not hold the value.
  at = putDigits(at, magnitude / 1000, 1);
  *at++ = '.';
  return putDigits(at, magnitude % 1000, 3);
}

// Rows gathered in a buffer and written out in pieces, so a table of any size needs no second copy of
// the whole section.
class SectionWriter {
 public:
  explicit SectionWriter(std::FILE* output) : output_(output), buffer_(kPiece) {}

  // Where `size` more bytes may be written; commit() says where they end.
  char* room(std::size_t size) {
    if (buffer_.size() - used_ < size) {
      flush();
      if (buffer_.size() < size) buffer_.resize(size);
    }
    return buffer_.data() + used_;
  }
  void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }
  // Keeps what is written up to `end` and gives room for `size` more after it.
  char* extend(const char* end, std::size_t size) {
    commit(end);
    return room(size);
  }
  void flush() {
    std::fwrite(buffer_.data(), 1, used_, output_);
    written_ += used_;
    used_ = 0;
    if (written_ >= kWriteAhead) {
      startWriting(output_);
      written_ = 0;
    }
  }

 private:
  static constexpr std::size_t kPiece = std::size_t{1} << 16;
  // A large section goes to the disk while the rest of it is written, not all at the end.
  static constexpr std::size_t kWriteAhead = std::size_t{1} << 20;
  std::FILE* output_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  std::size_t written_ = 0;
};

// Writes a part of one byte a unit at `at` a word at a time, when it has at most sixteen bytes, none of
// them zero or past ASCII: a word from before a short part (read from the record, see ItemRow) is shifted
// out, and up to kOverwrite bytes are written past the part's end. Returns the end, or null for any other
// part.
[[gnu::always_inline]] inline char* putPlainWords(char* at, const ItemRow::Part& part) {
  const uint32_t length = part.length;
  if (length == 0) return at;
  if (length > 16) return nullptr;
  const auto load = [](const char* from) {
    uint64_t word;
    std::memcpy(&word, from, sizeof word);
    return word;
  };
  const auto zeroOrHigh = [](uint64_t word) {
    return (((word - 0x0101010101010101u) | word) & 0x8080808080808080u) != 0;
  };
  if (length < 8) {
    const uint64_t word = load(part.bytes + length - 8) >> 8 * (8 - length);
    if (zeroOrHigh(word | 0x0101010101010101u << 8 * length)) return nullptr;
    std::memcpy(at, &word, sizeof word);
    return at + length;
  }
  const uint64_t first = load(part.bytes);
  const uint64_t last = load(part.bytes + length - 8);
  if (zeroOrHigh(first) || zeroOrHigh(last)) return nullptr;
  std::memcpy(at, &first, sizeof first);
  std::memcpy(at + length - 8, &last, sizeof last);
  return at + length;
}

// Writes a key part in ISO-8859-2, up to a first zero unit, at `at`, for which the part's length in bytes
// was given as room: ASCII bytes as they stand, anything else through the charset (into `encoded`, then
// with room asked of `out` for it and `rowBytes` more, the bound of the rest of the row). Returns the end.
char* putPart(SectionWriter& out, char* at, const ItemRow& row, int index, std::size_t rowBytes,
              std::string& encoded) {
  const ItemRow::Part& part = row.parts[index];
  if (!row.wide) {
    unsigned char high = 0;
    uint32_t i = 0;
    for (; i < part.length && part.bytes[i] != 0; ++i) {
      high |= static_cast<unsigned char>(part.bytes[i]);
      at[i] = part.bytes[i];
    }
    if (high < 0x80) return at + i;
  }
  encoded.clear();
  append(encoded, row.text(index));
  at = out.extend(at, encoded.size() + rowBytes);
  std::memcpy(at, encoded.data(), encoded.size());
  return at + encoded.size();
}

// putPart, with the word copy that nearly every part takes where the row is written.
inline char* putKeyPart(SectionWriter& out, char* at, const ItemRow& row, int index, std::size_t rowBytes,
                        std::string& encoded) {
  const bool words = std::endian::native == std::endian::little && !row.wide;
  char* const end = words ? putPlainWords(at, row.parts[index]) : nullptr;
  return end != nullptr ? end : putPart(out, at, row, index, rowBytes, encoded);
}

}  // namespace

std::string formatTotal(int64_t thousandths) {
  char text[kTotalBytes];
  return std::string(text, putTotal(text, thousandths));
}

void writeItemSection(const RunContext& run) {
  const bool withPartner = run.formCode == 2010;
  const int partCount = withPartner ? 5 : 4;
  const char* header = withPartner ? "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}\r\n"
                                   : "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}\r\n";
  SectionWriter out(run.output);
  const std::size_t headerLength = std::strlen(header);
  char* const headerAt = out.room(headerLength);
  std::memcpy(headerAt, header, headerLength);
  out.commit(headerAt + headerLength);
  // A row besides its key parts: the number (ten digits at most), the separators, the totals and CR LF,
  // and what the last may write over past the end.
  constexpr std::size_t kRowBytes = 10 + 9 + 4 * kTotalBytes + 2 + kOverwrite;
  uint32_t rowNumber = 0;
  std::string encoded;
  run.items.forEachRow([&](const ItemRow& row) {
    std::size_t rowBytes = kRowBytes;
    for (int i = 0; i < partCount; ++i) rowBytes += row.parts[i].length;
    char* at = out.room(rowBytes);
    // The row number has at least five digits.
    at = putNumber(at, ++rowNumber, 5);
    for (int i = 0; i < 4; ++i) {
      *at++ = ';';
      at = putKeyPart(out, at, row, i, rowBytes, encoded);
    }
    for (int i = 0; i < 4; ++i) {
      *at++ = ';';
      at = putTotal(at, row.totals[i]);
    }
    if (withPartner) {
      *at++ = ';';
      at = putKeyPart(out, at, row, 4, rowBytes, encoded);
    }
    *at++ = '\r';
    *at++ = '\n';
    out.commit(at);
  });
  out.flush();
}
