// Test helper: UTF-8 text converted to ISO-8859-2 bytes by the system's iconv, an oracle nobody here wrote.
#pragma once

#include <string>

#if __has_include(<iconv.h>)
#include <iconv.h>

#include <stdexcept>

inline std::string latin2(const std::string& utf8) {
  iconv_t cd = iconv_open("ISO-8859-2", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no ISO-8859-2");
  std::string out(utf8.size() + 1, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (done == static_cast<std::size_t>(-1)) throw std::runtime_error("not ISO-8859-2 text: " + utf8);
  out.resize(out.size() - outLeft);
  return out;
}
#define ZELVORA_HAVE_ICONV 1
#endif
