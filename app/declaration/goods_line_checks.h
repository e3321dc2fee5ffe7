// The goods-line checks: the item columns, and the cells a goods line needs in the form the office takes.
// In a header: the item step runs them for every line and keeps them in its loop.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "app/declaration/quantity.h"
#include "app/read/line_reader.h"
#include "app/run_context.h"
#include "text/exception.h"

namespace goods_line {

enum Column { TEKOD = 1, UKOD, MEMBER_STATE, SZAORSZ, KGM, KIEGME, SZAOSSZ, STAERT, PADO };

// One field of an item line, inside its line: bytes of a plain ASCII line, or units.
template <typename Unit>
struct FieldText {
  static constexpr Unit kEmpty[1] = {};
  const Unit* units = kEmpty;
  uint32_t length = 0;
};

// Positions beyond 10 are never read; positions the line does not reach stay empty.
constexpr std::size_t kItemColumns = 10;

// An item column as the header spells it.
inline const char* columnName(const RunContext& run, std::size_t column) {
  static const char* const kNames[kItemColumns] = {"T_SORSZ", "TEKOD",  "UKOD",    "RTA",    "SZAORSZ",
                                                   "KGM",     "KIEGME", "SZAOSSZ", "STAERT", "PADO"};
  if (column == MEMBER_STATE && run.formCode != 2010) return "FTA";
  return column < kItemColumns ? kNames[column] : "";
}

// The first key cell holding a ';', which would split the row in the declaration file, or kItemColumns.
inline std::size_t keyCellWithSemicolon(const RunContext& run, const LineFields& fields) {
  for (std::size_t column : {TEKOD, UKOD, MEMBER_STATE, SZAORSZ}) {
    if (fields.holdsSemicolon(column)) return column;
  }
  if (run.formCode == 2010 && fields.holdsSemicolon(PADO)) return PADO;
  return kItemColumns;
}

// A line of a ',' or tab file is cut only at that separator: a goods line typed with ';' into such a file
// comes as one or two fields holding its ';'. Four of them would give a goods line, which is reported
// rather than dropped as a note. The field that holds the first, or `fields.count`.
inline std::size_t cellHoldingAGoodsLine(const LineFields& fields) {
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
inline bool isEightDigits(const char* bytes) {
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

// The key of nearly every line of a plain line's bytes, all of it at once: eight digits, two digits, two
// letters for each country and for the start of PADO. True only when that is certain; a key of any other
// shape goes through the checks one by one.
inline bool isUsualByteKey(const FieldText<char> (&texts)[kItemColumns], bool withPartner) {
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

// A line whose key cells and quantities are all empty (or zero) is a prepared row of a template. Any other
// needs TEKOD, UKOD, RTA/FTA and, on form 2010, SZAORSZ; TEKOD (its blanks dropped, as the nomenclature
// prints "8471 30 00") up to eight digits, UKOD up to two, the countries two letters, and a PADO that
// starts with its country's two letters. Codes are checked for their form only: the declaration file
// holds nothing the office would refuse for its form, and a row shifted by a column is caught.
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

}  // namespace goods_line
