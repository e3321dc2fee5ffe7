// The line reader: detection, cutting, quoted cells, normalisation, classification and splitting.
#include "app/read/line_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "app/declaration/spreadsheet_errors.h"
#include "charset/charset.h"

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

namespace {

// What a look at bytes as UTF-8 tells.
enum class Utf8Form { IllFormed, WellFormed, BeyondUFFFF };

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

}  // namespace

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

LineCutter::LineCutter(std::FILE* file, std::size_t size, std::vector<char> buffer)
    : window_(nullptr), filled_(0), size_(size), file_(file), buffer_(std::move(buffer)) {
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
  const std::size_t got = std::fread(buffer_.data() + kept, 1, wanted, file_);
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
  if (file_ != nullptr) {
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
    if (!cutShort || windowEnd == size_ || file_ == nullptr || !refill()) break;
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

namespace {

// The units that separate fields outside quoted cells, as bits by unit value (all are below 64).
using SeparatorSet = uint64_t;
constexpr SeparatorSet kSemicolonBit = SeparatorSet{1} << ';';
constexpr SeparatorSet kCommaBit = SeparatorSet{1} << ',';
constexpr SeparatorSet kTabBit = SeparatorSet{1} << '\t';

// A line of a ';' file is cut at its ';', or at its commas when it has none outside quoted cells.
SeparatorSet separatorsOf(FieldSeparator file) {
  switch (file) {
    case FieldSeparator::Comma:
      return kCommaBit;
    case FieldSeparator::Tab:
      return kTabBit;
    default:
      return kSemicolonBit | kCommaBit;
  }
}

bool separates(char16_t unit, SeparatorSet set) {
  return unit < 64 && ((set >> unit) & 1) != 0;
}

// What normalisation does to a line without quotes: the range it keeps, the unit it is cut at, and whether
// a ';' stays in it as text.
struct Normalisation {
  uint32_t begin;
  uint32_t end;
  char16_t separator;
  bool semicolonText;
};

// What one look at a line's bytes tells. A plain line (no byte above 0x7F and no '"'), nearly every one,
// needs neither decoding nor the quoted-cell reading; one without blanks needs no trimming of its fields.
struct ByteScan {
  bool plain;
  bool blanks;
};

ByteScan scanBytes(const char* bytes, std::size_t size) {
  // Eight bytes at a time; a lane flagged after a true '"' or blank through the borrow changes nothing, and
  // the blank test is only read for a plain line, whose bytes are all below 0x80.
  uint64_t flags = 0;
  uint64_t blanks = 0;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, sizeof word);
    const uint64_t quotes = word ^ 0x2222222222222222u;
    flags |= word | ((quotes - 0x0101010101010101u) & ~quotes);
    blanks |= word - 0x2121212121212121u;
  }
  for (; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    flags |= byte | (byte == '"' ? 0x80u : 0u);
    blanks |= byte <= 0x20 ? 0x80u : 0u;
  }
  return ByteScan{(flags & 0x8080808080808080u) == 0, (blanks & 0x8080808080808080u) != 0};
}

// The lanes of a word whose byte is `byte`: a lane of x is zero exactly there, and adding all ones but the
// top bit to the low bits of each lane sets the lane's top bit unless the lane is zero, with no carry
// across lanes. Lanes are in memory order on a little-endian machine.
uint64_t lanesOf(uint64_t word, unsigned char byte) {
  constexpr uint64_t kLow = 0x7F7F7F7F7F7F7F7Fu;
  const uint64_t x = word ^ (0x0101010101010101u * byte);
  return ~(((x & kLow) + kLow) | x) & ~kLow;
}

// One pass over the bytes of a line as nearly every item line is: ASCII without a quote or a blank, with a
// ';' before any trailing separators. Cuts it at every ';' into the first `count` spans of `store` (grown
// where it is too small, never shrunk), as normalising and cutting would, and gives the length it keeps;
// 0 for any other line, which is read the long way. `errorMarks` tells whether a field starts with the
// '#' or the 'E' that every spreadsheet error value starts with. A line of more than kUsualLine bytes is
// not usual: the store would have to be as long.
constexpr std::size_t kUsualLine = 4096;
uint32_t cutUsualLine(const char* bytes, std::size_t size, std::vector<FieldSpan>& store, std::size_t& count,
                      bool& errorMarks) {
  if (size > kUsualLine) return 0;
  if (store.size() < size + 1) store.resize(size + 1);
  FieldSpan* const spans = store.data();
  std::size_t n = 0;
  uint64_t flags = 0;
  uint64_t marks = 0;
  uint32_t start = 0;
  std::size_t i = 0;
  // A span up to each separator that `lanes` flags, a lane being `laneBits` bits from byte `base` on.
  const auto cutAt = [spans, &n, &start](auto lanes, std::size_t base, unsigned laneBits) {
    for (; lanes != 0; lanes &= lanes - 1) {
      const auto at =
          static_cast<uint32_t>(base + static_cast<std::size_t>(std::countr_zero(lanes)) / laneBits);
      spans[n++] = FieldSpan{start, at};
      start = at + 1;
    }
  };
#if defined(__SSE2__)
  // Sixteen bytes at a time, as the words below: a lane flagged for a quote or for a byte below 0x21 as a
  // signed byte (a blank, a control, or one above 0x7F); a mark where '#' or 'E' starts a field.
  {
    unsigned flagged = 0;
    unsigned startsIn = 1;
    for (; i + 16 <= size; i += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
      const auto lanesOfChunk = [chunk](char byte) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(byte))));
      };
      flagged |= static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(chunk, _mm_set1_epi8(0x21)))) |
                 lanesOfChunk('"');
      const unsigned separators = lanesOfChunk(';');
      marks |= (lanesOfChunk('#') | lanesOfChunk('E')) & (separators << 1 | startsIn);
      startsIn = separators >> 15;
      cutAt(separators, i, 1);
    }
    if (flagged != 0) flags = 0x80;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    // As scanBytes flags a quote, a byte above 0x7F or a blank, and as cutFields finds each ';'. A field
    // starts in the lane after a ';', and in the first lane of the line.
    uint64_t startsIn = i == 0 || bytes[i - 1] == ';' ? 0x80 : 0;
    for (; i + 8 <= size; i += 8) {
      uint64_t word;
      std::memcpy(&word, bytes + i, sizeof word);
      const uint64_t quotes = word ^ 0x2222222222222222u;
      flags |= word | ((quotes - 0x0101010101010101u) & ~quotes) | (word - 0x2121212121212121u);
      const uint64_t separators = lanesOf(word, ';');
      marks |= (lanesOf(word, '#') | lanesOf(word, 'E')) & (separators << 8 | startsIn);
      startsIn = separators >> 56;
      cutAt(separators, i, 8);
    }
  }
  for (; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    flags |= byte | (byte == '"' || byte <= 0x20 ? 0x80u : 0u);
    marks |= (byte == '#' || byte == 'E') && start == i;
    if (byte != ';') continue;
    spans[n++] = FieldSpan{start, static_cast<uint32_t>(i)};
    start = static_cast<uint32_t>(i) + 1;
  }
  errorMarks = marks != 0;
  if ((flags & 0x8080808080808080u) != 0) return 0;
  // Trailing separators go; the fields are those of the ';' that stand before them.
  auto end = static_cast<uint32_t>(size);
  while (end > 0 && (bytes[end - 1] == ';' || bytes[end - 1] == ',')) --end;
  while (n > 0 && spans[n - 1].end >= end) --n;
  if (n == 0) return 0;
  spans[n] = FieldSpan{spans[n - 1].end + 1, end};
  count = n + 1;
  return end;
}

