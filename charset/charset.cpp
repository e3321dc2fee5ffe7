// Conversion between bytes in a named charset and UString: UTF-8, UTF-16 and the single-byte tables.
#include <cstring>
#include <limits>
#include <new>

#include "charset/charset.h"

namespace {

struct ResolvedCharset {
  CharsetKind kind;
  int32_t param;
};

ResolvedCharset resolveCharset(const char* name) {
  char canonical[64];
  ResolvedCharset resolved{CharsetNone, -1};
  if (lookupCharset(name, canonical, resolved.kind, resolved.param) == nullptr) {
    lookupCharset("ISO-8859-1", canonical, resolved.kind, resolved.param);
  }
  return resolved;
}

// Marks the whole-input mode of the UTF-16 decoder, which ends only at a zero unit.
constexpr std::size_t untilZeroUnit = std::numeric_limits<std::size_t>::max();

// A UString holds fewer than 2^32 units; a longer result is an allocation that cannot succeed.
uint32_t checkedLength(std::size_t units) {
  if (units >= std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
  return static_cast<uint32_t>(units);
}

UString decodeSingleByte(const unsigned char* bytes, std::size_t size, int32_t param) {
  if (size == 0) return UString();
  const ByteToUnicodeTable* table = param > 1 ? byteToUnicodeTables[param % 100] : nullptr;
  UStringBuffer buffer(checkedLength(size));
  char16_t* out = buffer.data();
  for (std::size_t i = 0; i < size; ++i) {
    unsigned char byte = bytes[i];
    out[i] = byte < 0x80 || table == nullptr ? char16_t{byte} : char16_t{table->codePoints[byte - 0x80]};
  }
  return buffer.finish();
}

// One pass of the UTF-8 decoder; counts the units, and stores them too when `out` is given.
std::size_t runUtf8Decoder(const unsigned char* bytes, std::size_t size, char16_t* out) {
  std::size_t count = 0;
  int expected = 0;
  uint16_t accumulator = 0;
  for (std::size_t i = 0; i < size; ++i) {
    unsigned char byte = bytes[i];
    bool continuation = byte >= 0x80 && byte <= 0xBF;
    if (expected > 0) {
      if (!continuation) {
        // The interrupted character and the interrupting byte are both dropped.
        expected = 0;
        accumulator = 0;
        continue;
      }
      accumulator = static_cast<uint16_t>((accumulator << 6) | (byte & 0x3F));
      if (--expected == 0) {
        if (out != nullptr) out[count] = accumulator;
        ++count;
        accumulator = 0;
      }
      continue;
    }
    if (byte < 0x80) {
      if (out != nullptr) out[count] = byte;
      ++count;
    } else if (byte >= 0xC0 && byte <= 0xDF) {
      expected = 1;
      accumulator = byte & 0x1F;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      expected = 2;
      accumulator = byte & 0x0F;
    } else if (byte >= 0xF0 && byte <= 0xF7) {
      expected = 3;
      accumulator = byte & 0x07;
    } else if (byte >= 0xF8 && byte <= 0xFB) {
      expected = 4;
      accumulator = byte & 0x03;
    } else if (byte == 0xFC || byte == 0xFD) {
      expected = 5;
      accumulator = byte & 0x01;
    }
    // Stray continuation bytes and FE, FF are dropped.
  }
  return count;
}

UString decodeUtf8(const unsigned char* bytes, std::size_t size) {
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    bytes += 3;
    size -= 3;
  }
  std::size_t count = runUtf8Decoder(bytes, size, nullptr);
  if (count == 0) return UString();
  UStringBuffer buffer(checkedLength(count));
  runUtf8Decoder(bytes, size, buffer.data());
  return buffer.finish();
}

// `size` bounds the input; untilZeroUnit trusts the input to hold a zero unit.
UString decodeUtf16(const unsigned char* bytes, std::size_t size, bool littleEndian) {
  if (size >= 2 && bytes[0] + bytes[1] == 0x1FD) {
    bytes += 2;
    if (size != untilZeroUnit) size -= 2;
  }
  std::size_t units = 0;
  while ((size == untilZeroUnit || 2 * units + 1 < size) &&
         (bytes[2 * units] != 0 || bytes[2 * units + 1] != 0)) {
    ++units;
  }
  if (units == 0) return UString();
  UStringBuffer buffer(checkedLength(units));
  char16_t* out = buffer.data();
  for (std::size_t i = 0; i < units; ++i) {
    unsigned char first = bytes[2 * i];
    unsigned char second = bytes[2 * i + 1];
    out[i] = littleEndian ? static_cast<char16_t>(first | (second << 8))
                          : static_cast<char16_t>((first << 8) | second);
  }
  return buffer.finish();
}

UString decodeResolved(const unsigned char* bytes, std::size_t size, ResolvedCharset charset) {
  switch (charset.kind) {
    case SingleByte:
      return decodeSingleByte(bytes, size, charset.param);
    case Utf8:
      return decodeUtf8(bytes, size);
    case Utf16:
      return decodeUtf16(bytes, size, charset.param == 1);
    default:
      return UString();
  }
}

char* emptyArray(std::size_t zeroBytes) {
  return new char[zeroBytes]{};
}

char* encodeSingleByte(const UString& text, int32_t param) {
  const UnicodeToByteTable& table = unicodeToByteTables[param % 100];
  uint32_t length = text.length();
  const char16_t* units = text.units();
  char* out = new char[length + 1];
  for (uint32_t i = 0; i < length; ++i) {
    uint16_t unit = units[i];
    uint8_t byte = '?';
    if (unit < 0x80) {
      byte = static_cast<uint8_t>(unit);
    } else if (table.bytes != nullptr) {
      std::size_t page = table.bytes[unit >> 8];
      std::size_t at = 256 * page + (unit & 0xFF);
      if (page != 0 && at < table.size && table.bytes[at] != 0) byte = table.bytes[at];
    }
    out[i] = static_cast<char>(byte);
  }
  out[length] = '\0';
  return out;
}

char* encodeUtf8(const UString& text) {
  uint32_t length = text.length();
  const char16_t* units = text.units();
  std::size_t size = 1;
  for (uint32_t i = 0; i < length; ++i) {
    uint16_t unit = units[i];
    size += unit <= 0x7F ? 1 : unit <= 0x7FF ? 2 : 3;
  }
  char* out = new char[size];
  std::size_t at = 0;
  for (uint32_t i = 0; i < length; ++i) {
    uint16_t unit = units[i];
    if (unit <= 0x7F) {
      out[at++] = static_cast<char>(unit);
    } else if (unit <= 0x7FF) {
      out[at++] = static_cast<char>(0xC0 | (unit >> 6));
      out[at++] = static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out[at++] = static_cast<char>(0xE0 | (unit >> 12));
      out[at++] = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out[at++] = static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  out[at] = '\0';
  return out;
}

char* encodeUtf16(const UString& text, bool littleEndian) {
  std::size_t length = text.length();
  const char16_t* units = text.units();
  char* out = new char[2 * length + 2];
  for (std::size_t i = 0; i < length; ++i) {
    uint16_t unit = units[i];
    auto low = static_cast<char>(unit & 0xFF);
    auto high = static_cast<char>(unit >> 8);
    out[2 * i] = littleEndian ? low : high;
    out[2 * i + 1] = littleEndian ? high : low;
  }
  out[2 * length] = '\0';
  out[2 * length + 1] = '\0';
  return out;
}

}  // namespace

UString decodeBytes(const char* bytes, const char* charset) {
  ResolvedCharset resolved = resolveCharset(charset);
  if (bytes == nullptr) return UString();
  std::size_t size = resolved.kind == Utf16 ? untilZeroUnit : std::strlen(bytes);
  return decodeResolved(reinterpret_cast<const unsigned char*>(bytes), size, resolved);
}

UString decodeBytes(const char* bytes, std::size_t size, const char* charset) {
  if (bytes == nullptr || size == 0) return UString();
  return decodeResolved(reinterpret_cast<const unsigned char*>(bytes), size, resolveCharset(charset));
}

char* encodeText(const UString& text, const char* charset) {
  ResolvedCharset resolved = resolveCharset(charset);
  // An empty UTF-16 result still ends with a whole zero unit, so that readers stop inside the array.
  if (text.isEmpty()) return emptyArray(resolved.kind == Utf16 ? 2 : 1);
  switch (resolved.kind) {
    case SingleByte:
      return encodeSingleByte(text, resolved.param);
    case Utf8:
      return encodeUtf8(text);
    case Utf16:
      return encodeUtf16(text, resolved.param == 1);
    default:
      return emptyArray(1);
  }
}

std::string encodedString(const UString& text, const char* charset) {
  char* bytes = encodeText(text, charset);
  std::string result(bytes);
  delete[] bytes;
  return result;
}
