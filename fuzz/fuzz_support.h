// Shared helpers of the fuzz targets: a check that aborts loudly and readers that turn fuzz bytes into
// values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/ustring.h"

// Aborts with the broken property, so that libFuzzer keeps the input and the replay main fails.
#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)

namespace fuzz {

// Reads values from the front of the fuzz input; past its end every read gives zeros.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }
  template <typename Integer>
  Integer integer() {
    uint64_t bits = 0;
    for (std::size_t i = 0; i < sizeof(Integer); ++i) bits |= static_cast<uint64_t>(byte()) << (8 * i);
    return static_cast<Integer>(bits);
  }
  std::size_t remaining() const { return size_ - position_; }
  const uint8_t* rest() const { return data_ + position_; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// A text of exactly these units, zero units included (the pointer constructor would stop at a zero).
inline UString textOf(const std::vector<char16_t>& units) {
  if (units.empty()) return UString();
  UStringBuffer buffer(static_cast<uint32_t>(units.size()));
  std::memcpy(buffer.data(), units.data(), units.size() * sizeof(char16_t));
  return buffer.finish();
}

inline std::vector<char16_t> unitsOf(const UString& text) {
  return std::vector<char16_t>(text.units(), text.units() + text.length());
}

// Units from bytes: a byte below 0xF0 is the unit of the same value, and 0xF0 to 0xFF take the next two
// bytes as one unit (little-endian), so short inputs stay readable while every unit stays reachable.
inline std::vector<char16_t> unitsFromBytes(const uint8_t* data, std::size_t size) {
  std::vector<char16_t> units;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] < 0xF0) {
      units.push_back(data[i]);
    } else if (i + 2 < size) {
      units.push_back(static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8)));
      i += 2;
    }
  }
  return units;
}

// A heap copy of exactly these bytes followed by `zeros` zero bytes, so that reading past it is caught.
class ExactBytes {
 public:
  ExactBytes(const uint8_t* data, std::size_t size, std::size_t zeros)
      : bytes_(new char[size + zeros]), size_(size) {
    if (size > 0) std::memcpy(bytes_, data, size);
    std::memset(bytes_ + size, 0, zeros);
  }
  ExactBytes(const ExactBytes&) = delete;
  ExactBytes& operator=(const ExactBytes&) = delete;
  ~ExactBytes() { delete[] bytes_; }

  const char* data() const { return bytes_; }
  std::size_t size() const { return size_; }

 private:
  char* bytes_;
  std::size_t size_;
};

}  // namespace fuzz