// Over the line's bytes when it is plain ASCII (one byte a unit), else over its decoded units.
template <typename Unit>
Normalisation scanNormalisation(const Unit* units, uint32_t begin, uint32_t end, FieldSeparator file) {
  const SeparatorSet set = separatorsOf(file);
  // A leading TAB of a tab file is an empty first field, as a leading ';' is in a ';' file.
  while (begin < end && isBlankUnit(unitOf(units[begin])) && !separates(unitOf(units[begin]), set)) ++begin;
  while (end > begin && (isBlankUnit(unitOf(units[end - 1])) || separates(unitOf(units[end - 1]), set)))
    --end;
  bool semicolon = false;
  bool comma = false;
  if constexpr (sizeof(Unit) == 1) {
    // Bytes: memchr finds an item line's first ';' at once.
    semicolon = std::memchr(units + begin, ';', end - begin) != nullptr;
    comma = !semicolon && file == FieldSeparator::Semicolon &&
            std::memchr(units + begin, ',', end - begin) != nullptr;
  } else {
    // One branch-free pass (the compiler vectorises it) tells which of ';' and ',' occur.
    // Sixteen-bit flags keep the vector lanes as wide as the units.
    uint16_t seen = 0;
    for (uint32_t i = begin; i < end; ++i) {
      const char16_t unit = units[i];
      seen |= static_cast<uint16_t>((unit == u';') | (unit == u',') << 1);
    }
    semicolon = (seen & 1) != 0;
    comma = (seen & 2) != 0;
  }
  switch (file) {
    case FieldSeparator::Comma:
      return Normalisation{begin, end, u',', semicolon};
    case FieldSeparator::Tab:
      return Normalisation{begin, end, u'\t', semicolon};
    default:
      return Normalisation{begin, end, !semicolon && comma ? u',' : u';', false};
  }
}

