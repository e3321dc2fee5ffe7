// The charset registry: canonical names with their aliases, and the lookup that resolves a name.
#include <cstdio>
#include <cstring>

#include "charset/charset.h"

// Each alias list ends with an empty string: the literal's own terminator follows the last "\0".
// One literal per alias, so that no "\0" can run into a following digit as an octal escape.
const CharsetEntry charsetRegistry[25] = {
    {"ISO-8859-1",
     "csISOLatin1\0"
     "latin1\0"
     "IBM-819\0"
     "iso-ir-100\0"
     "8859_1\0"
     "ISO_8859-1:1987\0"
     "ISO_8859-1\0"
     "819\0"
     "l1\0"
     "ISO8859-1\0"
     "IBM819\0"
     "ISO_8859_1\0"
     "ISO8859_1\0"
     "cp819\0"},
    {"ISO-8859-13",
     "8859_13\0"
     "iso8859_13\0"
     "iso_8859-13\0"
     "ISO8859-13\0"},
    {"ISO-8859-15",
     "IBM923\0"
     "8859_15\0"
     "ISO_8859-15\0"
     "ISO-8859-15\0"
     "L9\0"
     "ISO8859-15\0"
     "ISO8859_15_FDIS\0"
     "923\0"
     "LATIN0\0"
     "csISOlatin9\0"
     "LATIN9\0"
     "csISOlatin0\0"
     "IBM-923\0"
     "ISO8859_15\0"
     "cp923\0"},
    {"ISO-8859-2",
     "csISOLatin2\0"
     "iso-ir-101\0"
     "ibm-912\0"
     "8859_2\0"
     "l2\0"
     "ISO_8859-2\0"
     "ibm912\0"
     "912\0"
     "ISO8859-2\0"
     "latin2\0"
     "iso8859_2\0"
     "ISO_8859-2:1987\0"
     "cp912\0"},
    {"ISO-8859-3",
     "ibm-913\0"
     "latin3\0"
     "csISOLatin3\0"
     "iso-ir-109\0"
     "l3\0"
     "iso8859_3\0"
     "ISO_8859-3:1988\0"
     "8859_3\0"
     "ibm913\0"
     "ISO8859-3\0"
     "ISO_8859-3\0"
     "913\0"
     "cp913\0"},
    {"ISO-8859-4",
     "iso-ir-110\0"
     "iso8859-4\0"
     "ibm914\0"
     "ibm-914\0"
     "csISOLatin4\0"
     "l4\0"
     "914\0"
     "8859_4\0"
     "latin4\0"
     "ISO_8859-4\0"
     "ISO_8859-4:1988\0"
     "iso8859_4\0"
     "cp914\0"},
    {"ISO-8859-5",
     "cp915\0"
     "ISO8859-5\0"
     "ibm915\0"
     "ISO_8859-5:1988\0"
     "ibm-915\0"
     "8859_5\0"
     "915\0"
     "cyrillic\0"
     "iso8859_5\0"
     "ISO_8859-5\0"
     "iso-ir-144\0"
     "csISOLatinCyrillic\0"},
    {"ISO-8859-6",
     "arabic\0"
     "ibm1089\0"
     "iso8859_6\0"
     "iso-ir-127\0"
     "8859_6\0"
     "cp1089\0"
     "ECMA-114\0"
     "ISO_8859-6\0"
     "csISOLatinArabic\0"
     "1089\0"
     "ibm-1089\0"
     "ISO8859-6\0"
     "ASMO-708\0"
     "ISO_8859-6:1987\0"},
    {"ISO-8859-7",
     "iso8859-7\0"
     "sun_eu_greek\0"
     "csISOLatinGreek\0"
     "813\0"
     "ISO_8859-7\0"
     "ibm-813\0"
     "ISO_8859-7:1987\0"
     "greek\0"
     "greek8\0"
     "iso8859_7\0"
     "ECMA-118\0"
     "iso-ir-126\0"
     "8859_7\0"
     "cp813\0"
     "ibm813\0"
     "ELOT_928\0"},
    {"ISO-8859-8",
     "ibm916\0"
     "cp916\0"
     "csISOLatinHebrew\0"
     "ISO_8859-8\0"
     "ISO8859-8\0"
     "ibm-916\0"
     "iso8859_8\0"
     "hebrew\0"
     "916\0"
     "iso-ir-138\0"
     "ISO_8859-8:1988\0"
     "8859_8\0"},
    {"ISO-8859-9",
     "ISO_8859-9\0"
     "920\0"
     "iso8859_9\0"
     "csISOLatin5\0"
     "l5\0"
     "8859_9\0"
     "latin5\0"
     "ibm920\0"
     "iso-ir-148\0"
     "ISO_8859-9:1989\0"
     "ISO8859-9\0"
     "cp920\0"
     "ibm-920\0"},
    {"UTF-16",
     "utf16\0"
     "UnicodeBig\0"
     "UTF_16\0"
     "unicode\0"},
    {"UTF-16BE",
     "X-UTF-16BE\0"
     "UTF_16BE\0"
     "ISO-10646-UCS-2\0"
     "UnicodeBigUnmarked\0"},
    {"UTF-16LE",
     "UnicodeLittleUnmarked\0"
     "UTF_16LE\0"
     "X-UTF-16LE\0"},
    {"UTF-8",
     "unicode-1-1-utf-8\0"
     "UTF8\0"},
    {"windows-1250",
     "cp1250\0"
     "cp5346\0"},
    {"windows-1251",
     "ansi-1251\0"
     "cp5347\0"
     "cp1251\0"},
    {"windows-1252",
     "cp1252\0"
     "cp5348\0"},
    {"windows-1253",
     "cp5349\0"
     "cp1253\0"},
    {"windows-1254",
     "cp5350\0"
     "cp1254\0"},
    {"windows-1255", "cp1255\0"},
    {"windows-1256", "cp1256\0"},
    {"windows-1257",
     "cp1257\0"
     "cp5353\0"},
    {"windows-1258", "cp1258\0"},
    {nullptr, nullptr},
};

