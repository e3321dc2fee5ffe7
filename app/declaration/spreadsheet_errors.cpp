// The cells of a line that hold a spreadsheet's error value, and the message that names it.
#include "app/declaration/spreadsheet_errors.h"

#include "app/declaration/messages.h"
#include "charset/charset.h"

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
  return fillPath(message::kSpreadsheetError, encodedString(value, "ISO-8859-2"));
}