bool holdsQuote(const char16_t* units, uint32_t begin, uint32_t end) {
  unsigned quote = 0;
  for (uint32_t i = begin; i < end; ++i) quote |= static_cast<unsigned>(units[i] == u'"');
  return quote != 0;
}

// The field from `start` up to `end`, trimmed.
template <typename Unit>
FieldSpan trimmedSpan(const Unit* units, uint32_t start, uint32_t end) {
  while (start < end && isBlankUnit(unitOf(units[start]))) ++start;
  while (end > start && isBlankUnit(unitOf(units[end - 1]))) --end;
  return FieldSpan{start, end};
}

// Cuts a line without quoted cells at every `separator`, trimming each field unless the line holds no
// blank.
template <typename Unit>
void cutFields(const Unit* units, uint32_t length, Unit separator, bool blanks,
               std::vector<FieldSpan>& spans) {
  const auto field = [units, blanks](uint32_t start, uint32_t end) {
    return blanks ? trimmedSpan(units, start, end) : FieldSpan{start, end};
  };
  spans.clear();
  if (length == 0) return;
  uint32_t start = 0;
  uint32_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // A word of units at a time (eight bytes or four sixteen-bit units): a lane of the word is zero exactly
    // where its unit is the separator, and adding all ones but the top bit to the low bits of each lane
    // sets the lane's top bit unless the lane is zero; no carry crosses lanes, so every flagged lane is a
    // separator. Lanes are in memory order on this machine.
    constexpr uint32_t kLaneBits = 8 * sizeof(Unit);
    constexpr uint32_t kLanes = 8 / sizeof(Unit);
    constexpr uint64_t kOnes = ~uint64_t{0} / ((uint64_t{1} << kLaneBits) - 1);
    constexpr uint64_t kLow = kOnes * ((uint64_t{1} << (kLaneBits - 1)) - 1);
    const uint64_t pattern = kOnes * static_cast<uint64_t>(unitOf(separator));
    for (; i + kLanes <= length; i += kLanes) {
      uint64_t word;
      std::memcpy(&word, units + i, sizeof word);
      const uint64_t x = word ^ pattern;
      for (uint64_t lanes = ~(((x & kLow) + kLow) | x) & ~kLow; lanes != 0; lanes &= lanes - 1) {
        const uint32_t end = i + static_cast<uint32_t>(std::countr_zero(lanes)) / kLaneBits;
        spans.push_back(field(start, end));
        start = end + 1;
      }
    }
  }
  for (; i < length; ++i) {
    if (units[i] != separator) continue;
    spans.push_back(field(start, i));
    start = i + 1;
  }
  spans.push_back(field(start, length));
}

// Comments and lines in braces are skipped; so are lines without a field that holds anything. A line that
// starts with a spreadsheet's error value ("#N/A") is not a comment.
template <typename Unit>
bool isContent(const Unit* units, uint32_t length, const FieldSpan* spans, std::size_t count) {
  if (length == 0) return false;
  if (units[0] == Unit('#')) return isSpreadsheetError(units + spans[0].begin, spans[0].end - spans[0].begin);
  if (units[0] == Unit('{') && units[length - 1] == Unit('}')) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (spans[i].begin != spans[i].end) return true;
  }
  return false;
}

}  // namespace

