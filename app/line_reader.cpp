// The line reader: detection, cutting, normalisation, classification and splitFields.
#include "app/line_reader.h"

#include <bit>
#include <cstring>

namespace {

UString copyUnits(const char16_t* units, uint32_t count) {
  if (count == 0) return UString();
  UStringBuffer buffer(count);
  std::memcpy(buffer.data(), units, count * sizeof(char16_t));
  return buffer.finish();
}

}  // namespace

bool looksLikeUtf8(const char* bytes, std::size_t size) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes);
  int pending = 0;
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
      if (b < 0x80 || b > 0xBF) return false;
      --pending;
    } else if (b < 0x80) {
      continue;
    } else if (b < 0xC0) {
      return false;
    } else if (b < 0xE0) {
      pending = 1;
    } else if (b < 0xF0) {
      pending = 2;
    } else if (b < 0xF8) {
      pending = 3;
    } else {
      return false;
    }
  }
  return true;
}

const char* detectCharset(const char* bytes, std::size_t size) {
  return looksLikeUtf8(bytes, size) ? "UTF-8" : "ISO-8859-2";
}

bool LineCutter::next(RawLine& line) {
  std::size_t p = start_;
  while (p < size_ && bytes_[p] != '\0' && bytes_[p] != '\r' && bytes_[p] != '\n') ++p;
  const bool atNul = p < size_ && bytes_[p] == '\0';
  const bool nulEndsImage = atNul && p + 1 == size_;
  if (p == start_ && (p == size_ || nulEndsImage)) {
    start_ = size_;
    return false;
  }
  line.bytes = bytes_ + start_;
  line.size = p - start_;
  line.holdsNul = atNul && !nulEndsImage;
  if (p == size_ || atNul) {
    start_ = size_;
  } else if (bytes_[p] == '\r' && p + 1 < size_ && bytes_[p + 1] == '\n') {
    start_ = p + 2;
  } else {
    start_ = p + 1;
  }
  return true;
}

namespace {

// What normalisation does to a line: the range it keeps, and whether units inside that range change.
struct Normalisation {
  uint32_t begin;
  uint32_t end;
  bool hasSemicolon;
  bool unitsChange;
};

Normalisation scanNormalisation(const char16_t* units, uint32_t length, bool firstLine) {
  uint32_t begin = 0;
  uint32_t end = length;
  if (firstLine && end > 0 && units[0] == 0xFEFF) begin = 1;
  // A quote becomes a blank, so it is trimmed like one.
  auto blank = [](char16_t unit) { return isBlankUnit(unit) || unit == u'"'; };
  while (begin < end && blank(units[begin])) ++begin;
  while (end > begin && (blank(units[end - 1]) || units[end - 1] == u';' || units[end - 1] == u',')) --end;
  // One branch-free pass (the compiler vectorises it) tells which of ';', ',' and '"' occur.
  // Sixteen-bit flags keep the vector lanes as wide as the units.
  uint16_t seen = 0;
  for (uint32_t i = begin; i < end; ++i) {
    const char16_t unit = units[i];
    seen |= static_cast<uint16_t>((unit == u';') | (unit == u',') << 1 | (unit == u'"') << 2);
  }
  const bool hasSemicolon = (seen & 1) != 0;
  const bool hasComma = (seen & 2) != 0;
  const bool hasQuote = (seen & 4) != 0;
  return Normalisation{begin, end, hasSemicolon, hasQuote || (hasComma && !hasSemicolon)};
}

void rewriteUnits(const char16_t* from, char16_t* to, uint32_t count, bool hasSemicolon) {
  for (uint32_t i = 0; i < count; ++i) {
    char16_t unit = from[i];
    if (unit == u'"') unit = u' ';
    if (unit == u',' && !hasSemicolon) unit = u';';
    to[i] = unit;
  }
}

}  // namespace

