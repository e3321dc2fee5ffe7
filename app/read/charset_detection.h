// Charset detection and the summary of an input that a first pass over its bytes gives.
#pragma once

#include <cstddef>
#include <cstdint>

// True when the bytes hold no sequence that rules out UTF-8 (a sequence cut off by the end is fine;
// overlong forms and encoded surrogates are not looked for). An empty image counts as UTF-8.
bool looksLikeUtf8(const char* bytes, std::size_t size);
// The charset every line of the image is decoded with: "UTF-8" when the image starts with the UTF-8
// byte-order mark, whatever follows, or when the bytes may be UTF-8; otherwise "windows-1250" when a byte
// from 0x80 to 0x9F occurs (control codes in ISO-8859-2, but letters and punctuation in the Windows code
// page that spreadsheets on Hungarian Windows save), else "ISO-8859-2".
const char* detectCharset(const char* bytes, std::size_t size);
// True when the bytes are well-formed UTF-8 as the Unicode standard defines it: no overlong form, no
// encoded surrogate, nothing beyond U+10FFFF, no sequence cut short. Reading checks every line it decodes
// as UTF-8 with it, since the decoder reads the other forms too (C0 BB as ';').
bool isWellFormedUtf8(const char* bytes, std::size_t size);

// What a first pass over the whole input tells before its lines are read.
struct InputSummary {
  std::size_t size = 0;
  // As detectCharset gives it for the whole input.
  const char* charset = "UTF-8";
  // One past the input's last '"' byte, 0 when it holds none.
  std::size_t quotesEnd = 0;
  // The input starts with a UTF-16 byte-order mark (FF FE or FE FF).
  bool utf16Mark = false;
  // InputChecksum of the bytes, from a read in blocks; 0 otherwise.
  std::uint64_t checksum = 0;
};

// Builds an InputSummary from the input's bytes handed over in blocks, in order.
class InputScan {
 public:
  void add(const char* bytes, std::size_t size);
  std::size_t size() const { return size_; }
  InputSummary summary() const;

 private:
  std::size_t size_ = 0;
  // Continuation bytes still due; -1 once a byte has ruled UTF-8 out.
  int pending_ = 0;
  bool windowsBytes_ = false;
  std::size_t quotesEnd_ = 0;
  // The first bytes, for the UTF-16 and UTF-8 byte-order marks.
  unsigned char head_[3] = {0, 0, 0};
};

// What a look at bytes as UTF-8 tells.
enum class Utf8Form { IllFormed, WellFormed, BeyondUFFFF };
// Well-formed as isWellFormedUtf8 tells, and whether a character beyond U+FFFF occurs.
Utf8Form utf8Form(const char* text, std::size_t size);
