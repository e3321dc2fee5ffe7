// valueOf: new texts from a code unit, a truth value, an integer (radix, width, pad) or a floating value.
#pragma once

#include <cstdint>

#include "text/ustring.h"

UString valueOf(char16_t unit);
UString valueOf(bool value);
// Radix 2..36 gives upper-case digits, -2..-36 lower-case; any other radix gives the empty text.
// Widths above 999 count as 999. Every pad unit is kept, the zero unit too.
UString valueOf(int64_t value, int32_t radix, uint32_t width, char16_t pad);
UString valueOf(uint64_t value, int32_t radix, uint32_t width, char16_t pad);
UString valueOf(int32_t value, int32_t radix, uint32_t width, char16_t pad);
// Conversion letter one of A a E e F f G g (others count as G), printf-style; widths above 999 count as
// 999, a negative precision as 0. The text never passes 999 units: a longer one is written with as many
// decimals as fit, and one that does not fit even with none (F of a value above 10^999) is the empty text.
UString valueOf(long double value, char letter, uint32_t width, int32_t precision, char16_t pad);
