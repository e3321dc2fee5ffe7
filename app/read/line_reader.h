// The line reader: quoted cells, separators, normalising and splitting each line into fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/read/charset_detection.h"
#include "app/read/line_cutter.h"
#include "text/ustring.h"

// A field of a normalised line: the units from `begin` up to `end` of the line, already trimmed.
struct FieldSpan {
  uint32_t begin;
  uint32_t end;
};

// A line as the handlers see it: its normalised units and its fields as spans over them.
struct LineFields {
  // Null for a plain line read without its units (LineReader::next): `bytes` then stand for them.
  const char16_t* units = u"";
  const FieldSpan* spans = nullptr;
  std::size_t count = 0;
  // A cell may hold a ';': the line held a quote, or the file's separator leaves its ';' as text. A quoted
  // cell may also hold a line end.
  bool quoted = false;
  // Line ends inside quoted cells that the line holds (each read as one blank).
  std::size_t breakCount = 0;
  // For a line of ASCII bytes without quotes: its bytes, one a unit, where the spans hold as they do in
  // `units`; null for any other line. The spans alone say where fields end: a separating ',' stays a ','.
  const char* bytes = nullptr;
  // Some field may start with '#' or 'E', as every spreadsheet error value does; cleared only where one
  // look at the line has shown that none does.
  bool errorMarks = true;

  uint32_t length(std::size_t field) const {
    return field < count ? spans[field].end - spans[field].begin : 0;
  }
  // The field's units; only for a line read with its units.
  const char16_t* begin(std::size_t field) const { return field < count ? units + spans[field].begin : u""; }
  // The field as a text of its own; empty for a field the line does not reach.
  UString text(std::size_t field) const;
  // A ';' stands in the field: only a quoted cell, or a field of a ',' or tab file, can hold one.
  bool holdsSemicolon(std::size_t field) const;
};

// A unit of a line: a byte of a plain ASCII line, or a decoded unit.
inline char16_t unitOf(char byte) {
  return static_cast<unsigned char>(byte);
}
inline char16_t unitOf(char16_t unit) {
  return unit;
}

// What the reader gives for each line of the image.
struct ReadLine {
  // The number of the line's first physical line; a quoted cell may carry it over further ones.
  int32_t number = 0;
  // The number of its last physical line.
  int32_t lastNumber = 0;
  // A physical line held a NUL byte, or, read as UTF-8, bytes that are not well-formed UTF-8 or a
  // character beyond U+FFFF, which sixteen-bit units cannot hold; `number` is that physical line's number
  // and nothing else of the line is given.
  enum class Damage { None, NulByte, InvalidSequence } damage = Damage::None;
  // The line goes to a handler: not a comment (a line starting with '#', unless its first field is a
  // spreadsheet's error value), not a line in braces, not a line of empty fields.
  bool content = false;
  LineFields fields;
  // The normalised line: quotes as blanks, trimmed, trailing separators dropped; null when `fields` has
  // no units.
  const char16_t* units = u"";
  uint32_t length = 0;
};

// What separates the fields of a file. Its first content line decides, by what stands outside its quoted
// cells: a ',' without a ';' makes a ',' file, a TAB without either a tab file, anything else a ';' file (a
// line of it without a ';' is cut at its commas). A ',' or tab file is cut only at its separator: a ';' (and
// in a tab file a ',') is text, which a spreadsheet saving with that separator leaves unquoted.
enum class FieldSeparator { Semicolon, Comma, Tab };

// Reads the image line by line: decodes each physical line with the charset, follows quoted cells over
// line ends, normalises, splits and classifies. The units of a line stay valid until the next call.
//
// Quoted cells are read as spreadsheets write them: a cell opens at a '"' that is the first non-blank unit
// of the line or after a separator that stands outside quoted cells; inside it "" stands for one quote and
// the next lone '"' closes it. A separator inside a quoted cell is text. Every '"' reads as a blank, a
// doubled one inside a quoted cell as one. A cell still open at the end of a line goes on over the line end
// (read as one blank) when a '"' follows later in the image; otherwise its opening quote was an ordinary one
// and the rest of the line is read unquoted. Lines up to the first content line are read as in a ';' file;
// a TAB that separates is an empty field where it leads a line, never a blank to trim.
class LineReader {
 public:
  LineReader(const char* bytes, std::size_t size, const char* charset);
  // Reads the input that `input` summarises from `source`, in blocks read into `buffer`.
  LineReader(ByteSource& source, const InputSummary& input, std::vector<char> buffer = {});
  // False when the image has ended. A plain line (ASCII without a quote) is widened to units only when
  // `plainUnits` is set; otherwise its fields carry only its bytes, which is all the item step reads.
  bool next(ReadLine& line, bool plainUnits = true);
  // The stream could not be read to the end that the summary gave: the lines given may be cut short.
  bool readFailed() const { return cutter_.readFailed(); }
  // Physical lines read so far.
  int32_t linesRead() const { return linesRead_; }
  // Once the lines wanted are read: the rest of a stream read without its lines, and the InputChecksum of
  // all its bytes, to compare with the first pass.
  std::uint64_t checksumToEnd() { return cutter_.checksumToEnd(); }

 private:
  void startLine(ReadLine& line) const;
  // A line that the one-pass cut of a ';' file does not take.
  void readLine(ReadLine& line, const RawLine& raw, bool plainUnits);
  // Decides the file's separator by the first content line and reads a line with quotes again by it; true
  // when a line without quotes, still at `raw`, must be read again.
  bool decideSeparator(ReadLine& line, const RawLine& raw);
  void appendAscii(const RawLine& raw);
  ReadLine::Damage appendDecoded(const RawLine& raw);
  ReadLine::Damage readQuoted(ReadLine& line, uint32_t begin);
  void dropDoubledQuotes();
  void splitFields(ReadLine& line, uint32_t begin, uint32_t end);
  // A plain line, normalised to its `kept` bytes and cut into the first `count` spans, as the handlers
  // get it: widened to units only when `plainUnits` is set.
  void givePlainLine(ReadLine& line, const char* bytes, uint32_t kept, std::size_t count, bool plainUnits,
                     bool semicolonText);
  void setFields(LineFields& fields, const char16_t* units, std::size_t count, bool quoted,
                 std::size_t breakCount, const char* bytes) const;

  LineCutter cutter_;
  const char* charset_;
  bool utf8_;
  // One past the image's last '"' byte, 0 when it holds none: a cell open at a line end goes on only
  // when a quote follows.
  std::size_t quotesEnd_;
  int32_t linesRead_ = 0;
  std::vector<char16_t> units_;
  std::vector<FieldSpan> spans_;
  std::vector<uint32_t> breaks_;
  // Separators outside quoted cells, and the second quote of each doubled quote inside them, by position,
  // while a line with quotes is read.
  std::vector<uint32_t> separators_;
  std::vector<uint32_t> doubled_;
  FieldSeparator separator_ = FieldSeparator::Semicolon;
  bool separatorDecided_ = false;
  // While the separator is undecided, a line with quotes as it stood before they were read.
  bool firstQuoted_ = false;
  uint32_t firstBegin_ = 0;
  std::vector<char16_t> firstUnits_;
  std::vector<uint32_t> firstBreaks_;
};