UString LineFields::text(std::size_t field) const {
  const uint32_t count = length(field);
  if (count == 0) return UString();
  UStringBuffer buffer(count);
  if (units == nullptr) {
    const char* from = bytes + spans[field].begin;
    for (uint32_t i = 0; i < count; ++i) buffer.data()[i] = static_cast<unsigned char>(from[i]);
  } else {
    std::memcpy(buffer.data(), begin(field), count * sizeof(char16_t));
  }
  return buffer.finish();
}

bool LineFields::holdsSemicolon(std::size_t field) const {
  const uint32_t count = length(field);
  if (units == nullptr) return count != 0 && std::memchr(bytes + spans[field].begin, ';', count) != nullptr;
  const char16_t* from = begin(field);
  for (uint32_t i = 0; i < count; ++i) {
    if (from[i] == u';') return true;
  }
  return false;
}

namespace {

std::size_t quotesEndOf(const char* bytes, std::size_t size) {
  InputScan scan;
  scan.add(bytes, size);
  return scan.summary().quotesEnd;
}

bool isUtf8(const char* charset) {
  char canonical[64];
  CharsetKind kind = CharsetNone;
  int32_t param = 0;
  lookupCharset(charset, canonical, kind, param);
  return kind == Utf8;
}

}  // namespace

LineReader::LineReader(const char* bytes, std::size_t size, const char* charset)
    : cutter_(bytes, size), charset_(charset), utf8_(isUtf8(charset)), quotesEnd_(quotesEndOf(bytes, size)) {}

LineReader::LineReader(std::FILE* file, const InputSummary& input, std::vector<char> buffer)
    : cutter_(file, input.size, std::move(buffer)),
      charset_(input.charset),
      utf8_(isUtf8(input.charset)),
      quotesEnd_(input.quotesEnd) {}

void LineReader::appendAscii(const RawLine& raw) {
  // Bytes below 0x80 decode to themselves in every charset a run uses, and never to a zero unit: the cutter
  // ends lines at a NUL byte.
  const std::size_t at = units_.size();
  units_.resize(at + raw.size);
  for (std::size_t i = 0; i < raw.size; ++i) units_[at + i] = static_cast<unsigned char>(raw.bytes[i]);
}

ReadLine::Damage LineReader::appendDecoded(const RawLine& raw) {
  if (raw.holdsNul) return ReadLine::Damage::NulByte;
  const auto* bytes = reinterpret_cast<const unsigned char*>(raw.bytes);
  unsigned char high = 0;
  for (std::size_t i = 0; i < raw.size; ++i) high |= bytes[i];
  if (high < 0x80) {
    appendAscii(raw);
    return ReadLine::Damage::None;
  }
  // The decoder reads overlong forms, surrogates and values beyond U+10FFFF too: C0 BB as a ';' that
  // would split a cell, C0 8A as a line end that would split a row, F4 90 80 80 as a NUL. No editor shows
  // them so, and a stray byte of another code page in a file with the UTF-8 mark is no letter either.
  // Units are sixteen bits and the decoder keeps the low sixteen bits of a character beyond U+FFFF, so
  // U+1003B would be read as ';': no declaration holds one, and none is read. In the single-byte charsets
  // every byte from 0x80 on is a character.
  if (utf8_ && utf8Form(raw.bytes, raw.size) != Utf8Form::WellFormed)
    return ReadLine::Damage::InvalidSequence;
  const UString decoded = decodeBytes(raw.bytes, raw.size, charset_);
  units_.insert(units_.end(), decoded.units(), decoded.units() + decoded.length());
  return ReadLine::Damage::None;
}

void LineReader::setFields(LineFields& fields, const char16_t* units, std::size_t count, bool quoted,
                           std::size_t breakCount, const char* bytes) const {
  fields.units = units;
  fields.spans = spans_.data();
  fields.count = count;
  fields.quoted = quoted;
  fields.breakCount = breakCount;
  fields.bytes = bytes;
  fields.errorMarks = true;
}

