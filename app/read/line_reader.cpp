// The line reader: a plain line cut in one pass over its bytes, any other decoded and read the long way.
#include "app/read/line_reader.h"

#include <cstring>
#include <utility>

#include "app/read/line_scans.h"
#include "charset/charset.h"

using namespace line_scans;

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

LineReader::LineReader(ByteSource& source, const InputSummary& input, std::vector<char> buffer)
    : cutter_(source, input.size, std::move(buffer)),
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
