// Item lines: key normalisation, quantity parsing, merging into ItemTable, and the item section.
#include "app/items.h"

#include <cstring>

#include "app/messages.h"
#include "app/quantity.h"
#include "app/spreadsheet_errors.h"
#include "charset/case_mapping.h"
#include "charset/charset.h"
#include "text/exception.h"

namespace {

enum Column { TEKOD = 1, UKOD, MEMBER_STATE, SZAORSZ, KGM, KIEGME, SZAOSSZ, STAERT, PADO };

// One field of an item line, inside its line: bytes of a plain ASCII line, or units.
template <typename Unit>
struct FieldText {
  static constexpr Unit kEmpty[1] = {};
  const Unit* units = kEmpty;
  uint32_t length = 0;
};

// Left-padded with "0" to the width; `room` holds the padded units when the field is shorter. A field of
// bytes keeps them where they are, with the zeros to put in front.
ItemKey::Part padded(FieldText<char> field, uint32_t width) {
  return {nullptr, field.length, field.units, field.length < width ? width - field.length : 0};
}
ItemKey::Part padded(FieldText<char16_t> field, uint32_t width, char16_t (&room)[8]) {
  if (field.length >= width) return {field.units, field.length};
  const uint32_t zeros = width - field.length;
  for (uint32_t i = 0; i < zeros; ++i) room[i] = u'0';
  for (uint32_t i = 0; i < field.length; ++i) room[zeros + i] = field.units[i];
  return {room, width};
}

// toUpper with "en". On ASCII all it does is a to z, which a field of bytes (always ASCII) leaves to the
// packing of the key. Units are nearly always upper-case ASCII already and are taken as they stand; short
// ASCII texts are upper-cased in `room`; anything else goes through toUpper, whose result `holder` keeps.
ItemKey::Part upperCased(FieldText<char> field) {
  return {nullptr, field.length, field.units, 0, true};
}
ItemKey::Part upperCased(FieldText<char16_t> field, char16_t (&room)[16], UString& holder) {
  const char16_t* units = field.units;
  const uint32_t length = field.length;
  char16_t high = 0;
  unsigned lower = 0;
  if (length <= 16) {
    // One pass that upper-cases into the room while it looks.
    for (uint32_t i = 0; i < length; ++i) {
      const char16_t unit = units[i];
      const unsigned isLower = static_cast<char16_t>(unit - u'a') < 26;
      high |= unit;
      lower |= isLower;
      room[i] = static_cast<char16_t>(unit - (isLower << 5));
    }
    if (high < 0x80) return {lower != 0 ? room : units, length};
  } else {
    for (uint32_t i = 0; i < length; ++i) {
      high |= units[i];
      lower |= static_cast<char16_t>(units[i] - u'a') < 26;
    }
    if (high < 0x80 && lower == 0) return {units, length};
  }
  UStringBuffer copy(length);
  std::memcpy(copy.data(), units, length * sizeof(char16_t));
  holder = toUpper(copy.finish(), "en");
  return {holder.units(), holder.length()};
}

void append(std::string& out, const UString& text) {
  // ISO-8859-2 writes units below 0x80 as themselves: such texts, nearly all keys, need no charset lookup.
  const char16_t* units = text.units();
  const uint32_t length = text.length();
  char16_t high = 0;
  for (uint32_t i = 0; i < length; ++i) high |= units[i];
  if (high < 0x80) {
    // Like the encoded bytes appended below, up to a first zero.
    for (uint32_t i = 0; i < length && units[i] != 0; ++i) out += static_cast<char>(units[i]);
    return;
  }
  char* bytes = encodeText(text, "ISO-8859-2");
  out += bytes;
  delete[] bytes;
}

// Positions beyond 10 are never read; positions the line does not reach stay empty.
constexpr std::size_t kItemColumns = 10;

// An item column as the header spells it.
const char* columnName(const RunContext& run, std::size_t column) {
  static const char* const kNames[kItemColumns] = {"T_SORSZ", "TEKOD",  "UKOD",    "RTA",    "SZAORSZ",
                                                   "KGM",     "KIEGME", "SZAOSSZ", "STAERT", "PADO"};
  if (column == MEMBER_STATE && run.formCode != 2010) return "FTA";
  return column < kItemColumns ? kNames[column] : "";
}

// The first key cell holding a ';', which would split the row in the declaration file, or kItemColumns.
std::size_t keyCellWithSemicolon(const RunContext& run, const LineFields& fields) {
  for (std::size_t column : {TEKOD, UKOD, MEMBER_STATE, SZAORSZ}) {
    if (fields.holdsSemicolon(column)) return column;
  }
  if (run.formCode == 2010 && fields.holdsSemicolon(PADO)) return PADO;
  return kItemColumns;
}

// Entries are written under the line's number once the lines before it have been merged, so they keep
// line order.
void reportItemLine(RunContext& run, const char* message) {
  settleItems(run);
  run.report(message);
}
void reportItemCell(RunContext& run, const char* message, std::size_t column, const UString& value) {
  settleItems(run);
  run.report(message, columnName(run, column), value);
}

// The quantities and the key of a line that passed the checks, from the line's bytes or units, merged.
template <typename Unit>
LineOutcome mergeItemLine(RunContext& run, const LineFields& fields, const Unit* line) {
  FieldText<Unit> texts[kItemColumns];
  for (std::size_t i = 0; i < fields.count && i < kItemColumns; ++i) {
    texts[i] = {line + fields.spans[i].begin, fields.spans[i].end - fields.spans[i].begin};
  }

  int64_t quantities[4];
  int column = 0;
  try {
    for (; column < 4; ++column) {
      quantities[column] = parseQuantity(texts[KGM + column].units, texts[KGM + column].length);
    }
  } catch (const Exception&) {
    reportItemCell(run, message::kInvalidNumber, KGM + column, fields.text(KGM + column));
    return LineOutcome::Continue;
  }

  ItemKey key;  // every part is set below
  if constexpr (sizeof(Unit) == 1) {
    key.parts[0] = padded(texts[TEKOD], 8);
    key.parts[1] = padded(texts[UKOD], 2);
    key.parts[2] = upperCased(texts[MEMBER_STATE]);
    key.parts[3] = upperCased(texts[SZAORSZ]);
    key.parts[4] = run.formCode == 2010 ? upperCased(texts[PADO]) : ItemKey::Part{u"", 0};
    run.items.merge(key, quantities, run.lineNumber);
  } else {
    char16_t goodsRoom[8];
    char16_t transactionRoom[8];
    char16_t upperRooms[3][16];
    UString upperHolders[3];
    key.parts[0] = padded(texts[TEKOD], 8, goodsRoom);
    key.parts[1] = padded(texts[UKOD], 2, transactionRoom);
    key.parts[2] = upperCased(texts[MEMBER_STATE], upperRooms[0], upperHolders[0]);
    key.parts[3] = upperCased(texts[SZAORSZ], upperRooms[1], upperHolders[1]);
    key.parts[4] = run.formCode == 2010 ? upperCased(texts[PADO], upperRooms[2], upperHolders[2])
                                        : ItemKey::Part{u"", 0};
    // The rooms and holders hold the key's units until it is packed.
    run.items.merge(key, quantities, run.lineNumber);
  }
  return LineOutcome::Continue;
}

}  // namespace

