// The chapter and identification handlers.
#include "app/declaration/sections.h"

#include <algorithm>
#include <string>

#include "app/declaration/messages.h"
#include "app/declaration/spreadsheet_errors.h"
#include "charset/charset.h"
#include "text/exception.h"
#include "text/value_format.h"

namespace {

std::string encoded(const UString& text) {
  return encodedString(text, "ISO-8859-2");
}

bool fieldIs(const UString& field, int32_t expected) {
  try {
    return field.toInt32(10) == expected;
  } catch (const Exception&) {
    return false;
  }
}

bool parsedInt(const UString& field, int32_t& value) {
  try {
    value = field.toInt32(10);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// The data provider's identifier: eight digits 0 to 9.
bool isEightDigits(const UString& text) {
  if (text.length() != 8) return false;
  for (uint32_t i = 0; i < 8; ++i) {
    if (static_cast<char16_t>(text.units()[i] - u'0') >= 10) return false;
  }
  return true;
}

// A cell formatted with decimals is saved as 3,00: the text without a trailing ',' or '.' that only zeros
// follow.
UString wholeNumberText(const UString& text) {
  const int32_t separator = std::max(text.lastIndexOf(u','), text.lastIndexOf(u'.'));
  if (separator < 0) return text;
  for (uint32_t i = static_cast<uint32_t>(separator) + 1; i < text.length(); ++i) {
    if (text.charAt(i) != u'0') return text;
  }
  return text.substring(0, static_cast<uint32_t>(separator));
}

const char* const kIdentificationHeader =
    "{MC01;M003_G;M003;MEV;MHO;JHNEV;JBEOSZTAS;JTELEFON;JEMAIL;KNEV;KBEOSZTAS;KTELEFON;KEMAIL;MEGJEGYZES;"
    "VGEA002}\r\n";

enum Position { MC01, M003_G, M003, MEV, MHO, VGEA002 = 14 };
const char* const kColumnNames[kIdentificationFieldCount] = {
    "MC01",   "M003_G", "M003",      "MEV",      "MHO",    "JHNEV",      "JBEOSZTAS", "JTELEFON",
    "JEMAIL", "KNEV",   "KBEOSZTAS", "KTELEFON", "KEMAIL", "MEGJEGYZES", "VGEA002"};

}  // namespace

LineOutcome handleChapterLine(RunContext& run, const LineFields& fields) {
  const bool first = run.lineState == 0;
  const int32_t chapter = first ? 0 : 1;
  if (fields.count < 2 || !fieldIs(fields.text(0), chapter) || !fieldIs(fields.text(1), 1)) {
    run.report(first ? message::kMissingFirstChapter : message::kMissingSecondChapter);
    return LineOutcome::Stop;
  }
  run.writeOutput(first ? "{fejezet;sorrend}\r\n0;1\r\n\r\n" : "{fejezet;sorrend}\r\n1;1\r\n\r\n");
  run.lineState = first ? 1 : 3;
  return LineOutcome::Continue;
}

LineOutcome handleIdentificationLine(RunContext& run, const LineFields& fields) {
  UString* values = run.identification;
  for (std::size_t i = 0; i < fields.count && i < kIdentificationFieldCount; ++i) values[i] = fields.text(i);

  if (values[MC01] != UString(u"2010") && values[MC01] != UString(u"2012")) {
    run.report(message::kBadFormCode, "MC01", values[MC01]);
    return LineOutcome::Stop;
  }
  run.formCode = values[MC01] == UString(u"2010") ? 2010 : 2012;
  run.items = ItemTable(run.formCode == 2010);

  if (!isEightDigits(values[M003_G])) {
    run.report(message::kBadProviderId, "M003_G", values[M003_G]);
  } else if (values[M003] != values[M003_G]) {
    run.report(message::kBadProviderId, "M003", values[M003]);
  }

  if (run.ok) {
    int32_t year = 0;
    int32_t month = 0;
    const bool validYear = parsedInt(values[MEV], year) && (year == 21 || year == 2021);
    const bool validMonth = parsedInt(values[MHO], month) && month >= 1 && month <= 12;
    if (!validYear) {
      run.report(message::kBadYearMonth, "MEV", values[MEV]);
    } else if (!validMonth) {
      run.report(message::kBadYearMonth, "MHO", values[MHO]);
    } else {
      values[MEV] = valueOf(static_cast<int32_t>(year % 100), 10, 2, u'0');
      values[MHO] = valueOf(month, 10, 2, u'0');
    }
  }

  // Checked last, so that a line yields at most one entry.
  if (run.ok) {
    const std::size_t errorColumn = firstSpreadsheetError(fields, kIdentificationFieldCount);
    if (errorColumn < kIdentificationFieldCount) {
      const UString value = fields.text(errorColumn);
      run.report(spreadsheetErrorMessage(value).c_str(), kColumnNames[errorColumn], value);
    } else if (fields.quoted) {
      for (int i = 0; i < kIdentificationFieldCount; ++i) {
        if (fields.holdsSemicolon(i)) {
          run.report(message::kSemicolonInCell, kColumnNames[i], fields.text(i));
          break;
        }
      }
    }
  }

  int32_t declarationCount = 0;
  try {
    declarationCount = wholeNumberText(values[VGEA002]).toInt32(10);
  } catch (const Exception&) {
    declarationCount = 0;
  }
  values[VGEA002] = declarationCount > 0 ? valueOf(declarationCount, 10, 0, u' ') : UString();

  std::string text = kIdentificationHeader;
  for (int i = 0; i < kIdentificationFieldCount; ++i) {
    if (i > 0) text += ';';
    text += encoded(values[i]);
  }
  text += "\r\n\r\n";
  run.writeOutput(text);
  run.lineState = 2;
  return LineOutcome::Continue;
}