UString normaliseLine(const UString& decoded, bool firstLine) {
  const char16_t* units = decoded.units();
  const Normalisation n = scanNormalisation(units, decoded.length(), firstLine);
  if (n.begin == 0 && n.end == decoded.length() && !n.unitsChange) return decoded;
  UStringBuffer buffer(n.end - n.begin);
  rewriteUnits(units + n.begin, buffer.data(), n.end - n.begin, n.hasSemicolon);
  return buffer.finish();
}

FieldSpan normaliseUnits(char16_t* line, uint32_t length, bool firstLine) {
  const Normalisation n = scanNormalisation(line, length, firstLine);
  if (n.unitsChange) rewriteUnits(line + n.begin, line + n.begin, n.end - n.begin, n.hasSemicolon);
  return FieldSpan{n.begin, n.end};
}

namespace {

// The field from `start` up to `end`, trimmed.
FieldSpan trimmedSpan(const char16_t* units, uint32_t start, uint32_t end) {
  while (start < end && isBlankUnit(units[start])) ++start;
  while (end > start && isBlankUnit(units[end - 1])) --end;
  return FieldSpan{start, end};
}

}  // namespace

void splitFieldSpans(const UString& line, std::vector<FieldSpan>& spans) {
  splitFieldSpans(line.units(), line.length(), spans);
}

void splitFieldSpans(const char16_t* units, uint32_t length, std::vector<FieldSpan>& spans) {
  spans.clear();
  if (length == 0) return;
  uint32_t start = 0;
  uint32_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Four units at a time: a lane of the word is zero exactly where its unit is ';', and adding 0x7FFF
    // to the low fifteen bits of each lane sets the lane's top bit unless the lane is zero; no carry
    // crosses lanes, so every flagged lane is a ';'. Lanes are in memory order on this machine.
    constexpr uint64_t kSemicolons = 0x003B003B003B003Bu;
    constexpr uint64_t kLow15 = 0x7FFF7FFF7FFF7FFFu;
    for (; i + 4 <= length; i += 4) {
      uint64_t word;
      std::memcpy(&word, units + i, sizeof word);
      const uint64_t x = word ^ kSemicolons;
      for (uint64_t lanes = ~(((x & kLow15) + kLow15) | x) & ~kLow15; lanes != 0; lanes &= lanes - 1) {
        const uint32_t end = i + static_cast<uint32_t>(std::countr_zero(lanes)) / 16;
        spans.push_back(trimmedSpan(units, start, end));
        start = end + 1;
      }
    }
  }
  for (; i < length; ++i) {
    if (units[i] != u';') continue;
    spans.push_back(trimmedSpan(units, start, i));
    start = i + 1;
  }
  spans.push_back(trimmedSpan(units, start, length));
}

void splitFields(const UString& line, std::vector<UString>& fields) {
  fields.clear();
  std::vector<FieldSpan> spans;
  splitFieldSpans(line, spans);
  for (const FieldSpan& span : spans)
    fields.push_back(copyUnits(line.units() + span.begin, span.end - span.begin));
}

std::vector<UString> splitFields(const UString& line) {
  std::vector<UString> fields;
  splitFields(line, fields);
  return fields;
}

namespace {

// Comments and lines in braces are skipped before they are split.
bool mayBeContent(const char16_t* units, uint32_t length) {
  if (length == 0) return false;
  if (units[0] == u'#') return false;
  return !(units[0] == u'{' && units[length - 1] == u'}');
}

}  // namespace

bool isContentLine(const UString& line, std::vector<UString>& fields) {
  fields.clear();
  if (!mayBeContent(line.units(), line.length())) return false;
  splitFields(line, fields);
  for (const UString& field : fields) {
    if (!field.isEmpty()) return true;
  }
  return false;
}

bool isContentLine(const UString& line, std::vector<FieldSpan>& spans) {
  return isContentLine(line.units(), line.length(), spans);
}

bool isContentLine(const char16_t* line, uint32_t length, std::vector<FieldSpan>& spans) {
  spans.clear();
  if (!mayBeContent(line, length)) return false;
  splitFieldSpans(line, length, spans);
  for (const FieldSpan& span : spans) {
    if (span.begin != span.end) return true;
  }
  return false;
}
