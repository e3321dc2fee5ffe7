// The charset registry and conversion between bytes and UString.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/ustring.h"

enum CharsetKind : int8_t { CharsetNone = -1, SingleByte = 0, Utf8 = 1, Utf16 = 2 };

// Resolves a name (canonical or alias, ASCII case-insensitive) to its row. `canonical` (64 bytes)
// receives the canonical name or stays empty; kind and param are -1 when nothing matched.
// Returns the matched registry string, or null.
const char* lookupCharset(const char* name, char canonical[64], CharsetKind& kind, int32_t& param);

// Decodes NUL-terminated bytes (for UTF-16: up to the first zero unit). Unknown names act as ISO-8859-1.
UString decodeBytes(const char* bytes, const char* charset);
// Decodes exactly `size` bytes (UTF-16 still ends at a zero unit); same rules otherwise.
UString decodeBytes(const char* bytes, std::size_t size, const char* charset);

// Encodes into a new NUL-terminated array (two zero bytes for UTF-16) that the caller releases with delete[].
char* encodeText(const UString& text, const char* charset);
