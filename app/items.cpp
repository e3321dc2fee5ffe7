// Item lines: key normalisation, quantity parsing, merging into ItemTable, and the item section.
#include "app/items.h"

#include <limits>

#include "app/messages.h"
#include "app/quantity.h"
#include "charset/case_mapping.h"
#include "charset/charset.h"
#include "text/exception.h"

namespace {

enum Column { TEKOD = 1, UKOD, MEMBER_STATE, SZAORSZ, KGM, KIEGME, SZAOSSZ, STAERT, PADO };

const UString& column(const std::vector<UString>& fields, int position) {
  static const UString empty;
  return static_cast<std::size_t>(position) < fields.size() ? fields[position] : empty;
}

UString padded(const UString& text, uint32_t width) {
  static const UString zero(u"0");
  return text.length() >= width ? text : text.padLeft(width, zero);
}

// Country codes are nearly always upper-case ASCII already: leave those texts as they are.
UString upperCased(const UString& text) {
  const char16_t* units = text.units();
  for (uint32_t i = 0; i < text.length(); ++i) {
    if (units[i] >= 0x80 || (units[i] >= u'a' && units[i] <= u'z')) return toUpper(text, "en");
  }
  return text;
}

bool addOverflows(int64_t total, int64_t value) {
  return value > 0 ? total > std::numeric_limits<int64_t>::max() - value
                   : total < std::numeric_limits<int64_t>::min() - value;
}

void append(std::string& out, const UString& text) {
  char* bytes = encodeText(text, "ISO-8859-2");
  out += bytes;
  delete[] bytes;
}

}  // namespace

LineOutcome handleItemLine(RunContext& run, const std::vector<UString>& fields) {
  if (fields.size() < 5) return LineOutcome::Continue;
  int64_t quantities[4];
  try {
    for (int i = 0; i < 4; ++i) quantities[i] = parseQuantity(column(fields, KGM + i));
  } catch (const Exception&) {
    run.report(message::kInvalidNumber);
    return LineOutcome::Continue;
  }

  ItemRecord line;
  line.goodsCode = padded(column(fields, TEKOD), 8);
  line.transactionCode = padded(column(fields, UKOD), 2);
  line.memberState = upperCased(column(fields, MEMBER_STATE));
  line.originCountry = upperCased(column(fields, SZAORSZ));
  if (run.formCode == 2010) line.partnerId = upperCased(column(fields, PADO));

  ItemRecord* match = run.items.find(line);
  if (match == nullptr) {
    line.netMass = quantities[0];
    line.supplementaryQuantity = quantities[1];
    line.invoicedAmount = quantities[2];
    line.statisticalValue = quantities[3];
    run.items.add(line);
    return LineOutcome::Continue;
  }
  int64_t* totals[4] = {&match->netMass, &match->supplementaryQuantity, &match->invoicedAmount,
                        &match->statisticalValue};
  for (int i = 0; i < 4; ++i) {
    if (addOverflows(*totals[i], quantities[i])) {
      run.report(message::kInvalidNumber);
      return LineOutcome::Continue;
    }
  }
  for (int i = 0; i < 4; ++i) *totals[i] += quantities[i];
  return LineOutcome::Continue;
}

std::string formatTotal(int64_t thousandths) {
  if (thousandths == 0) return std::string();
  if (thousandths >= 1000) return std::to_string(thousandths / 1000);
  // Integer arithmetic gives the exact three decimals even where a double could not hold the value.
  const uint64_t magnitude =
      thousandths < 0 ? 0 - static_cast<uint64_t>(thousandths) : static_cast<uint64_t>(thousandths);
  std::string text = thousandths < 0 ? "-" : "";
  text += std::to_string(magnitude / 1000);
  const uint64_t fraction = magnitude % 1000;
  text += '.';
  text += static_cast<char>('0' + fraction / 100);
  text += static_cast<char>('0' + fraction / 10 % 10);
  text += static_cast<char>('0' + fraction % 10);
  return text;
}

void writeItemSection(const RunContext& run) {
  const bool withPartner = run.formCode == 2010;
  std::string text = withPartner ? "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}\r\n"
                                 : "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}\r\n";
  uint32_t rowNumber = 0;
  for (const ItemRecord& record : run.items.records()) {
    std::string number = std::to_string(++rowNumber);
    if (number.size() < 5) text.append(5 - number.size(), '0');
    text += number;
    for (const UString* key :
         {&record.goodsCode, &record.transactionCode, &record.memberState, &record.originCountry}) {
      text += ';';
      append(text, *key);
    }
    text += ';';
    text += formatTotal(record.netMass);
    text += ';';
    text += formatTotal(record.supplementaryQuantity);
    text += ';';
    text += formatTotal(record.invoicedAmount);
    text += ';';
    text += formatTotal(record.statisticalValue);
    if (withPartner) {
      text += ';';
      append(text, record.partnerId);
    }
    text += "\r\n";
    // Written in pieces so a table of any size needs no second copy of the whole section.
    if (text.size() >= 1 << 16) {
      std::fwrite(text.data(), 1, text.size(), run.output);
      text.clear();
    }
  }
  std::fwrite(text.data(), 1, text.size(), run.output);
}
