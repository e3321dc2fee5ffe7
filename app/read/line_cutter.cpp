// The line cutter: line ends found sixteen bytes at a time, and the bytes read block by block.
#include "app/read/line_cutter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The first byte from `from` on that may end a line ('\0', CR or LF), or `end`.
std::size_t findLineEnd(const char* bytes, std::size_t from, std::size_t end) {
  std::size_t p = from;
#if defined(__SSE2__)
  for (; p + 16 <= end; p += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + p));
    const __m128i ends = _mm_or_si128(
        _mm_cmpeq_epi8(chunk, _mm_setzero_si128()),
        _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n'))));
    const auto lanes = static_cast<unsigned>(_mm_movemask_epi8(ends));
    if (lanes != 0) return p + static_cast<std::size_t>(std::countr_zero(lanes));
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    // Eight bytes at a time: a byte below 0x0E sets the top bit of its lane, and may set it in the lanes
    // after it through the borrow, so each flagged lane is checked. Lanes are in memory order here.
    for (; p + 8 <= end; p += 8) {
      uint64_t word;
      std::memcpy(&word, bytes + p, sizeof word);
      for (uint64_t lanes = (word - 0x0E0E0E0E0E0E0E0Eu) & ~word & 0x8080808080808080u; lanes != 0;
           lanes &= lanes - 1) {
        const std::size_t at = p + static_cast<std::size_t>(std::countr_zero(lanes)) / 8;
        if (bytes[at] == '\0' || bytes[at] == '\r' || bytes[at] == '\n') return at;
      }
    }
  }
  while (p < end && bytes[p] != '\0' && bytes[p] != '\r' && bytes[p] != '\n') ++p;
  return p;
}

}  // namespace

LineCutter::LineCutter(ByteSource& source, std::size_t size, std::vector<char> buffer)
    : window_(nullptr), filled_(0), size_(size), source_(&source), buffer_(std::move(buffer)) {
  buffer_.resize(std::max<std::size_t>(1, std::min(size, kReadBlock)));
  window_ = buffer_.data();
}

bool LineCutter::refill() {
  const std::size_t kept = base_ + filled_ - start_;
  // A line longer than half the buffer doubles it, so a line of any length fits.
  if (kept * 2 > buffer_.size()) {
    std::vector<char> larger(buffer_.size() * 2);
    std::memcpy(larger.data(), buffer_.data() + (start_ - base_), kept);
    buffer_.swap(larger);
  } else {
    std::memmove(buffer_.data(), buffer_.data() + (start_ - base_), kept);
  }
  window_ = buffer_.data();
  base_ = start_;
  filled_ = kept;
  const std::size_t wanted = std::min(buffer_.size() - kept, size_ - (base_ + filled_));
  const std::size_t got = source_->read(buffer_.data() + kept, wanted);
  checksum_.add(buffer_.data() + kept, got);
  filled_ += got;
  if (got < wanted) {
    // The image ends where the stream did; the run reports that the file could not be read.
    readFailed_ = true;
    size_ = base_ + filled_;
  }
  return got > 0;
}

std::uint64_t LineCutter::checksumToEnd() {
  if (source_ != nullptr) {
    // Nothing of what is read now is kept.
    start_ = base_ + filled_;
    while (base_ + filled_ < size_ && refill()) start_ = base_ + filled_;
  }
  return checksum_.value();
}

bool LineCutter::next(RawLine& line) {
  std::size_t p = start_;
  for (;;) {
    p = base_ + findLineEnd(window_, p - base_, filled_);
    const std::size_t windowEnd = base_ + filled_;
    // The line's end is not read yet, or a CR may have its LF in the next block.
    const bool cutShort = p == windowEnd || (window_[p - base_] == '\r' && p + 1 == windowEnd);
    if (!cutShort || windowEnd == size_ || source_ == nullptr || !refill()) break;
  }
  const auto byteAt = [this](std::size_t position) { return window_[position - base_]; };
  const bool atNul = p < size_ && byteAt(p) == '\0';
  const bool nulEndsImage = atNul && p + 1 == size_;
  if (p == start_ && (p == size_ || nulEndsImage)) {
    start_ = size_;
    return false;
  }
  line.bytes = window_ + (start_ - base_);
  line.size = p - start_;
  line.holdsNul = atNul && !nulEndsImage;
  if (p == size_ || atNul) {
    start_ = size_;
  } else if (byteAt(p) == '\r' && p + 1 < size_ && byteAt(p + 1) == '\n') {
    start_ = p + 2;
  } else {
    start_ = p + 1;
  }
  return true;
}
