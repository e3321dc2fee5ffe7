// Full Unicode 9.0 case mapping of whole texts, with the Lithuanian, Turkish and Azeri rules.
#pragma once

#include "text/ustring.h"

// A null locale means "en"; "lt", "tr" and "az" are recognised by their first two bytes.
UString toUpper(const UString& text, const char* locale);
UString toLower(const UString& text, const char* locale);
UString toTitle(const UString& text, const char* locale);