void LineReader::givePlainLine(ReadLine& line, const char* bytes, uint32_t kept, std::size_t count,
                               bool plainUnits, bool semicolonText) {
  line.length = kept;
  line.content = isContent(bytes, kept, spans_.data(), count);
  if (!plainUnits) {
    line.units = nullptr;
    setFields(line.fields, nullptr, count, semicolonText, 0, bytes);
    return;
  }
  units_.resize(kept);
  char16_t* units = units_.data();
  for (uint32_t i = 0; i < kept; ++i) units[i] = static_cast<unsigned char>(bytes[i]);
  line.units = units;
  setFields(line.fields, units, count, semicolonText, 0, bytes);
}

bool LineReader::next(ReadLine& line, bool plainUnits) {
  units_.clear();
  breaks_.clear();
  RawLine raw{};
  if (!cutter_.next(raw)) return false;
  ++linesRead_;
  startLine(line);
  bool errorMarks = true;
  std::size_t count = 0;
  // The one-pass cut knows only ';'; a line it cuts holds one and no quote, so it makes a ';' file.
  const uint32_t usual = raw.holdsNul || separator_ != FieldSeparator::Semicolon
                             ? 0
                             : cutUsualLine(raw.bytes, raw.size, spans_, count, errorMarks);
  if (usual != 0) {
    givePlainLine(line, raw.bytes, usual, count, plainUnits, false);
    line.fields.errorMarks = errorMarks;
    separatorDecided_ = separatorDecided_ || line.content;
    return true;
  }
  // The first content line may be read twice.
  for (;;) {
    readLine(line, raw, plainUnits);
    if (separatorDecided_) return true;
    if (!line.content || line.damage != ReadLine::Damage::None) {
      firstQuoted_ = false;  // set by readQuoted for this line alone
      return true;
    }
    if (!decideSeparator(line, raw)) return true;
    units_.clear();
    startLine(line);
  }
}

void LineReader::startLine(ReadLine& line) const {
  // Member by member: a whole new ReadLine is built on the stack and read back in wider pieces than it was
  // written, which stalls every line.
  line.damage = ReadLine::Damage::None;
  line.content = false;
  line.units = u"";
  line.length = 0;
  setFields(line.fields, u"", 0, false, 0, nullptr);
  line.number = linesRead_;
  line.lastNumber = linesRead_;
}

void LineReader::readLine(ReadLine& line, const RawLine& raw, bool plainUnits) {
  const ByteScan scan = raw.holdsNul ? ByteScan{false, true} : scanBytes(raw.bytes, raw.size);
  if (scan.plain) {
    // Nearly every line: ASCII without a quote, so every separator of the file separates. Normalised and
    // cut on its bytes, then widened only for handlers that read units.
    const Normalisation n = scanNormalisation(raw.bytes, 0, static_cast<uint32_t>(raw.size), separator_);
    const char* bytes = raw.bytes + n.begin;
    const uint32_t kept = n.end - n.begin;
    cutFields(bytes, kept, static_cast<char>(n.separator), scan.blanks, spans_);
    givePlainLine(line, bytes, kept, spans_.size(), plainUnits, n.semicolonText);
    return;
  }
  line.damage = appendDecoded(raw);
  if (line.damage != ReadLine::Damage::None) return;
  const uint32_t length = static_cast<uint32_t>(units_.size());
  const uint32_t begin = linesRead_ == 1 && length > 0 && units_[0] == 0xFEFF ? 1 : 0;
  if (holdsQuote(units_.data(), begin, length)) {
    line.damage = readQuoted(line, begin);
    return;
  }
  // No quote: every separator of the file separates.
  const Normalisation n = scanNormalisation(units_.data(), begin, length, separator_);
  char16_t* units = units_.data() + n.begin;
  const uint32_t kept = n.end - n.begin;
  cutFields(units, kept, n.separator, true, spans_);
  line.units = units;
  line.length = kept;
  line.content = isContent(units, kept, spans_.data(), spans_.size());
  setFields(line.fields, units, spans_.size(), n.semicolonText, 0, nullptr);
}

