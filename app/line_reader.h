// The line reader: charset detection over the file image, cutting lines, normalising and splitting them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/ustring.h"

// True when the bytes hold no sequence that rules out UTF-8 (a sequence cut off by the end is fine;
// overlong forms and encoded surrogates are not looked for). An empty image counts as UTF-8.
bool looksLikeUtf8(const char* bytes, std::size_t size);
// "UTF-8" or "ISO-8859-2", the charset every line of the image is decoded with.
const char* detectCharset(const char* bytes, std::size_t size);

// One line of the image, without its end.
struct RawLine {
  const char* bytes;
  std::size_t size;
  // A NUL byte stands in the line and is not the last byte of the image.
  bool holdsNul;
};

// Cuts the image into lines: CR LF, a lone LF and a lone CR each end one line; an end at the very end
// of the image starts no further line; a NUL as the last byte of the image just ends it.
class LineCutter {
 public:
  LineCutter(const char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  // False when the image has ended. A line holding a NUL is the last one given.
  bool next(RawLine& line);

 private:
  const char* bytes_;
  std::size_t size_;
  std::size_t start_ = 0;
};

// Drops a leading U+FEFF on the first line, turns '"' into blanks, trims blanks at both ends, drops
// trailing ';', ',' and blanks, and turns ',' into ';' when the line has no ';'.
UString normaliseLine(const UString& decoded, bool firstLine);

// A field of a normalised line: the units from `begin` up to `end` of the line, already trimmed.
struct FieldSpan {
  uint32_t begin;
  uint32_t end;
};
// The fields of a normalised line as spans, cut and trimmed exactly as splitFields does, without copying.
void splitFieldSpans(const UString& line, std::vector<FieldSpan>& spans);
void splitFieldSpans(const char16_t* line, uint32_t length, std::vector<FieldSpan>& spans);
// Answers like isContentLine below, with the fields as spans.
bool isContentLine(const UString& line, std::vector<FieldSpan>& spans);
bool isContentLine(const char16_t* line, uint32_t length, std::vector<FieldSpan>& spans);

// normaliseLine in place, for a line decoded into a buffer of its own: rewrites the units of `line` and
// gives the range of them that the normalised line is.
FieldSpan normaliseUnits(char16_t* line, uint32_t length, bool firstLine);

// The fields of a normalised line, cut at every ';' and trimmed; an empty line has none.
std::vector<UString> splitFields(const UString& line);
// The same into a reused vector, for the line loop.
void splitFields(const UString& line, std::vector<UString>& fields);

// Splits a normalised line into `fields` and answers whether it goes to a handler: comments ("#..."),
// lines in braces, empty lines and lines whose fields are all empty are skipped.
bool isContentLine(const UString& line, std::vector<UString>& fields);