LineOutcome handleItemLine(RunContext& run, const LineFields& fields) {
  if (fields.count >= 5) {
    const std::size_t errorColumn = firstSpreadsheetError(fields, kItemColumns);
    if (errorColumn < kItemColumns) {
      const UString value = fields.text(errorColumn);
      reportItemCell(run, spreadsheetErrorMessage(value).c_str(), errorColumn, value);
      return LineOutcome::Continue;
    }
    const std::size_t semicolonColumn = fields.quoted ? keyCellWithSemicolon(run, fields) : kItemColumns;
    if (semicolonColumn < kItemColumns) {
      reportItemCell(run, message::kSemicolonInCell, semicolonColumn, fields.text(semicolonColumn));
      return LineOutcome::Continue;
    }
  }
  // No item cell holds a line break: a quote opened by mistake has taken the lines after it, however many
  // fields that leaves.
  if (fields.breakCount != 0) {
    reportItemLine(run, message::kLineBreakInItemCell);
    return LineOutcome::Continue;
  }
  // One or two fields: a repeated chapter line or a stray note. Three or four: a goods line cut short.
  if (fields.count < 3) return LineOutcome::Continue;
  if (fields.count < 5) {
    reportItemLine(run, message::kIncompleteItemLine);
    return LineOutcome::Continue;
  }
  // A plain ASCII line is read from its bytes, any other from its units, by the same steps.
  return fields.bytes != nullptr ? mergeItemLine(run, fields, fields.bytes)
                                 : mergeItemLine(run, fields, fields.units);
}

