// InputChecksum: a fast checksum of the input's bytes as they pass, so that the two reads of one input can be
// compared without keeping a copy of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The same bytes give the same value however they are handed over in pieces. Not a defence against a
// forger, but any change a program makes to a file by chance (a save over it, a rewrite in place) alters
// it but for a chance of about 2^-64. Four lanes of 8 bytes, each a multiply, a rotation and a multiply,
// keep up with reading from the page cache.
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
      addStripe(pending_);
      pendingSize_ = 0;
    }
    // The lanes in registers for the long run of whole stripes: kept in the object, every stripe would
    // wait for the store of the one before.
    std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
    for (; size >= kStripe; bytes += kStripe, size -= kStripe) {
      a = mix(a, word(bytes));
      b = mix(b, word(bytes + 8));
      c = mix(c, word(bytes + 16));
      d = mix(d, word(bytes + 24));
    }
    lanes_[0] = a;
    lanes_[1] = b;
    lanes_[2] = c;
    lanes_[3] = d;
    std::memcpy(pending_, bytes, size);
    pendingSize_ = size;
  }

  std::uint64_t value() const {
    std::uint64_t value =
        rotate(lanes_[0], 1) + rotate(lanes_[1], 7) + rotate(lanes_[2], 12) + rotate(lanes_[3], 18) + size_;
    for (std::size_t i = 0; i < pendingSize_; ++i)
      value = mix(value, static_cast<unsigned char>(pending_[i]));
    value ^= value >> 33;
    value *= kSecond;
    value ^= value >> 29;
    return value;
  }

 private:
  static constexpr std::size_t kStripe = 32;
  static constexpr std::uint64_t kFirst = 0x9E3779B185EBCA87u;
  static constexpr std::uint64_t kSecond = 0xC2B2AE3D27D4EB4Fu;

  static std::uint64_t rotate(std::uint64_t word, int bits) { return (word << bits) | (word >> (64 - bits)); }
  static std::uint64_t mix(std::uint64_t lane, std::uint64_t word) {
    return rotate(lane + word * kSecond, 31) * kFirst;
  }
  static std::uint64_t word(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
  }
  void addStripe(const char* bytes) {
    for (int lane = 0; lane < 4; ++lane) lanes_[lane] = mix(lanes_[lane], word(bytes + 8 * lane));
  }

  std::uint64_t lanes_[4] = {kFirst + kSecond, kSecond, 0, 0 - kFirst};
  char pending_[kStripe] = {};
  std::size_t pendingSize_ = 0;
  std::uint64_t size_ = 0;
};
