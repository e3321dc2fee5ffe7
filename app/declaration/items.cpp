// Item lines: key normalisation, quantity parsing, merging into ItemTable, and the item section.
#include "app/declaration/items.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/declaration/entry_reasons.h"
#include "app/declaration/messages.h"
#include "app/declaration/quantity.h"
#include "app/declaration/spreadsheet_errors.h"
#include "app/platform/platform.h"
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

// A line of a ',' or tab file is cut only at that separator: a goods line typed with ';' into such a file
// comes as one or two fields holding its ';'. Four of them would give a goods line, which is reported
// rather than dropped as a note. The field that holds the first, or `fields.count`.
std::size_t cellHoldingAGoodsLine(const LineFields& fields) {
  if (!fields.quoted) return fields.count;
  std::size_t semicolons = 0;
  std::size_t first = fields.count;
  for (std::size_t column = 0; column < fields.count; ++column) {
    const UString text = fields.text(column);
    for (uint32_t i = 0; i < text.length(); ++i) {
      if (text.charAt(i) != u';') continue;
      ++semicolons;
      first = std::min(first, column);
    }
  }
  return semicolons >= 4 ? first : fields.count;
}

// A unit of a code: a digit, or a letter A to Z or a to z. Letters beyond ASCII are no part of a code,
// even where upper-casing would make ASCII of them (a sharp s gives "SS").
template <typename Unit>
bool isDigitUnit(Unit unit) {
  return static_cast<char16_t>(unitOf(unit) - u'0') < 10;
}
template <typename Unit>
bool isLetterUnit(Unit unit) {
  return static_cast<char16_t>((unitOf(unit) | 0x20) - u'a') < 26;
}
// A country code: two letters (upper-cased later with the key).
template <typename Unit>
bool startsWithCountry(FieldText<Unit> field) {
  return field.length >= 2 && isLetterUnit(field.units[0]) && isLetterUnit(field.units[1]);
}

// Eight ASCII digits: a word at a time, for the bytes of a plain line (all below 0x80). A byte below '0'
// borrows and one above '9' carries into its high bit.
bool isEightDigits(const char* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return (((word - 0x3030303030303030u) | (word + 0x4646464646464646u)) & 0x8080808080808080u) == 0;
}

// TEKOD of up to eight digits once its blanks are dropped; a TEKOD with blanks is then the digits, which
// `room` holds.
template <typename Unit>
bool isGoodsCode(FieldText<Unit>& goods, Unit (&room)[8]) {
  if constexpr (sizeof(Unit) == 1) {
    // Nearly every goods code, as the office lists it.
    if (goods.length == 8 && isEightDigits(goods.units)) return true;
  }
  uint32_t digits = 0;
  bool blanks = false;
  for (uint32_t i = 0; i < goods.length; ++i) {
    const Unit unit = goods.units[i];
    if (isDigitUnit(unit) && digits < 8) {
      room[digits++] = unit;
    } else if (unit == Unit(' ')) {
      blanks = true;
    } else {
      return false;
    }
  }
  if (blanks) goods = {room, digits};
  return true;
}

// What the checks make of a line's key cells: a goods line to merge (its TEKOD without blanks), a
// line that carries nothing, or a line to report at `column`.
enum class KeyVerdict { Goods, Nothing, MissingCell, WrongForm };
struct KeyCheck {
  KeyVerdict verdict;
  std::size_t column = 0;
};

