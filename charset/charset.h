// The charset registry and conversion between bytes and UString.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/ustring.h"

enum CharsetKind : int8_t { CharsetNone = -1, SingleByte = 0, Utf8 = 1, Utf16 = 2 };

// One registry row: the canonical name and its aliases, NUL-terminated strings end to end closed by "".
struct CharsetEntry {
  const char* canonicalName;
  const char* aliases;
};
// The 24 charsets in lookup order, closed by a row whose canonical name is null.
extern const CharsetEntry charsetRegistry[25];

// Decode table of a single-byte charset: the code points of the bytes 0x80 to 0xFF; U+FFFD where the
// code page leaves a byte undefined.
struct ByteToUnicodeTable {
  uint16_t codePoints[128];
};
// Encode table of a single-byte charset: a page map of 256 bytes indexed by the high byte (0: nothing
// encodable), then 256-byte pages, page p at byte offset 256 * p, indexed by the low byte (0: not encodable).
struct UnicodeToByteTable {
  const uint8_t* bytes;
  std::size_t size;
};
// Both tables of every single-byte charset, at slot (charset parameter % 100); unused slots are empty.
extern const ByteToUnicodeTable* const byteToUnicodeTables[100];
extern const UnicodeToByteTable unicodeToByteTables[100];

// Resolves a name (canonical or alias, ASCII case-insensitive) to its row. `canonical` (64 bytes)
// receives the canonical name or stays empty; kind and param are -1 when nothing matched.
// Returns the matched registry string, or null.
const char* lookupCharset(const char* name, char canonical[64], CharsetKind& kind, int32_t& param);

// Decodes NUL-terminated bytes (for UTF-16: up to the first zero unit, which the bytes must hold).
// Unknown names act as ISO-8859-1.
UString decodeBytes(const char* bytes, const char* charset);
// Decodes exactly `size` bytes (UTF-16 still ends at a zero unit); same rules otherwise.
UString decodeBytes(const char* bytes, std::size_t size, const char* charset);

// Encodes into a new NUL-terminated array (two zero bytes for UTF-16, even for the empty text) that the
// caller releases with delete[].
char* encodeText(const UString& text, const char* charset);
// The same as a string, up to the first zero byte: for the single-byte charsets and UTF-8, whose only zero
// byte is the end unless the text holds U+0000.
std::string encodedString(const UString& text, const char* charset);
