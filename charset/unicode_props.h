// Unicode 9.0 character properties: 12-byte records and simple case and mirror mappings.
#pragma once

#include <cstdint>

struct CharProperties {
  uint8_t generalCategory;
  uint8_t bidiClass;
  uint8_t combiningClass;
  uint8_t decompositionType;
  uint8_t digitValues;
  uint8_t numericDenominator;
  uint8_t numericNumerator[2];  // little-endian word
  uint8_t upperIndex;
  uint8_t lowerIndex;
  uint8_t titleIndex;
  uint8_t mirrorIndex;
};
static_assert(sizeof(CharProperties) == 12);

bool lookupCharProperties(int32_t codePoint, CharProperties& properties, int32_t& upper, int32_t& lower,
                          int32_t& title, int32_t& mirror);
// The record alone, without the mappings: null for a code point without a record. For the hot loops of
// case mapping, which ask only for the category and the combining class.
const CharProperties* findCharProperties(int32_t codePoint);
bool isWhiteSpace(int32_t codePoint);
bool isSoftDotted(int32_t codePoint);
