// The table of reasons and the reading of a refused quantity's text.
#include "app/declaration/entry_reasons.h"

#include <cstdio>
#include <iterator>
#include <limits>

#include "app/declaration/messages.h"
#include "charset/charset.h"
#include "charset/unicode_props.h"

namespace {

// ISO-8859-2, Hungarian first, as the catalogue; "%s" receives the detail.
struct ReasonRow {
  Reason reason;
  const char* text;
};

constexpr ReasonRow kReasons[] = {
    {Reason::None, ""},
    {Reason::SecondSeparator,
     "m\xE1sodik tizedesjel (ezres elv\xE1laszt\xF3): hagyja el az ezres elv\xE1laszt\xF3t\n"
     "a second decimal separator (thousands separators): leave them out"},
    {Reason::TooManyDecimals,
     "7-n\xE9l t\xF6"
     "bb sz\xE1mjegy a tizedesjel ut\xE1n: kerek\xEDtse a cell\xE1t\n"
     "more than 7 digits after the separator: round the cell"},
    {Reason::TooManyDigits,
     "18-n\xE1l t\xF6"
     "bb sz\xE1mjegy\nmore than 18 digits"},
    {Reason::TooLarge, "t\xFAl nagy sz\xE1m\na number too large to hold"},
    {Reason::MinusBetweenDigits,
     "m\xEDnuszjel sz\xE1mjegyek k\xF6z\xF6tt (d\xE1tum vagy tartom\xE1ny)\n"
     "a minus sign between digits (a date or a range)"},
    {Reason::NoBreakSpace,
     "nem t\xF6r\xF5 sz\xF3k\xF6z: a t\xE1"
     "bl\xE1zatkezel\xF5 sz\xE1mcsoportos\xEDt\xE1sa; kapcsolja ki\n"
     "a no-break space: digit grouping of the spreadsheet; turn it off"},
    {Reason::NarrowNoBreakSpace,
     "keskeny nem t\xF6r\xF5 sz\xF3k\xF6z: a t\xE1"
     "bl\xE1zatkezel\xF5 sz\xE1mcsoportos\xEDt\xE1sa; kapcsolja ki\n"
     "a narrow no-break space: digit grouping of the spreadsheet; turn it off"},
    {Reason::PercentSign,
     "sz\xE1zal\xE9kjel (%): a cella sz\xE1zal\xE9k form\xE1tum\xFA\n"
     "a percent sign (%): the cell is formatted as a percentage"},
    {Reason::PlusSign, "pluszjel (+)\na plus sign (+)"},
    {Reason::Formula,
     "egyenl\xF5s\xE9gjel (=): sz\xF6vegk\xE9nt mentett k\xE9plet\n"
     "an equals sign (=): a formula saved as text"},
    {Reason::Letter, "bet\xFB: %s\na letter: %s"},
    {Reason::OtherCharacter,
     "a sz\xE1m"
     "ban nem \xE1llhat ilyen karakter: %s\n"
     "a character a number may not hold: %s"},
    {Reason::TotalTooLarge,
     "az \xF6sszevont sorok \xF6sszege t\xFAl nagy\nthe total of the merged lines is too large"},
    {Reason::EmptyColumns, "nincs kit\xF6ltve: %s\nnot filled in: %s"},
    {Reason::GoodsCodeForm,
     "a TEKOD legfeljebb 8 sz\xE1mjegy (sz\xF3k\xF6z\xF6k n\xE9lk\xFCl)\n"
     "TEKOD must be up to 8 digits (blanks aside)"},
    {Reason::TransactionCodeForm, "az UKOD 1 vagy 2 sz\xE1mjegy\nUKOD must be 1 or 2 digits"},
    {Reason::CountryCodeForm,
     "az %s k\xE9t"
     "bet\xFBs orsz\xE1gk\xF3"
     "d (p\xE9ld\xE1ul DE), nem az orsz\xE1g neve\n"
     "%s must be a two-letter country code (DE, say), not the country's name"},
    {Reason::PartnerCodeForm,
     "a PADO orsz\xE1gk\xF3"
     "ddal kezd\xF5"
     "dj\xF6n (p\xE9ld\xE1ul ATU12345678)\n"
     "PADO must start with a country code (ATU12345678, say)"},
};

constexpr bool rowsInOrder() {
  for (std::size_t i = 0; i < std::size(kReasons); ++i) {
    if (static_cast<std::size_t>(kReasons[i].reason) != i) return false;
  }
  return true;
}
static_assert(rowsInOrder(), "one row per Reason, in the order of the enumeration");

constexpr char16_t kTypographicMinus = u'\u2212';

bool isDigit(char32_t c) {
  return c >= U'0' && c <= U'9';
}
bool isMinus(char32_t c) {
  return c == U'-' || c == kTypographicMinus;
}
bool isSeparator(char32_t c) {
  return c == U'.' || c == U',';
}

bool isLetter(char32_t c) {
  const CharProperties* properties = findCharProperties(static_cast<int32_t>(c));
  if (properties == nullptr) return false;
  // Lu, Ll, Lt, Lm and Lo.
  const uint8_t category = properties->generalCategory;
  return category <= 2 || category == 17 || category == 18;
}

std::string utf8Of(char32_t c) {
  std::string bytes;
  if (c < 0x80) {
    bytes += static_cast<char>(c);
  } else if (c < 0x800) {
    bytes += static_cast<char>(0xC0 | (c >> 6));
    bytes += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    bytes += static_cast<char>(0xE0 | (c >> 12));
    bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | (c >> 18));
    bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (c & 0x3F));
  }
  return bytes;
}

