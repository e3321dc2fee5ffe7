// Lookup of the generated Unicode 9.0 property pages, and the White_Space and Soft_Dotted predicates.
#include "charset/unicode_props.h"

#include <algorithm>
#include <iterator>

#include "charset/data/unicode_tables.h"

namespace {

constexpr CharProperties defaultCharProperties = {15, 0, 0, 127, 0xFF, 1, {0xFF, 0xFF}, 0, 0, 0, 0};

}  // namespace

const CharProperties* findCharProperties(int32_t codePoint) {
  if (codePoint < 0 || codePoint > 0x10FFFF) return nullptr;
  if (codePoint > 0xEFFFF) return &defaultCharProperties;  // planes 15 and 16 are private use as a whole
  if (codePoint >= 0x30000 && codePoint <= 0xDFFFF) return nullptr;
  int32_t slot = codePoint >> 8;
  if (slot > 0xDFF) slot -= 0xB00;
  const CharPropertiesPage& page = charPropertiesPages[slot];
  if (page.records == nullptr) return nullptr;
  uint8_t number = static_cast<uint8_t>(codePoint & 0xFF);
  if (page.index != nullptr) number = page.index[number];
  if (number == noCharPropertiesRecord) return nullptr;
  return &page.records[number];
}

bool lookupCharProperties(int32_t codePoint, CharProperties& properties, int32_t& upper, int32_t& lower,
                          int32_t& title, int32_t& mirror) {
  properties = defaultCharProperties;
  upper = lower = title = mirror = codePoint;
  const CharProperties* found = findCharProperties(codePoint);
  if (found == nullptr) return false;
  properties = *found;
  upper = codePoint + upperDeltas[properties.upperIndex];
  lower = codePoint + lowerDeltas[properties.lowerIndex];
  title = codePoint + titleDeltas[properties.titleIndex];
  mirror = codePoint + mirrorDeltas[properties.mirrorIndex];
  return true;
}

bool isWhiteSpace(int32_t codePoint) {
  constexpr int32_t singles[] = {0x0020, 0x0085, 0x00A0, 0x1680, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  if (codePoint >= 0x0009 && codePoint <= 0x000D) return true;
  if (codePoint >= 0x2000 && codePoint <= 0x200A) return true;
  if (codePoint < 0x0020 || codePoint > 0x3000 || (codePoint > 0x0020 && codePoint < 0x0085)) return false;
  return std::find(std::begin(singles), std::end(singles), codePoint) != std::end(singles);
}

bool isSoftDotted(int32_t codePoint) {
  constexpr int32_t singles[] = {0x0069, 0x006A, 0x012F, 0x0249, 0x0268, 0x029D, 0x02B2,
                                 0x03F3, 0x0456, 0x0458, 0x1D62, 0x1D96, 0x1DA4, 0x1DA8,
                                 0x1E2D, 0x1ECB, 0x2071, 0x2148, 0x2149, 0x2C7C};
  // i and j first, then nothing up to U+012F: the common letters answer without the search.
  if (codePoint < 0x0069) return false;
  if (codePoint <= 0x006A) return true;
  if (codePoint < 0x012F) return false;
  if (codePoint <= 0x2C7C)
    return std::find(std::begin(singles), std::end(singles), codePoint) != std::end(singles);
  // The mathematical alphanumerics: small i and j of each of the 13 styles, 52 code points apart.
  if (codePoint < 0x1D422 || codePoint > 0x1D693) return false;
  int32_t offset = (codePoint - 0x1D422) % 52;
  return offset == 0 || offset == 1;
}
