// Fuzz target: encodeText for every kind of charset: exact sizes and terminators, single-byte encoding as
// the inverse of decoding, and UTF-8 and UTF-16 texts that decode back to themselves.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "charset/charset.h"
#include "fuzz/fuzz_support.h"

namespace {

const char* const kCharsets[] = {
    "UTF-8",        "UTF-16LE",        "UTF-16BE",     "UTF-16",       "ISO-8859-1",   "ISO-8859-2",
    "ISO-8859-3",   "ISO-8859-4",      "ISO-8859-5",   "ISO-8859-6",   "ISO-8859-7",   "ISO-8859-8",
    "ISO-8859-9",   "ISO-8859-13",     "ISO-8859-15",  "windows-1250", "windows-1251", "windows-1252",
    "windows-1253", "windows-1254",    "windows-1255", "windows-1256", "windows-1257", "windows-1258",
    "latin2",       "no such charset",
};

// For a single-byte charset, the byte that decodes to each unit, read off the decoder itself.
const std::map<char16_t, uint8_t>& decodedBytes(const char* charset) {
  static std::map<std::string, std::map<char16_t, uint8_t>> cache;
  auto found = cache.find(charset);
  if (found != cache.end()) return found->second;
  std::map<char16_t, uint8_t>& bytes = cache[charset];
  for (int b = 1; b < 256; ++b) {
    char one[2] = {static_cast<char>(b), 0};
    UString unit = decodeBytes(one, charset);
    FUZZ_CHECK(unit.length() == 1);
    if (unit.charAt(0) != 0xFFFD) {
      FUZZ_CHECK(bytes.count(unit.charAt(0)) ==
                 0);  // two bytes for one character would make encoding ambiguous
      bytes[unit.charAt(0)] = static_cast<uint8_t>(b);
    }
  }
  return bytes;
}

std::size_t utf8Size(const std::vector<char16_t>& units) {
  std::size_t size = 0;
  for (char16_t unit : units) size += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
  return size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char* charset = kCharsets[data[0] % (sizeof kCharsets / sizeof kCharsets[0])];
  std::vector<char16_t> units = fuzz::unitsFromBytes(data + 1, size - 1);
  UString text = fuzz::textOf(units);
  char* encoded = encodeText(text, charset);
  char canonical[64];
  CharsetKind kind = CharsetNone;
  int32_t param = -1;
  if (lookupCharset(charset, canonical, kind, param) == nullptr) kind = SingleByte;

  if (units.empty()) {
    FUZZ_CHECK(encoded[0] == 0);
    // Whatever reads an encoded empty text in its own charset finds its end inside the array.
    FUZZ_CHECK(decodeBytes(encoded, charset).isEmpty());
  } else if (kind == SingleByte) {
    const std::map<char16_t, uint8_t>& bytes = decodedBytes(charset);
    for (std::size_t i = 0; i < units.size(); ++i) {
      auto found = bytes.find(units[i]);
      uint8_t expected = units[i] == 0 ? 0 : found != bytes.end() ? found->second : '?';
      FUZZ_CHECK(static_cast<uint8_t>(encoded[i]) == expected);
    }
    FUZZ_CHECK(encoded[units.size()] == 0);
  } else if (kind == Utf8) {
    std::size_t byteCount = utf8Size(units);
    FUZZ_CHECK(encoded[byteCount] == 0);
    // Surrogate units travel as three-byte sequences and come back as themselves.
    bool hasZero = false;
    for (char16_t unit : units) hasZero = hasZero || unit == 0;
    if (!hasZero && units[0] != 0xFEFF) {
      FUZZ_CHECK(std::strlen(encoded) == byteCount);
      FUZZ_CHECK(decodeBytes(encoded, charset) == text);
    }
  } else {
    bool littleEndian = param == 1;
    for (std::size_t i = 0; i < units.size(); ++i) {
      uint8_t first = static_cast<uint8_t>(encoded[2 * i]);
      uint8_t second = static_cast<uint8_t>(encoded[2 * i + 1]);
      char16_t unit = littleEndian ? static_cast<char16_t>(first | (second << 8))
                                   : static_cast<char16_t>((first << 8) | second);
      FUZZ_CHECK(unit == units[i]);
    }
    FUZZ_CHECK(encoded[2 * units.size()] == 0 && encoded[2 * units.size() + 1] == 0);
    bool hasZero = false;
    for (char16_t unit : units) hasZero = hasZero || unit == 0;
    if (!hasZero && units[0] != 0xFEFF && units[0] != 0xFFFE)
      FUZZ_CHECK(decodeBytes(encoded, charset) == text);
  }
  delete[] encoded;
  return 0;
}
