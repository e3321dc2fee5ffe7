// The error values of spreadsheets, in one table: a line starting with one is no comment.
#include "app/read/error_values.h"

#include <string_view>

namespace {

// Excel's, English and Hungarian side by side; LibreOffice writes the English ones too.
constexpr std::u16string_view kErrorValues[] = {
    u"#N/A",          u"#HI\u00C1NYZIK",
    u"#VALUE!",       u"#\u00C9RT\u00C9K!",
    u"#REF!",         u"#HIV!",
    u"#DIV/0!",       u"#Z\u00C9R\u00D3OSZT\u00D3!",
    u"#NUM!",         u"#SZ\u00C1M!",
    u"#NAME?",        u"#N\u00C9V?",
    u"#NULL!",        u"#NULLA!",
    u"#SPILL!",       u"#KI\u00D6ML\u00D6TT!",
    u"#CALC!",        u"#SZ\u00C1M\u00CDT\u00C1S!",
    u"#GETTING_DATA",
};

bool isLibreOfficeError(std::u16string_view value) {
  if (value.size() != 7 || value.substr(0, 4) != u"Err:") return false;
  for (char16_t unit : value.substr(4)) {
    if (unit < u'0' || unit > u'9') return false;
  }
  return true;
}

}  // namespace

bool isSpreadsheetError(const char16_t* units, uint32_t length) {
  const std::u16string_view value(units, length);
  if (isLibreOfficeError(value)) return true;
  if (value.empty() || value[0] != u'#') return false;
  for (std::u16string_view errorValue : kErrorValues) {
    if (value == errorValue) return true;
  }
  return false;
}

bool isSpreadsheetError(const char* bytes, uint32_t length) {
  // Every error value is shorter than this; an ASCII cell is read as its units.
  char16_t units[24];
  if (length > sizeof units / sizeof units[0]) return false;
  for (uint32_t i = 0; i < length; ++i) units[i] = static_cast<unsigned char>(bytes[i]);
  return isSpreadsheetError(units, length);
}