void settleItems(RunContext& run) {
  for (int32_t lineNumber : run.items.settle()) {
    // A total out of range has no single cell to point at.
    run.record(ReportEntry{lineNumber, message::kInvalidNumber, {}, {}, false});
  }
}

namespace {

// Appends a total as formatTotal writes it, without a text of its own.
void appendTotal(std::string& out, int64_t thousandths) {
  if (thousandths == 0) return;
  const bool negative = thousandths < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(thousandths) : static_cast<uint64_t>(thousandths);
  // Whole units only from 1 upward; below, the sign and three decimals, in integer arithmetic so that the
  // decimals are exact where a double could not hold the value.
  const bool whole = thousandths >= 1000;
  uint64_t value = whole ? magnitude / 1000 : magnitude;
  char digits[24];
  char* end = digits + sizeof digits;
  char* at = end;
  if (!whole) {
    for (int i = 0; i < 3; ++i) {
      *--at = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    *--at = '.';
  }
  do {
    *--at = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (negative) *--at = '-';
  out.append(at, end);
}

// A key part in ISO-8859-2, up to a first zero unit: ASCII bytes as they stand, anything else through the
// charset.
void appendPart(std::string& out, const ItemRow& row, int index) {
  const ItemRow::Part& part = row.parts[index];
  if (!row.wide) {
    unsigned char high = 0;
    for (uint32_t i = 0; i < part.length; ++i) high |= static_cast<unsigned char>(part.bytes[i]);
    if (high < 0x80) {
      const void* zero = std::memchr(part.bytes, 0, part.length);
      out.append(part.bytes, zero != nullptr ? static_cast<const char*>(zero) - part.bytes : part.length);
      return;
    }
  }
  append(out, row.text(index));
}

}  // namespace

std::string formatTotal(int64_t thousandths) {
  std::string text;
  appendTotal(text, thousandths);
  return text;
}

void writeItemSection(const RunContext& run) {
  const bool withPartner = run.formCode == 2010;
  std::string text = withPartner ? "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}\r\n"
                                 : "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}\r\n";
  uint32_t rowNumber = 0;
  run.items.forEachRow([&](const ItemRow& row) {
    // The row number has at least five digits.
    char digits[12];
    char* end = digits + sizeof digits;
    char* at = end;
    for (uint32_t number = ++rowNumber; number != 0; number /= 10)
      *--at = static_cast<char>('0' + number % 10);
    while (end - at < 5) *--at = '0';
    text.append(at, end);
    for (int i = 0; i < 4; ++i) {
      text += ';';
      appendPart(text, row, i);
    }
    for (int i = 0; i < 4; ++i) {
      text += ';';
      appendTotal(text, row.totals[i]);
    }
    if (withPartner) {
      text += ';';
      appendPart(text, row, 4);
    }
    text += "\r\n";
    // Written in pieces so a table of any size needs no second copy of the whole section.
    if (text.size() >= 1 << 16) {
      std::fwrite(text.data(), 1, text.size(), run.output);
      text.clear();
    }
  });
  std::fwrite(text.data(), 1, text.size(), run.output);
}
