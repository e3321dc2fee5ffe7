// The error values of spreadsheets, in one table.
#include "app/declaration/spreadsheet_errors.h"

#include <string_view>

#include "app/declaration/messages.h"
#include "charset/charset.h"

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

namespace {

template <typename Unit>
std::size_t firstErrorIn(const Unit* units, const FieldSpan* spans, std::size_t count, std::size_t columns) {
  for (std::size_t i = 0; i < count; ++i) {
    // Every error value starts with '#' or with the 'E' of "Err:"; nearly no cell does.
    const FieldSpan span = spans[i];
    if (span.begin == span.end || (units[span.begin] != Unit('#') && units[span.begin] != Unit('E')))
      continue;
    if (isSpreadsheetError(units + span.begin, span.end - span.begin)) return i;
  }
  return columns;
}

}  // namespace

std::size_t firstSpreadsheetError(const LineFields& fields, std::size_t columns) {
  if (!fields.errorMarks) return columns;
  const std::size_t count = fields.count < columns ? fields.count : columns;
  return fields.units != nullptr ? firstErrorIn(fields.units, fields.spans, count, columns)
                                 : firstErrorIn(fields.bytes, fields.spans, count, columns);
}

std::string spreadsheetErrorMessage(const UString& value) {
  char* bytes = encodeText(value, "ISO-8859-2");
  std::string message = fillPath(message::kSpreadsheetError, bytes);
  delete[] bytes;
  return message;
}