// A character named so that an invisible or look-alike one can be told: "*" (U+002A); controls, blanks
// and lone surrogates by their code alone.
std::string characterName(char32_t c) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  const bool printable = c > 0x20 && !(c >= 0x7F && c <= 0xA0) && !(c >= 0xD800 && c <= 0xDFFF) &&
                         !isWhiteSpace(static_cast<int32_t>(c));
  if (!printable) return code;
  std::string name = "\"";
  name += utf8Of(c);
  name += "\" (";
  name += code;
  name += ')';
  return name;
}

// The value's characters, surrogate pairs joined.
std::u32string characters(const UString& value) {
  std::u32string result;
  const char16_t* units = value.units();
  for (uint32_t i = 0; i < value.length(); ++i) {
    const char16_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < value.length() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      result += static_cast<char32_t>(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      result += unit;
    }
  }
  return result;
}

EntryReason characterReason(char32_t c) {
  switch (c) {
    case U'\u00A0':
      return {Reason::NoBreakSpace, {}};
    case U'\u202F':
      return {Reason::NarrowNoBreakSpace, {}};
    case U'%':
      return {Reason::PercentSign, {}};
    case U'+':
      return {Reason::PlusSign, {}};
    case U'=':
      return {Reason::Formula, {}};
    default:
      if (isLetter(c)) return {Reason::Letter, utf8Of(c)};
      return {Reason::OtherCharacter, characterName(c)};
  }
}

}  // namespace

EntryReason invalidNumberReason(const UString& value) {
  const std::u32string text = characters(value);
  for (char32_t c : text) {
    if (!isDigit(c) && !isSeparator(c) && !isMinus(c) && c != U' ') return characterReason(c);
  }
  // Left: digits, separators, blanks and minus signs.
  bool digitBefore = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isMinus(text[i]) && digitBefore) {
      for (std::size_t j = i + 1; j < text.size(); ++j) {
        if (isDigit(text[j])) return {Reason::MinusBetweenDigits, {}};
      }
    }
    digitBefore = digitBefore || isDigit(text[i]);
  }
  int separators = 0;
  int decimals = 0;
  int significant = 0;
  uint64_t digits = 0;  // all digits as one integer, saturated
  for (char32_t c : text) {
    if (isSeparator(c)) ++separators;
    if (!isDigit(c)) continue;
    if (separators > 0) ++decimals;
    if (significant > 0 || c != U'0') ++significant;
    digits = digits > std::numeric_limits<uint64_t>::max() / 10 ? std::numeric_limits<uint64_t>::max()
                                                                : digits * 10 + (c - U'0');
  }
  if (separators > 1) return {Reason::SecondSeparator, {}};
  if (decimals > 7) return {Reason::TooManyDecimals, {}};
  if (significant > 18) return {Reason::TooManyDigits, {}};
  for (char32_t c : text) {
    if (c == kTypographicMinus) return characterReason(c);
  }
  // Every digit is scaled to thousandths before the decimals are cut, so that product must fit.
  if (digits > static_cast<uint64_t>(std::numeric_limits<int64_t>::max() / 1000)) {
    return {Reason::TooLarge, {}};
  }
  return {};
}

std::string reasonTerminalText(const EntryReason& reason) {
  if (reason.reason == Reason::None) return {};
  const char* pattern = kReasons[static_cast<std::size_t>(reason.reason)].text;
  const std::string lines =
      fillPath(encodedString(decodeBytes(pattern, "ISO-8859-2"), "UTF-8"), reason.detail);
  const std::size_t end = lines.find('\n');
  return " Oka: " + lines.substr(0, end) + "\nReason: " + lines.substr(end + 1) + "\n";
}
