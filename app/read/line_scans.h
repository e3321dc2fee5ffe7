// The fast scans of one line that the reader's paths share: separators, normalisation, cutting into
// fields, and telling content from comments. Inline: each runs once per line.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "app/read/error_values.h"
#include "app/read/line_reader.h"

namespace line_scans {

// The units that separate fields outside quoted cells, as bits by unit value (all are below 64).
using SeparatorSet = uint64_t;
constexpr SeparatorSet kSemicolonBit = SeparatorSet{1} << ';';
constexpr SeparatorSet kCommaBit = SeparatorSet{1} << ',';
constexpr SeparatorSet kTabBit = SeparatorSet{1} << '\t';

// A line of a ';' file is cut at its ';', or at its commas when it has none outside quoted cells.
inline SeparatorSet separatorsOf(FieldSeparator file) {
  switch (file) {
    case FieldSeparator::Comma:
      return kCommaBit;
    case FieldSeparator::Tab:
      return kTabBit;
    default:
      return kSemicolonBit | kCommaBit;
  }
}

inline bool separates(char16_t unit, SeparatorSet set) {
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

inline ByteScan scanBytes(const char* bytes, std::size_t size) {
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
inline uint64_t lanesOf(uint64_t word, unsigned char byte) {
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
inline uint32_t cutUsualLine(const char* bytes, std::size_t size, std::vector<FieldSpan>& store,
                             std::size_t& count, bool& errorMarks) {
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

inline bool holdsQuote(const char16_t* units, uint32_t begin, uint32_t end) {
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

}  // namespace line_scans