namespace {

enum class CellState { FieldStart, InField, InQuote };

// Where the reading of quoted cells stands after some units.
struct CellScan {
  CellState state = CellState::FieldStart;
  // The opening quote of the cell still open, and the doubled quotes recorded before it.
  uint32_t opener = 0;
  std::size_t doubledBefore = 0;
};

// Reads the units from `i` up to `length`: records each separator of `set` that stands outside quoted cells,
// and the second quote of each doubled quote inside them.
void scanCells(const char16_t* units, uint32_t i, uint32_t length, SeparatorSet set, CellScan& scan,
               std::vector<uint32_t>& separators, std::vector<uint32_t>& doubled) {
  // In locals: the vectors written below could alias `scan` for all the compiler knows.
  CellState state = scan.state;
  uint32_t opener = scan.opener;
  std::size_t doubledBefore = scan.doubledBefore;
  for (; i < length; ++i) {
    const char16_t unit = units[i];
    if (state == CellState::InQuote) {
      if (unit != u'"') continue;
      if (i + 1 < length && units[i + 1] == u'"') {
        doubled.push_back(++i);
      } else {
        state = CellState::InField;
      }
    } else if (separates(unit, set)) {
      separators.push_back(i);
      state = CellState::FieldStart;
    } else if (state == CellState::FieldStart && unit == u'"') {
      state = CellState::InQuote;
      opener = i;
      doubledBefore = doubled.size();
    } else if (!isBlankUnit(unit)) {
      state = CellState::InField;
    }
  }
  scan = CellScan{state, opener, doubledBefore};
}

// A cell still open at the end of the units: its opening quote was an ordinary one, and the rest is read
// unquoted.
void readRestUnquoted(const char16_t* units, uint32_t length, SeparatorSet set, const CellScan& scan,
                      std::vector<uint32_t>& separators, std::vector<uint32_t>& doubled) {
  doubled.resize(scan.doubledBefore);
  for (uint32_t j = scan.opener + 1; j < length; ++j) {
    if (separates(units[j], set)) separators.push_back(j);
  }
}

// The separator of a file whose first content line holds `has` outside quoted cells.
FieldSeparator fileSeparator(bool semicolon, bool comma, bool tab) {
  if (semicolon) return FieldSeparator::Semicolon;
  if (comma) return FieldSeparator::Comma;
  return tab ? FieldSeparator::Tab : FieldSeparator::Semicolon;
}

}  // namespace

bool LineReader::decideSeparator(ReadLine& line, const RawLine& raw) {
  separatorDecided_ = true;
  if (firstQuoted_) {
    // Quoted cells as any file's would open: after a ';', a ',' or a TAB.
    const SeparatorSet any = kSemicolonBit | kCommaBit | kTabBit;
    const auto length = static_cast<uint32_t>(firstUnits_.size());
    std::vector<uint32_t> separators;
    std::vector<uint32_t> doubled;
    CellScan scan;
    scanCells(firstUnits_.data(), firstBegin_, length, any, scan, separators, doubled);
    if (scan.state == CellState::InQuote)
      readRestUnquoted(firstUnits_.data(), length, any, scan, separators, doubled);
    SeparatorSet seen = 0;
    for (uint32_t at : separators) seen |= SeparatorSet{1} << firstUnits_[at];
    separator_ = fileSeparator((seen & kSemicolonBit) != 0, (seen & kCommaBit) != 0, (seen & kTabBit) != 0);
  } else {
    // Bytes below 0x80 stand for themselves in every charset a run reads.
    const auto holds = [&raw](char byte) { return std::memchr(raw.bytes, byte, raw.size) != nullptr; };
    separator_ = fileSeparator(holds(';'), holds(','), holds('\t'));
  }
  bool readAgain = false;
  if (separator_ != FieldSeparator::Semicolon) {
    if (firstQuoted_) {
      // The physical lines it took are read; a cell left open may take more.
      units_.swap(firstUnits_);
      breaks_.swap(firstBreaks_);
      line.damage = readQuoted(line, firstBegin_);
    } else {
      readAgain = true;
    }
  }
  firstUnits_ = {};
  firstBreaks_ = {};
  return readAgain;
}

