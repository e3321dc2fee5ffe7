// The item step: a line's checks in their order, its key padded and upper-cased, merged into ItemTable.
#include "app/declaration/items.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/declaration/entry_reasons.h"
#include "app/declaration/goods_line_checks.h"
#include "app/declaration/messages.h"
#include "app/declaration/quantity.h"
#include "app/declaration/spreadsheet_errors.h"
#include "charset/case_mapping.h"
#include "text/exception.h"

using namespace goods_line;

namespace {

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

// Entries are written under the line's number once the lines before it have been merged, so they keep
// line order.
void reportItemLine(RunContext& run, const char* message, EntryReason reason = {}) {
  settleItems(run);
  run.report(message, std::move(reason));
}
void reportItemCell(RunContext& run, const char* message, std::size_t column, const UString& value,
                    EntryReason reason = {}) {
  settleItems(run);
  run.report(message, columnName(run, column), value, std::move(reason));
}

void addColumn(EntryReason& reason, const char* column) {
  if (!reason.detail.empty()) reason.detail += ", ";
  reason.detail += column;
}

// The columns up to SZAORSZ that a line of `count` fields does not reach, as the header spells them.
EntryReason missingColumns(const RunContext& run, std::size_t count) {
  EntryReason reason{Reason::EmptyColumns, {}};
  for (std::size_t column = count; column <= SZAORSZ; ++column) {
    addColumn(reason, columnName(run, column));
  }
  return reason;
}

// The key columns a goods line needs that are empty in it, as the header spells them.
template <typename Unit>
EntryReason emptyKeyColumns(const RunContext& run, const FieldText<Unit> (&texts)[kItemColumns]) {
  EntryReason reason{Reason::EmptyColumns, {}};
  const std::size_t last = run.formCode == 2010 ? SZAORSZ : MEMBER_STATE;
  for (std::size_t column = TEKOD; column <= last; ++column) {
    if (texts[column].length == 0) addColumn(reason, columnName(run, column));
  }
  return reason;
}

// The form a code of `column` must have.
EntryReason wrongFormReason(const RunContext& run, std::size_t column) {
  switch (column) {
    case TEKOD:
      return {Reason::GoodsCodeForm, {}};
    case UKOD:
      return {Reason::TransactionCodeForm, {}};
    case PADO:
      return {Reason::PartnerCodeForm, {}};
    default:
      return {Reason::CountryCodeForm, columnName(run, column)};
  }
}

// The quantities and the key of a line that passed the checks, from the line's bytes or units, merged.
template <typename Unit>
LineOutcome mergeItemLine(RunContext& run, const LineFields& fields, const Unit* line) {
  FieldText<Unit> texts[kItemColumns];
  for (std::size_t i = 0; i < fields.count && i < kItemColumns; ++i) {
    texts[i] = {line + fields.spans[i].begin, fields.spans[i].end - fields.spans[i].begin};
  }
  // Holds TEKOD without its blanks until the key is packed.
  Unit goodsRoom[8];
  const KeyCheck check = checkItemKey(run, texts, goodsRoom);
  if (check.verdict == KeyVerdict::Nothing) return LineOutcome::Continue;
  if (check.verdict != KeyVerdict::Goods) {
    if (check.verdict == KeyVerdict::MissingCell) {
      reportItemCell(run, message::kIncompleteItemLine, check.column, fields.text(check.column),
                     emptyKeyColumns(run, texts));
    } else {
      reportItemCell(run, message::kInvalidItemCode, check.column, fields.text(check.column),
                     wrongFormReason(run, check.column));
    }
    return LineOutcome::Continue;
  }

  int64_t quantities[4];
  int column = 0;
  try {
    for (; column < 4; ++column) {
      quantities[column] = parseQuantity(texts[KGM + column].units, texts[KGM + column].length);
    }
  } catch (const Exception&) {
    const UString value = fields.text(KGM + column);
    reportItemCell(run, message::kInvalidNumber, KGM + column, value, invalidNumberReason(value));
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
    char16_t paddedGoodsRoom[8];
    char16_t transactionRoom[8];
    char16_t upperRooms[3][16];
    UString upperHolders[3];
    key.parts[0] = padded(texts[TEKOD], 8, paddedGoodsRoom);
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
  if (fields.count < 3) {
    const std::size_t column = cellHoldingAGoodsLine(fields);
    if (column < fields.count) reportItemCell(run, message::kSemicolonInCell, column, fields.text(column));
    return LineOutcome::Continue;
  }
  if (fields.count < 5) {
    reportItemLine(run, message::kIncompleteItemLine, missingColumns(run, fields.count));
    return LineOutcome::Continue;
  }
  // A plain ASCII line is read from its bytes, any other from its units, by the same steps.
  return fields.bytes != nullptr ? mergeItemLine(run, fields, fields.bytes)
                                 : mergeItemLine(run, fields, fields.units);
}

void settleItems(RunContext& run) {
  for (int32_t lineNumber : run.items.settle()) {
    // A total out of range has no single cell to point at.
    run.record(ReportEntry{lineNumber, message::kInvalidNumber, {}, {}, false, {Reason::TotalTooLarge, {}}});
  }
}