namespace {

char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whole-string ASCII case-insensitive equality; stops at the first difference, so any length is safe.
bool equalsIgnoringAsciiCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (asciiLower(*a) != asciiLower(*b)) return false;
    if (*a == '\0') return true;
  }
}

const char* findName(const CharsetEntry& entry, const char* name) {
  if (equalsIgnoringAsciiCase(name, entry.canonicalName)) return entry.canonicalName;
  for (const char* alias = entry.aliases; *alias != '\0'; alias += std::strlen(alias) + 1) {
    if (equalsIgnoringAsciiCase(name, alias)) return alias;
  }
  return nullptr;
}

// The decimal number behind the last "-" of a canonical name ("windows-1250" gives 1250).
int32_t codePageNumber(const char* canonical) {
  const char* dash = std::strrchr(canonical, '-');
  int number = -1;
  if (dash == nullptr || std::sscanf(dash + 1, "%d", &number) != 1) return -1;
  return number;
}

}  // namespace

const char* lookupCharset(const char* name, char canonical[64], CharsetKind& kind, int32_t& param) {
  canonical[0] = '\0';
  kind = CharsetNone;
  param = -1;
  if (name == nullptr) return nullptr;
  // Every decoded line names its charset canonically. No alias of an earlier row spells a canonical name,
  // so an exact canonical match is the row the full walk would reach, found without the alias lists.
  const CharsetEntry* row = nullptr;
  const char* matched = nullptr;
  for (const CharsetEntry* entry = charsetRegistry; entry->canonicalName != nullptr && row == nullptr;
       ++entry) {
    if (std::strcmp(name, entry->canonicalName) == 0) {
      row = entry;
      matched = entry->canonicalName;
    }
  }
  for (const CharsetEntry* entry = charsetRegistry; entry->canonicalName != nullptr && row == nullptr;
       ++entry) {
    matched = findName(*entry, name);
    if (matched != nullptr) row = entry;
  }
  if (row == nullptr) return nullptr;
  // Canonical names are at most 12 characters; the copy is bounded all the same.
  std::snprintf(canonical, 64, "%s", row->canonicalName);
  if (std::strcmp(canonical, "UTF-8") == 0) {
    kind = Utf8;
    param = 0;
  } else if (std::strcmp(canonical, "UTF-16LE") == 0) {
    kind = Utf16;
    param = 1;
  } else if (std::strcmp(canonical, "UTF-16BE") == 0 || std::strcmp(canonical, "UTF-16") == 0) {
    kind = Utf16;
    param = 0;
  } else {
    kind = SingleByte;
    param = codePageNumber(canonical);
  }
  return matched;
}