ReadLine::Damage LineReader::readQuoted(ReadLine& line, uint32_t begin) {
  separators_.clear();
  doubled_.clear();
  const SeparatorSet set = separatorsOf(separator_);
  CellScan scan;
  uint32_t i = begin;
  for (;;) {
    const uint32_t length = static_cast<uint32_t>(units_.size());
    scanCells(units_.data(), i, length, set, scan, separators_, doubled_);
    i = length;
    if (scan.state != CellState::InQuote) break;
    if (quotesEnd_ > cutter_.position()) {
      // The cell goes on over the line end, which reads as one blank.
      RawLine raw{};
      if (!cutter_.next(raw)) break;
      ++linesRead_;
      line.lastNumber = linesRead_;
      breaks_.push_back(length);
      units_.push_back(u' ');
      const ReadLine::Damage damage = appendDecoded(raw);
      if (damage != ReadLine::Damage::None) {
        line.number = linesRead_;
        return damage;
      }
      continue;
    }
    readRestUnquoted(units_.data(), length, set, scan, separators_, doubled_);
    break;
  }
  if (!separatorDecided_) {
    firstQuoted_ = true;
    firstBegin_ = begin;
    firstUnits_ = units_;
    firstBreaks_ = breaks_;
  }
  dropDoubledQuotes();
  const uint32_t length = static_cast<uint32_t>(units_.size());
  for (uint32_t j = begin; j < length; ++j) {
    if (units_[j] == u'"') units_[j] = u' ';
  }
  splitFields(line, begin, length);
  return ReadLine::Damage::None;
}

void LineReader::dropDoubledQuotes() {
  if (doubled_.empty()) return;
  // Positions behind a dropped quote move one unit down for each.
  const auto moveDown = [this](std::vector<uint32_t>& positions) {
    std::size_t k = 0;
    for (uint32_t& at : positions) {
      while (k < doubled_.size() && doubled_[k] < at) ++k;
      at -= static_cast<uint32_t>(k);
    }
  };
  moveDown(separators_);
  moveDown(breaks_);
  uint32_t kept = doubled_[0];
  std::size_t k = 0;
  for (uint32_t j = doubled_[0]; j < units_.size(); ++j) {
    if (k < doubled_.size() && doubled_[k] == j) {
      ++k;
      continue;
    }
    units_[kept++] = units_[j];
  }
  units_.resize(kept);
}

void LineReader::splitFields(ReadLine& line, uint32_t begin, uint32_t end) {
  const char16_t* units = units_.data();
  const SeparatorSet set = separatorsOf(separator_);
  while (begin < end && isBlankUnit(units[begin]) && !separates(units[begin], set)) ++begin;
  // Trailing blanks and separators go; a separator inside a quoted cell is text and stays.
  std::size_t kept = separators_.size();
  while (end > begin) {
    const char16_t unit = units[end - 1];
    if (isBlankUnit(unit)) {
      --end;
      continue;
    }
    while (kept > 0 && separators_[kept - 1] > end - 1) --kept;
    if (!separates(unit, set) || kept == 0 || separators_[kept - 1] != end - 1) break;
    --end;
    --kept;
  }
  char16_t separator = separator_ == FieldSeparator::Comma ? u',' : u'\t';
  if (separator_ == FieldSeparator::Semicolon) {
    bool semicolon = false;
    for (std::size_t k = 0; k < kept; ++k) semicolon = semicolon || units[separators_[k]] == u';';
    separator = semicolon ? u';' : u',';
  }

  spans_.clear();
  if (begin < end) {
    uint32_t start = begin;
    for (std::size_t k = 0; k < kept; ++k) {
      const uint32_t at = separators_[k];
      if (units[at] != separator) continue;
      spans_.push_back(trimmedSpan(units, start, at));
      start = at + 1;
    }
    spans_.push_back(trimmedSpan(units, start, end));
    for (FieldSpan& span : spans_) {
      span.begin -= begin;
      span.end -= begin;
    }
  }
  std::size_t breakCount = 0;
  for (uint32_t at : breaks_) breakCount += at >= begin && at < end ? 1 : 0;
  line.units = units + begin;
  line.length = end - begin;
  line.content = isContent(line.units, line.length, spans_.data(), spans_.size());
  setFields(line.fields, line.units, spans_.size(), true, breakCount, nullptr);
}
