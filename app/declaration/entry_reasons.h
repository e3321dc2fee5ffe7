// Why an entry was made, where its cell or line tells it: one short line in each language that the terminal
// shows under the entry's message. The report file never holds it.
#pragma once

#include <cstdint>
#include <string>

#include "text/ustring.h"

// One row each of the table of reasons; a new cause is one more enumerator and one more row.
enum class Reason : uint8_t {
  None,
  SecondSeparator,
  TooManyDecimals,
  TooManyDigits,
  TooLarge,
  MinusBetweenDigits,
  NoBreakSpace,
  NarrowNoBreakSpace,
  PercentSign,
  PlusSign,
  Formula,
  Letter,
  OtherCharacter,
  TotalTooLarge,
  EmptyColumns,
  GoodsCodeForm,
  TransactionCodeForm,
  CountryCodeForm,
  PartnerCodeForm,
};

struct EntryReason {
  Reason reason = Reason::None;
  // UTF-8: what the row's text names (a character, the columns); empty for a row that names nothing.
  std::string detail;

  bool operator==(const EntryReason&) const = default;
};

// What keeps `value` from being read as a quantity, judged from its text alone: a character a number may
// not hold (the first one), a minus sign between digits, a second separator, too many decimals or digits.
// None when the text shows none of them.
EntryReason invalidNumberReason(const UString& value);

// The reason under an entry on a terminal, in UTF-8: " Oka: ...\nReason: ...\n"; empty for None.
std::string reasonTerminalText(const EntryReason& reason);
