// Fuzz target: decodeBytes for every kind of charset, against a plain model of each decoder, and the
// decoded text encoded back where that gives the bytes again.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "charset/charset.h"
#include "fuzz/fuzz_support.h"

namespace {

struct CharsetCase {
  const char* name;
  CharsetKind kind;
  bool littleEndian;
};

// Every canonical name, one alias and one unknown name (which must act as ISO-8859-1).
const CharsetCase kCharsets[] = {
    {"UTF-8", Utf8, false},
    {"UTF-16LE", Utf16, true},
    {"UTF-16BE", Utf16, false},
    {"UTF-16", Utf16, false},
    {"ISO-8859-1", SingleByte, false},
    {"ISO-8859-2", SingleByte, false},
    {"ISO-8859-3", SingleByte, false},
    {"ISO-8859-4", SingleByte, false},
    {"ISO-8859-5", SingleByte, false},
    {"ISO-8859-6", SingleByte, false},
    {"ISO-8859-7", SingleByte, false},
    {"ISO-8859-8", SingleByte, false},
    {"ISO-8859-9", SingleByte, false},
    {"ISO-8859-13", SingleByte, false},
    {"ISO-8859-15", SingleByte, false},
    {"windows-1250", SingleByte, false},
    {"windows-1251", SingleByte, false},
    {"windows-1252", SingleByte, false},
    {"windows-1253", SingleByte, false},
    {"windows-1254", SingleByte, false},
    {"windows-1255", SingleByte, false},
    {"windows-1256", SingleByte, false},
    {"windows-1257", SingleByte, false},
    {"windows-1258", SingleByte, false},
    {"latin2", SingleByte, false},
    {"no such charset", SingleByte, false},
};

// The UTF-8 decoder as the product describes it: a byte-order mark skipped at the start, sequences of up
// to six bytes in a 16-bit accumulator, stray and interrupting bytes dropped, an open sequence dropped.
std::vector<char16_t> modelUtf8(const uint8_t* bytes, std::size_t size) {
  std::vector<char16_t> units;
  std::size_t i = 0;
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) i = 3;
  int pending = 0;
  uint32_t accumulator = 0;
  for (; i < size; ++i) {
    uint8_t b = bytes[i];
    if (pending > 0) {
      if (b >= 0x80 && b <= 0xBF) {
        accumulator = ((accumulator << 6) | (b & 0x3F)) & 0xFFFF;
        if (--pending == 0) units.push_back(static_cast<char16_t>(accumulator));
      } else {
        pending = 0;
      }
      continue;
    }
    if (b < 0x80) {
      units.push_back(b);
    } else if (b >= 0xC0 && b <= 0xDF) {
      pending = 1, accumulator = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      pending = 2, accumulator = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF7) {
      pending = 3, accumulator = b & 0x07;
    } else if (b >= 0xF8 && b <= 0xFB) {
      pending = 4, accumulator = b & 0x03;
    } else if (b == 0xFC || b == 0xFD) {
      pending = 5, accumulator = b & 0x01;
    }
  }
  return units;
}

// UTF-16: a leading mark in either order skipped, units up to the first zero unit or the last whole pair.
std::vector<char16_t> modelUtf16(const uint8_t* bytes, std::size_t size, bool littleEndian,
                                 std::size_t& start) {
  std::vector<char16_t> units;
  start = size >= 2 && bytes[0] + bytes[1] == 0x1FD ? 2 : 0;
  for (std::size_t i = start; i + 1 < size; i += 2) {
    char16_t unit = littleEndian ? static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8))
                                 : static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1]);
    if (unit == 0) break;
    units.push_back(unit);
  }
  return units;
}

bool contains(const std::vector<char16_t>& units, char16_t unit) {
  for (char16_t u : units)
    if (u == unit) return true;
  return false;
}

