// InputChecksum: a fast checksum of the input's bytes as they pass, so that the two reads of one input can be
// compared without keeping a copy of the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <nmmintrin.h>
#define ZELVORA_CRC32C_INSTRUCTION 1
#endif

// The bytes are dealt out eight at a time to three streams in turn, each the CRC-32C of its words, and the
// three are folded into one value with the size. The same bytes give the same value however they are handed
// over in pieces. Not a defence against a forger; but a change of up to four bytes in a row always alters
// it (it falls into at most two streams, a burst of at most 32 bits in each, which a CRC-32C always
// catches), and any other change a program makes to a file by chance (a save over it, a rewrite in place)
// but for a chance of about 2^-32. Where the processor has a CRC-32C instruction (nearly every x86-64 since
// 2008), three streams keep it busy at one word a cycle; elsewhere a table gives the same values.
class InputChecksum {
 public:
  void add(const char* bytes, std::size_t size) {
    size_ += size;
    if (pendingSize_ > 0) {
      const std::size_t taken = size < kStripe - pendingSize_ ? size : kStripe - pendingSize_;
      std::memcpy(pending_ + pendingSize_, bytes, taken);
      pendingSize_ += taken;
      bytes += taken;
      size -= taken;
      if (pendingSize_ < kStripe) return;
      addStripes(streams_, pending_, 1);
      pendingSize_ = 0;
    }
    addStripes(streams_, bytes, size / kStripe);
    bytes += size - size % kStripe;
    size %= kStripe;
    std::memcpy(pending_, bytes, size);
    pendingSize_ = size;
  }

  // The CRC-32C of each stream's words, the last stripe filled up with zero bytes.
  std::array<std::uint32_t, 3> streamValues() const {
    std::uint32_t streams[3] = {streams_[0], streams_[1], streams_[2]};
    if (pendingSize_ > 0) {
      char last[kStripe] = {};
      std::memcpy(last, pending_, pendingSize_);
      addStripes(streams, last, 1);
    }
    return {~streams[0], ~streams[1], ~streams[2]};
  }

  std::uint64_t value() const {
    const std::array<std::uint32_t, 3> streams = streamValues();
    // Any two streams together, the third unchanged, give different values for different contents: the
    // low half tells the first from the third, the high half the second from the third.
    std::uint64_t value =
        (static_cast<std::uint64_t>(streams[1] ^ streams[2]) << 32 | (streams[0] ^ streams[2])) ^
        (size_ * kSecond);
    value ^= value >> 33;
    value *= kSecond;
    value ^= value >> 29;
    return value;
  }

  // Whether the processor's instruction is used; the tests compare it with the table.
  static bool& usesInstruction() {
#if defined(ZELVORA_CRC32C_INSTRUCTION)
    static bool uses = __builtin_cpu_supports("sse4.2");
#else
    static bool uses = false;
#endif
    return uses;
  }

 private:
  static constexpr std::size_t kStripe = 24;
  static constexpr std::uint64_t kSecond = 0xC2B2AE3D27D4EB4Fu;

  static std::uint64_t word(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
  }

  // Eight tables of 256 (reflected polynomial 0x82F63B78): one lookup per byte of a word, all independent.
  struct Tables {
    std::uint32_t entries[8][256];
  };
  static constexpr Tables makeTables() {
    Tables tables{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
      std::uint32_t crc = byte;
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0x82F63B78u & (0u - (crc & 1)));
      tables.entries[0][byte] = crc;
    }
    for (int table = 1; table < 8; ++table) {
      for (std::uint32_t byte = 0; byte < 256; ++byte) {
        const std::uint32_t before = tables.entries[table - 1][byte];
        tables.entries[table][byte] = (before >> 8) ^ tables.entries[0][before & 0xFF];
      }
    }
    return tables;
  }
  static std::uint32_t crcOfWord(std::uint32_t crc, std::uint64_t word) {
    static constexpr Tables kTables = makeTables();
    const std::uint64_t x = word ^ crc;
    const auto& t = kTables.entries;
    return t[7][x & 0xFF] ^ t[6][(x >> 8) & 0xFF] ^ t[5][(x >> 16) & 0xFF] ^ t[4][(x >> 24) & 0xFF] ^
           t[3][(x >> 32) & 0xFF] ^ t[2][(x >> 40) & 0xFF] ^ t[1][(x >> 48) & 0xFF] ^ t[0][x >> 56];
  }

  static void addStripes(std::uint32_t (&streams)[3], const char* bytes, std::size_t count) {
#if defined(ZELVORA_CRC32C_INSTRUCTION)
    if (usesInstruction()) return addStripesByInstruction(streams, bytes, count);
#endif
    for (; count > 0; --count, bytes += kStripe) {
      streams[0] = crcOfWord(streams[0], word(bytes));
      streams[1] = crcOfWord(streams[1], word(bytes + 8));
      streams[2] = crcOfWord(streams[2], word(bytes + 16));
    }
  }

#if defined(ZELVORA_CRC32C_INSTRUCTION)
  // The streams in registers for the long run of stripes; three, so that each instruction's three cycles
  // are spent on the other two.
  [[gnu::target("sse4.2")]] static void addStripesByInstruction(std::uint32_t (&streams)[3],
                                                                const char* bytes, std::size_t count) {
    std::uint64_t a = streams[0], b = streams[1], c = streams[2];
    for (; count > 0; --count, bytes += kStripe) {
      a = _mm_crc32_u64(a, word(bytes));
      b = _mm_crc32_u64(b, word(bytes + 8));
      c = _mm_crc32_u64(c, word(bytes + 16));
    }
    streams[0] = static_cast<std::uint32_t>(a);
    streams[1] = static_cast<std::uint32_t>(b);
    streams[2] = static_cast<std::uint32_t>(c);
  }
#endif

  std::uint32_t streams_[3] = {~0u, ~0u, ~0u};
  char pending_[kStripe] = {};
  std::size_t pendingSize_ = 0;
  std::uint64_t size_ = 0;
};
