// Test helpers for the text room: a readable form of a UString and of a parse outcome.
#pragma once

#include <cstdio>
#include <string>

#include "text/exception.h"
#include "text/ustring.h"

// Printable ASCII as itself, every other unit as \uXXXX, so failures show exactly which units differ.
inline std::string show(const UString& text) {
  std::string shown;
  for (uint32_t i = 0; i < text.length(); ++i) {
    char16_t unit = text.charAt(i);
    if (unit >= 0x20 && unit < 0x7F && unit != u'\\') {
      shown += static_cast<char>(unit);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
      shown += escaped;
    }
  }
  return shown;
}

// The value in decimal, or the kind of the Exception thrown.
template <typename Parse>
std::string outcome(Parse parse) {
  try {
    return std::to_string(parse());
  } catch (const Exception& failure) {
    return failure.kind() != nullptr ? failure.kind() : "(no kind)";
  }
}