void checkSingleByte(const CharsetCase& charset, const uint8_t* bytes, std::size_t size) {
  std::size_t textSize = strnlen(reinterpret_cast<const char*>(bytes), size);
  fuzz::ExactBytes terminated(bytes, size, 1);
  UString text = decodeBytes(terminated.data(), charset.name);
  FUZZ_CHECK(text.length() == textSize);

  // Exactly `size` bytes: one unit per byte, a zero byte included.
  fuzz::ExactBytes exact(bytes, size, 0);
  UString sized = decodeBytes(exact.data(), exact.size(), charset.name);
  FUZZ_CHECK(sized.length() == size);

  // A table decoder has no state: each byte decodes as it does alone.
  bool identity =
      std::strcmp(charset.name, "ISO-8859-1") == 0 || std::strcmp(charset.name, "no such charset") == 0;
  for (std::size_t i = 0; i < size; ++i) {
    char one[2] = {static_cast<char>(bytes[i]), 0};
    UString alone = decodeBytes(one, 1, charset.name);
    FUZZ_CHECK(alone.length() == 1);
    FUZZ_CHECK(sized.charAt(static_cast<uint32_t>(i)) == alone.charAt(0));
    if (i < textSize) FUZZ_CHECK(text.charAt(static_cast<uint32_t>(i)) == alone.charAt(0));
    if (bytes[i] < 0x80 || identity) FUZZ_CHECK(alone.charAt(0) == bytes[i]);
  }

  // Encoding gives every defined byte back; an undefined one decoded to U+FFFD, which encodes as '?'.
  char* encoded = encodeText(text, charset.name);
  for (std::size_t i = 0; i < textSize; ++i) {
    uint8_t expected = text.charAt(static_cast<uint32_t>(i)) == 0xFFFD ? '?' : bytes[i];
    FUZZ_CHECK(static_cast<uint8_t>(encoded[i]) == expected);
  }
  FUZZ_CHECK(encoded[textSize] == 0);
  delete[] encoded;
}

void checkUtf8(const CharsetCase& charset, const uint8_t* bytes, std::size_t size) {
  std::size_t textSize = strnlen(reinterpret_cast<const char*>(bytes), size);
  fuzz::ExactBytes terminated(bytes, size, 1);
  UString text = decodeBytes(terminated.data(), charset.name);
  std::vector<char16_t> expected = modelUtf8(bytes, textSize);
  FUZZ_CHECK(fuzz::unitsOf(text) == expected);

  fuzz::ExactBytes exact(bytes, size, 0);
  FUZZ_CHECK(fuzz::unitsOf(decodeBytes(exact.data(), exact.size(), charset.name)) == modelUtf8(bytes, size));

  // Encoding back and decoding again gives the text, unless a zero unit would end it early or a leading
  // U+FEFF would be taken for a byte-order mark.
  if (!contains(expected, 0) && (expected.empty() || expected[0] != 0xFEFF)) {
    char* encoded = encodeText(text, charset.name);
    FUZZ_CHECK(decodeBytes(encoded, charset.name) == text);
    delete[] encoded;
  }
}

void checkUtf16(const CharsetCase& charset, const uint8_t* bytes, std::size_t size) {
  // A zero unit ends the text at either alignment: two zero bytes, or three after an odd count.
  fuzz::ExactBytes terminated(bytes, size, 2 + size % 2);
  std::size_t start = 0;
  std::vector<char16_t> expected = modelUtf16(reinterpret_cast<const uint8_t*>(terminated.data()),
                                              size + 2 + size % 2, charset.littleEndian, start);
  UString text = decodeBytes(terminated.data(), charset.name);
  FUZZ_CHECK(fuzz::unitsOf(text) == expected);

  // Exactly `size` bytes: a lone last byte is no unit.
  fuzz::ExactBytes exact(bytes, size, 0);
  std::size_t sizedStart = 0;
  FUZZ_CHECK(fuzz::unitsOf(decodeBytes(exact.data(), exact.size(), charset.name)) ==
             modelUtf16(bytes, size, charset.littleEndian, sizedStart));

  // Encoding gives the same bytes after the mark, then a zero unit.
  char* encoded = encodeText(text, charset.name);
  std::size_t byteCount = 2 * expected.size();
  if (byteCount > 0) {
    FUZZ_CHECK(std::memcmp(encoded, terminated.data() + start, byteCount) == 0);
    FUZZ_CHECK(encoded[byteCount] == 0 && encoded[byteCount + 1] == 0);
  } else {
    FUZZ_CHECK(encoded[0] == 0);
  }
  delete[] encoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const CharsetCase& charset = kCharsets[data[0] % (sizeof kCharsets / sizeof kCharsets[0])];
  switch (charset.kind) {
    case Utf8:
      checkUtf8(charset, data + 1, size - 1);
      break;
    case Utf16:
      checkUtf16(charset, data + 1, size - 1);
      break;
    default:
      checkSingleByte(charset, data + 1, size - 1);
      break;
  }
  return 0;
}
