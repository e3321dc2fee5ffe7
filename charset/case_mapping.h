// Full Unicode 9.0 case mapping of whole texts, with the Lithuanian, Turkish and Azeri rules.
#pragma once

#include <cstdint>

#include "text/ustring.h"

// A null locale means "en"; "lt", "tr" and "az" are recognised by their first two bytes.
UString toUpper(const UString& text, const char* locale);
UString toLower(const UString& text, const char* locale);
UString toTitle(const UString& text, const char* locale);

// An unconditional one-to-many mapping; shorter title and upper mappings are padded with zeros.
struct SpecialCasingEntry {
  uint16_t unit;
  uint16_t lower;
  uint16_t title[3];
  uint16_t upper[3];
};

constexpr int32_t specialCasingRowCount = 102;
// Sorted by unit: rows 0-5 below U+1E00, rows 6-89 in U+1E00-U+1FFF, rows 90-101 in U+FB00-U+FBFF.
extern const SpecialCasingEntry specialCasingTable[specialCasingRowCount];

// The row of specialCasingTable for the unit, or -1.
int32_t findSpecialCasing(char16_t unit);