// Every quantity of the line is empty or reads as zero.
template <typename Unit>
bool quantitiesAllZero(const FieldText<Unit> (&texts)[kItemColumns]) {
  try {
    for (int column = KGM; column <= STAERT; ++column) {
      if (parseQuantity(texts[column].units, texts[column].length) != 0) return false;
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// A line whose key cells and quantities are all empty (or zero) is a prepared row of a template. Any other
// needs TEKOD, UKOD, RTA/FTA and, on form 2010, SZAORSZ; TEKOD (its blanks dropped, as the nomenclature
// prints "8471 30 00") up to eight digits, UKOD up to two, the countries two letters, and a PADO that
// starts with its country's two letters. Codes are checked for their form only: the declaration file
// holds nothing the office would refuse for its form, and a row shifted by a column is caught.
// The key of nearly every line of a plain line's bytes, all of it at once: eight digits, two digits, two
// letters for each country and for the start of PADO. True only when that is certain; a key of any other
// shape goes through the checks one by one.
bool isUsualByteKey(const FieldText<char> (&texts)[kItemColumns], bool withPartner) {
  const FieldText<char>& partner = texts[PADO];
  if (texts[TEKOD].length != 8 || texts[UKOD].length != 2 || texts[MEMBER_STATE].length != 2 ||
      texts[SZAORSZ].length != 2 || (withPartner && partner.length == 1)) {
    return false;
  }
  const auto pair = [](const char* bytes) {
    uint16_t pair;
    std::memcpy(&pair, bytes, sizeof pair);
    return static_cast<uint64_t>(pair);
  };
  // A byte below '0' borrows and one above '9' carries into its high bit.
  const uint64_t transaction = pair(texts[UKOD].units);
  if ((((transaction - 0x3030u) | (transaction + 0x4646u)) & 0x8080u) != 0) return false;
  // Six bytes that must be letters; without a PADO, RTA/FTA stands in its place. Below 0x80, a byte with
  // 0x20 set is a letter when adding 0x1F sets its high bit and adding 0x05 does not.
  const char* partnerStart = withPartner && partner.length >= 2 ? partner.units : texts[MEMBER_STATE].units;
  const uint64_t letters = pair(texts[MEMBER_STATE].units) | pair(texts[SZAORSZ].units) << 16 |
                           pair(partnerStart) << 32 | 0x4141000000000000u;
  const uint64_t folded = letters | 0x2020202020202020u;
  return (letters & 0x8080808080808080u) == 0 &&
         ((folded + 0x1F1F1F1F1F1F1F1Fu) & ~(folded + 0x0505050505050505u) & 0x8080808080808080u) ==
             0x8080808080808080u &&
         isEightDigits(texts[TEKOD].units);
}

template <typename Unit>
KeyCheck checkItemKey(const RunContext& run, FieldText<Unit> (&texts)[kItemColumns], Unit (&goodsRoom)[8]) {
  const bool withPartner = run.formCode == 2010;
  if constexpr (sizeof(Unit) == 1) {
    if (isUsualByteKey(texts, withPartner)) return {KeyVerdict::Goods};
  }
  const FieldText<Unit>& goods = texts[TEKOD];
  const FieldText<Unit>& transaction = texts[UKOD];
  const FieldText<Unit>& member = texts[MEMBER_STATE];
  const FieldText<Unit>& origin = texts[SZAORSZ];
  const FieldText<Unit>& partner = texts[PADO];
  if ((goods.length | transaction.length | member.length | origin.length) == 0 &&
      (!withPartner || partner.length == 0) && quantitiesAllZero(texts)) {
    return {KeyVerdict::Nothing};
  }
  if (goods.length == 0) return {KeyVerdict::MissingCell, TEKOD};
  if (transaction.length == 0) return {KeyVerdict::MissingCell, UKOD};
  if (member.length == 0) return {KeyVerdict::MissingCell, MEMBER_STATE};
  if (withPartner && origin.length == 0) return {KeyVerdict::MissingCell, SZAORSZ};

  if (!isGoodsCode(texts[TEKOD], goodsRoom)) return {KeyVerdict::WrongForm, TEKOD};
  if (transaction.length > 2 || !isDigitUnit(transaction.units[0]) ||
      !isDigitUnit(transaction.units[transaction.length - 1])) {
    return {KeyVerdict::WrongForm, UKOD};
  }
  if (member.length != 2 || !startsWithCountry(member)) return {KeyVerdict::WrongForm, MEMBER_STATE};
  if (origin.length != 0 && (origin.length != 2 || !startsWithCountry(origin))) {
    return {KeyVerdict::WrongForm, SZAORSZ};
  }
  if (withPartner && partner.length != 0 && !startsWithCountry(partner)) return {KeyVerdict::WrongForm, PADO};
  return {KeyVerdict::Goods};
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

namespace {

// The most bytes a total takes: a sign, 16 digits, the point and three decimals.
constexpr std::size_t kTotalBytes = 21;
// What a key part may write past its end: the rest of a word.
constexpr std::size_t kOverwrite = 7;

// "00" to "99", for writing numbers two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes `value` with at least `minDigits` digits (leading zeros) at `at`; returns the end. The digits are
// counted first and written from the last, straight where they go.
char* putDigits(char* at, uint64_t value, int minDigits) {
  int count = 1;
  for (uint64_t bound = 10; count < 20 && value >= bound; bound *= 10) ++count;
  if (count < minDigits) count = minDigits;
  char* const end = at + count;
  char* first = end;
  while (value >= 100) {
    first -= 2;
    std::memcpy(first, kDigitPairs + value % 100 * 2, 2);
    value /= 100;
  }
  if (value >= 10) {
    first -= 2;
    std::memcpy(first, kDigitPairs + value * 2, 2);
  } else {
    *--first = static_cast<char>('0' + value);
  }
  while (first > at) *--first = '0';
  return end;
}

// What the number of decimal digits of a value below 2^32 adds to it, by the value's bit length: the
// digits of the smallest value of that length in the high half, and in the low half 2^32 less the power of
// ten at which one more digit begins, when that power has the same bit length (so that the sum carries
// into the high half from that power on).
struct DigitSteps {
  uint64_t steps[33];
  constexpr DigitSteps() : steps() {
    for (int bits = 1; bits <= 32; ++bits) {
      const uint64_t smallest = uint64_t{1} << (bits - 1);
      uint64_t digits = 1;
      uint64_t power = 10;
      for (; power <= smallest; power *= 10) ++digits;
      const uint64_t carry = power < uint64_t{1} << bits ? (uint64_t{1} << 32) - power : 0;
      steps[bits] = digits << 32 | carry;
    }
  }
};
constexpr DigitSteps kDigitSteps;

// The number of decimal digits of `value`: one addition, with no loop or branch whose exit would be
// guessed wrong as the lengths vary from row to row.
int digitCount(uint32_t value) {
  return static_cast<int>((value + kDigitSteps.steps[std::bit_width(value | 1)]) >> 32);
}

// "0000" to "9999" as four ASCII bytes each, the first digit in the lowest byte.
struct DigitQuads {
  uint32_t quads[10000];
  constexpr DigitQuads() : quads() {
    for (uint32_t value = 0; value < 10000; ++value) {
      quads[value] = (0x30 + value / 1000) | (0x30 + value / 100 % 10) << 8 | (0x30 + value / 10 % 10) << 16 |
                     (0x30 + value % 10) << 24;
    }
  }
};
constexpr DigitQuads kDigitQuads;

// The digits of `value`, below 10^8, as eight ASCII bytes with leading zeros, the first digit in the
// lowest byte: two lookups of four digits.
uint64_t eightDigits(uint32_t value) {
  return kDigitQuads.quads[value / 10000] | static_cast<uint64_t>(kDigitQuads.quads[value % 10000]) << 32;
}

// Writes `value`, below 10^8, with at least `minDigits` digits (at most 8) at `at`, as eight bytes of which
// those past the end are to be overwritten; returns the end. Inlined, as every word helper of a row: a call
// costs as much as the work.
[[gnu::always_inline]] inline char* putEightDigits(char* at, uint32_t value, int minDigits) {
  const int digits = std::max(digitCount(value), minDigits);
  const uint64_t word = eightDigits(value) >> 8 * (8 - digits);
  std::memcpy(at, &word, sizeof word);
  return at + digits;
}

// Writes `value` as putDigits does, through eightDigits where the bytes of a word are in memory order.
[[gnu::always_inline]] inline char* putNumber(char* at, uint64_t value, int minDigits) {
  if (std::endian::native == std::endian::little && value < 100000000) {
    return putEightDigits(at, static_cast<uint32_t>(value), minDigits);
  }
  return putDigits(at, value, minDigits);
}

// Writes a total as formatTotal does at `at`, in at most kTotalBytes; returns the end.
char* putTotal(char* at, int64_t thousandths) {
  if (thousandths == 0) return at;
  // Whole units from 1 upward, nearly every total.
  if (thousandths >= 1000) return putNumber(at, static_cast<uint64_t>(thousandths) / 1000, 1);
  const bool negative = thousandths < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(thousandths) : static_cast<uint64_t>(thousandths);
  if (negative) *at++ = '-';
  // Below 1, and every negative total, with the sign and three decimals, in integer arithmetic so that the
  // decimals are exact where a double could not hold the value.
  at = putDigits(at, magnitude / 1000, 1);
  *at++ = '.';
  return putDigits(at, magnitude % 1000, 3);
}

// Rows gathered in a buffer and written out in pieces, so a table of any size needs no second copy of
// the whole section.
class SectionWriter {
 public:
  explicit SectionWriter(std::FILE* output) : output_(output), buffer_(kPiece) {}

  // Where `size` more bytes may be written; commit() says where they end.
  char* room(std::size_t size) {
    if (buffer_.size() - used_ < size) {
      flush();
      if (buffer_.size() < size) buffer_.resize(size);
    }
    return buffer_.data() + used_;
  }
  void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }
  // Keeps what is written up to `end` and gives room for `size` more after it.
  char* extend(const char* end, std::size_t size) {
    commit(end);
    return room(size);
  }
  void flush() {
    std::fwrite(buffer_.data(), 1, used_, output_);
    written_ += used_;
    used_ = 0;
    if (written_ >= kWriteAhead) {
      startWriting(output_);
      written_ = 0;
    }
  }

 private:
  static constexpr std::size_t kPiece = std::size_t{1} << 16;
  // A large section goes to the disk while the rest of it is written, not all at the end.
  static constexpr std::size_t kWriteAhead = std::size_t{1} << 20;
  std::FILE* output_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  std::size_t written_ = 0;
};

// Writes a part of one byte a unit at `at` a word at a time, when it has at most sixteen bytes, none of
// them zero or past ASCII: a word from before a short part (read from the record, see ItemRow) is shifted
// out, and up to kOverwrite bytes are written past the part's end. Returns the end, or null for any other
// part.
[[gnu::always_inline]] inline char* putPlainWords(char* at, const ItemRow::Part& part) {
  const uint32_t length = part.length;
  if (length == 0) return at;
  if (length > 16) return nullptr;
  const auto load = [](const char* from) {
    uint64_t word;
    std::memcpy(&word, from, sizeof word);
    return word;
  };
  const auto zeroOrHigh = [](uint64_t word) {
    return (((word - 0x0101010101010101u) | word) & 0x8080808080808080u) != 0;
  };
  if (length < 8) {
    const uint64_t word = load(part.bytes + length - 8) >> 8 * (8 - length);
    if (zeroOrHigh(word | 0x0101010101010101u << 8 * length)) return nullptr;
    std::memcpy(at, &word, sizeof word);
    return at + length;
  }
  const uint64_t first = load(part.bytes);
  const uint64_t last = load(part.bytes + length - 8);
  if (zeroOrHigh(first) || zeroOrHigh(last)) return nullptr;
  std::memcpy(at, &first, sizeof first);
  std::memcpy(at + length - 8, &last, sizeof last);
  return at + length;
}

// Writes a key part in ISO-8859-2, up to a first zero unit, at `at`, for which the part's length in bytes
// was given as room: ASCII bytes as they stand, anything else through the charset (into `encoded`, then
// with room asked of `out` for it and `rowBytes` more, the bound of the rest of the row). Returns the end.
char* putPart(SectionWriter& out, char* at, const ItemRow& row, int index, std::size_t rowBytes,
              std::string& encoded) {
  const ItemRow::Part& part = row.parts[index];
  if (!row.wide) {
    unsigned char high = 0;
    uint32_t i = 0;
    for (; i < part.length && part.bytes[i] != 0; ++i) {
      high |= static_cast<unsigned char>(part.bytes[i]);
      at[i] = part.bytes[i];
    }
    if (high < 0x80) return at + i;
  }
  encoded.clear();
  append(encoded, row.text(index));
  at = out.extend(at, encoded.size() + rowBytes);
  std::memcpy(at, encoded.data(), encoded.size());
  return at + encoded.size();
}

// putPart, with the word copy that nearly every part takes where the row is written.
inline char* putKeyPart(SectionWriter& out, char* at, const ItemRow& row, int index, std::size_t rowBytes,
                        std::string& encoded) {
  const bool words = std::endian::native == std::endian::little && !row.wide;
  char* const end = words ? putPlainWords(at, row.parts[index]) : nullptr;
  return end != nullptr ? end : putPart(out, at, row, index, rowBytes, encoded);
}

}  // namespace

std::string formatTotal(int64_t thousandths) {
  char text[kTotalBytes];
  return std::string(text, putTotal(text, thousandths));
}

void writeItemSection(const RunContext& run) {
  const bool withPartner = run.formCode == 2010;
  const int partCount = withPartner ? 5 : 4;
  const char* header = withPartner ? "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}\r\n"
                                   : "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}\r\n";
  SectionWriter out(run.output);
  const std::size_t headerLength = std::strlen(header);
  char* const headerAt = out.room(headerLength);
  std::memcpy(headerAt, header, headerLength);
  out.commit(headerAt + headerLength);
  // A row besides its key parts: the number (ten digits at most), the separators, the totals and CR LF,
  // and what the last may write over past the end.
  constexpr std::size_t kRowBytes = 10 + 9 + 4 * kTotalBytes + 2 + kOverwrite;
  uint32_t rowNumber = 0;
  std::string encoded;
  run.items.forEachRow([&](const ItemRow& row) {
    std::size_t rowBytes = kRowBytes;
    for (int i = 0; i < partCount; ++i) rowBytes += row.parts[i].length;
    char* at = out.room(rowBytes);
    // The row number has at least five digits.
    at = putNumber(at, ++rowNumber, 5);
    for (int i = 0; i < 4; ++i) {
      *at++ = ';';
      at = putKeyPart(out, at, row, i, rowBytes, encoded);
    }
    for (int i = 0; i < 4; ++i) {
      *at++ = ';';
      at = putTotal(at, row.totals[i]);
    }
    if (withPartner) {
      *at++ = ';';
      at = putKeyPart(out, at, row, 4, rowBytes, encoded);
    }
    *at++ = '\r';
    *at++ = '\n';
    out.commit(at);
  });
  out.flush();
}
