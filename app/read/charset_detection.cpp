// Charset detection: whether bytes may be UTF-8, which code page they are in, and the first pass's summary.
#include "app/read/charset_detection.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Follows UTF-8 sequences over `size` bytes with `pending` continuation bytes still due from the bytes
// before; the continuation bytes due after them, or -1 when a byte rules UTF-8 out.
int followUtf8(const unsigned char* data, std::size_t size, int pending) {
  for (std::size_t i = 0; i < size; ++i) {
    // Runs of ASCII, nearly the whole of a declaration, are passed over eight bytes at a time.
    while (pending == 0 && i + 8 <= size) {
      uint64_t word;
      std::memcpy(&word, data + i, 8);
      if ((word & 0x8080808080808080u) != 0) break;
      i += 8;
    }
    if (i == size) break;
    const unsigned char b = data[i];
    if (pending > 0) {
      if (b < 0x80 || b > 0xBF) return -1;
      --pending;
    } else if (b < 0x80) {
      continue;
    } else if (b < 0xC0) {
      return -1;
    } else if (b < 0xE0) {
      pending = 1;
    } else if (b < 0xF0) {
      pending = 2;
    } else if (b < 0xF8) {
      pending = 3;
    } else {
      return -1;
    }
  }
  return pending;
}

}  // namespace

Utf8Form utf8Form(const char* text, std::size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  bool beyond = false;
  std::size_t i = 0;
  while (i < size) {
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      // Runs of ASCII are passed over eight bytes at a time.
      ++i;
      for (uint64_t word; i + 8 <= size; i += 8) {
        std::memcpy(&word, bytes + i, 8);
        if ((word & 0x8080808080808080u) != 0) break;
      }
      continue;
    }
    // Two bytes, the letters of Central Europe, come first.
    if (lead >= 0xC2 && lead <= 0xDF) {
      if (size - i < 2 || (bytes[i + 1] & 0xC0) != 0x80) return Utf8Form::IllFormed;
      i += 2;
      continue;
    }
    // The lead byte gives the length and the range of the second byte, which rules out the overlong forms
    // (after E0 and F0), the surrogates (after ED) and what lies beyond U+10FFFF (after F4); every further
    // byte is a continuation byte.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      beyond = true;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return Utf8Form::IllFormed;
    }
    if (size - i < length || bytes[i + 1] < low || bytes[i + 1] > high) return Utf8Form::IllFormed;
    for (std::size_t k = 2; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return Utf8Form::IllFormed;
    }
    i += length;
  }
  return beyond ? Utf8Form::BeyondUFFFF : Utf8Form::WellFormed;
}

bool isWellFormedUtf8(const char* bytes, std::size_t size) {
  return utf8Form(bytes, size) != Utf8Form::IllFormed;
}

bool looksLikeUtf8(const char* bytes, std::size_t size) {
  return followUtf8(reinterpret_cast<const unsigned char*>(bytes), size, 0) >= 0;
}

const char* detectCharset(const char* bytes, std::size_t size) {
  InputScan scan;
  scan.add(bytes, size);
  return scan.summary().charset;
}

void InputScan::add(const char* bytes, std::size_t size) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < size && size_ + i < sizeof head_; ++i) head_[size_ + i] = data[i];
  // One pass, eight bytes at a time. A word without a byte above 0x7F only ends a UTF-8 sequence too early
  // and holds no Windows-1250 byte; the last word that may hold a '"' is kept (the zero-byte test can flag
  // a lane after a true one, never a word without one).
  std::size_t quoteWord = size;
  std::size_t i = 0;
  // Bytes from `from` on, `pastAscii` when any is above 0x7F.
  const auto takePiece = [this, data](std::size_t from, std::size_t count, bool pastAscii) {
    if (!pastAscii) {
      if (pending_ > 0) pending_ = -1;
      return;
    }
    if (pending_ >= 0) pending_ = followUtf8(data + from, count, pending_);
    for (std::size_t k = from; k < from + count; ++k)
      windowsBytes_ = windowsBytes_ || (data[k] >= 0x80 && data[k] <= 0x9F);
  };
#if defined(__SSE2__)
  // Sixty-four bytes at a time: one test for a byte above 0x7F, which nearly every block of a declaration
  // passes whole (else its four chunks are taken one by one), and one for a quote (the block's start
  // stands for it: the look back finds the last quote itself).
  const __m128i quote = _mm_set1_epi8('"');
  for (; i + 64 <= size; i += 64) {
    const auto* at = reinterpret_cast<const __m128i*>(data + i);
    const __m128i c0 = _mm_loadu_si128(at);
    const __m128i c1 = _mm_loadu_si128(at + 1);
    const __m128i c2 = _mm_loadu_si128(at + 2);
    const __m128i c3 = _mm_loadu_si128(at + 3);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(c0, c1), _mm_or_si128(c2, c3))) != 0) {
      takePiece(i, 16, _mm_movemask_epi8(c0) != 0);
      takePiece(i + 16, 16, _mm_movemask_epi8(c1) != 0);
      takePiece(i + 32, 16, _mm_movemask_epi8(c2) != 0);
      takePiece(i + 48, 16, _mm_movemask_epi8(c3) != 0);
    } else {
      takePiece(i, 64, false);
    }
    const __m128i quotes = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(c0, quote), _mm_cmpeq_epi8(c1, quote)),
                                        _mm_or_si128(_mm_cmpeq_epi8(c2, quote), _mm_cmpeq_epi8(c3, quote)));
    if (_mm_movemask_epi8(quotes) != 0) quoteWord = i;
  }
  // The same sixteen bytes at a time.
  for (; i + 16 <= size; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    takePiece(i, 16, _mm_movemask_epi8(chunk) != 0);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('"'))) != 0) quoteWord = i;
  }
#endif
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, sizeof word);
    takePiece(i, 8, (word & 0x8080808080808080u) != 0);
    const uint64_t quotes = word ^ 0x2222222222222222u;
    if (((quotes - 0x0101010101010101u) & ~quotes & 0x8080808080808080u) != 0) quoteWord = i;
  }
  takePiece(i, size - i, true);
  const std::size_t from = quoteWord == size ? i : quoteWord;
  for (std::size_t k = size; k > from; --k) {
    if (data[k - 1] == '"') {
      quotesEnd_ = size_ + k;
      break;
    }
  }
  size_ += size;
}

InputSummary InputScan::summary() const {
  InputSummary summary;
  summary.size = size_;
  // The UTF-8 byte-order mark decides: one pasted byte of another code page must not make the whole file
  // that code page, its mark text on the first line.
  const bool utf8Mark = size_ >= 3 && head_[0] == 0xEF && head_[1] == 0xBB && head_[2] == 0xBF;
  summary.charset = utf8Mark || pending_ >= 0 ? "UTF-8" : windowsBytes_ ? "windows-1250" : "ISO-8859-2";
  summary.quotesEnd = quotesEnd_;
  summary.utf16Mark =
      size_ >= 2 && ((head_[0] == 0xFF && head_[1] == 0xFE) || (head_[0] == 0xFE && head_[1] == 0xFF));
  return summary;
}
