// toUpper, toLower and toTitle: special rows, the conditional locale rules, then the simple mappings.
#include "charset/case_mapping.h"

#include <cstring>
#include <memory>
#include <new>

#include "charset/case_context.h"
#include "charset/unicode_props.h"

namespace {

enum class CaseLocale : uint8_t { Other = 1, Lithuanian = 2, Turkic = 4 };
constexpr uint8_t anyLocale = 7;

enum class Column : uint8_t { Lower, Title, Upper };

enum class Condition : uint8_t { None, NotBeforeDot, MoreAbove, AfterI, AfterSoftDotted, FinalSigma };

// A column holds up to three units; the units after the first zero are not emitted.
struct ConditionalRule {
  char16_t unit;
  uint8_t locales;
  Condition condition;
  uint16_t lower[3];
  uint16_t title[3];
  uint16_t upper[3];
};

constexpr uint8_t lt = static_cast<uint8_t>(CaseLocale::Lithuanian);
constexpr uint8_t trAz = static_cast<uint8_t>(CaseLocale::Turkic);

// Evaluated in this order; the first rule for the unit whose locale and condition hold is taken.
constexpr ConditionalRule conditionalRules[] = {
    {0x0049, trAz, Condition::NotBeforeDot, {0x0131}, {0x0049}, {0x0049}},
    {0x0049, lt, Condition::MoreAbove, {0x0069, 0x0307}, {0x0049}, {0x0049}},
    {0x004A, lt, Condition::MoreAbove, {0x006A, 0x0307}, {0x004A}, {0x004A}},
    {0x0069, trAz, Condition::None, {0x0069}, {0x0130}, {0x0130}},
    {0x00CC, lt, Condition::None, {0x0069, 0x0307, 0x0300}, {0x00CC}, {0x00CC}},
    {0x00CD, lt, Condition::None, {0x0069, 0x0307, 0x0301}, {0x00CD}, {0x00CD}},
    {0x0128, lt, Condition::None, {0x0069, 0x0307, 0x0303}, {0x0128}, {0x0128}},
    {0x012E, lt, Condition::MoreAbove, {0x012F, 0x0307}, {0x012E}, {0x012E}},
    {0x0130, trAz, Condition::AfterI, {0x0069}, {0x0130}, {0x0130}},
    {0x0307, lt, Condition::AfterSoftDotted, {0x0307}, {}, {}},
    {0x0307, trAz, Condition::AfterI, {}, {0x0307}, {0x0307}},
    {0x03A3, anyLocale, Condition::FinalSigma, {0x03C2}, {0x03A3}, {0x03A3}},
};
constexpr char16_t highestRuleUnit = 0x03A3;

CaseLocale localeOf(const char* tag) {
  if (tag == nullptr) return CaseLocale::Other;
  if (tag[0] == 'l' && tag[1] == 't') return CaseLocale::Lithuanian;
  if ((tag[0] == 't' && tag[1] == 'r') || (tag[0] == 'a' && tag[1] == 'z')) return CaseLocale::Turkic;
  return CaseLocale::Other;
}

bool conditionHolds(Condition condition, const CaseContext& context) {
  switch (condition) {
    case Condition::None:
      return true;
    case Condition::NotBeforeDot:
      return !context.beforeDot;
    case Condition::MoreAbove:
      return context.moreAbove;
    case Condition::AfterI:
      return context.afterI;
    case Condition::AfterSoftDotted:
      return context.afterSoftDotted;
    case Condition::FinalSigma:
      return context.finalSigma;
  }
  return false;
}

const ConditionalRule* findConditionalRule(char16_t unit, CaseLocale locale, const CaseContext& context) {
  // Without a language only the final sigma rule can apply.
  if (unit > highestRuleUnit || (locale == CaseLocale::Other && unit != 0x03A3)) return nullptr;
  for (const ConditionalRule& rule : conditionalRules) {
    if (rule.unit == unit && (rule.locales & static_cast<uint8_t>(locale)) != 0 &&
        conditionHolds(rule.condition, context)) {
      return &rule;
    }
  }
  return nullptr;
}

// Emits the units of a column up to its first zero; returns how many.
int32_t emitColumn(const uint16_t* column, char16_t* out) {
  int32_t count = 0;
  while (count < 3 && column[count] != 0) {
    out[count] = static_cast<char16_t>(column[count]);
    ++count;
  }
  return count;
}

// Maps the unit at the context's position into out (room for three units); returns the count.
int32_t mapUnit(char16_t unit, Column column, CaseLocale locale, const CaseContext& context, char16_t* out) {
  int32_t row = findSpecialCasing(unit);
  if (row >= 0) {
    const SpecialCasingEntry& entry = specialCasingTable[row];
    if (column == Column::Lower) {
      out[0] = static_cast<char16_t>(entry.lower);
      return 1;
    }
    return emitColumn(column == Column::Title ? entry.title : entry.upper, out);
  }
  if (const ConditionalRule* rule = findConditionalRule(unit, locale, context)) {
    return emitColumn(column == Column::Lower   ? rule->lower
                      : column == Column::Title ? rule->title
                                                : rule->upper,
                      out);
  }
  CharProperties properties;
  int32_t upper, lower, title, mirror;
  lookupCharProperties(unit, properties, upper, lower, title, mirror);
  int32_t mapped = column == Column::Lower ? lower : column == Column::Title ? title : upper;
  out[0] = static_cast<char16_t>(mapped & 0xFFFF);
  return 1;
}

enum class Operation { Upper, Lower, Title };

UString mapCase(const UString& text, const char* tag, Operation operation) {
  const CaseLocale locale = localeOf(tag);
  const char16_t* units = text.units();
  const uint64_t length = text.length();
  uint64_t capacity = length * 3 / 2 + 100;
  std::unique_ptr<char16_t[]> buffer(new char16_t[capacity]);
  uint64_t count = 0;

  CaseContext context;
  context.start(units, static_cast<int64_t>(length));
  for (; context.position < context.length; context.advance()) {
    Column column = Column::Lower;
    if (operation == Operation::Upper) {
      column = Column::Upper;
    } else if (operation == Operation::Title && context.position == context.firstCased) {
      column = Column::Title;
    }
    count += mapUnit(units[context.position], column, locale, context, buffer.get() + count);
    if (capacity < count + 3) {
      uint64_t grown = capacity * 3 / 2;
      std::unique_ptr<char16_t[]> larger(new char16_t[grown]);
      std::memcpy(larger.get(), buffer.get(), count * sizeof(char16_t));
      buffer = std::move(larger);
      capacity = grown;
    }
  }
  if (count == 0) return UString();
  if (count > UINT32_MAX) throw std::bad_alloc();  // longer than any UString can be
  // Built at its final size: a copy through the unit constructor would stop at a zero unit.
  UStringBuffer result(static_cast<uint32_t>(count));
  std::memcpy(result.data(), buffer.get(), count * sizeof(char16_t));
  return result.finish();
}

}  // namespace

int32_t findSpecialCasing(char16_t unit) {
  switch (unit) {
    case 0x00DF:
      return 0;
    case 0x0149:
      return 1;
    case 0x01F0:
      return 2;
    case 0x0390:
      return 3;
    case 0x03B0:
      return 4;
    case 0x0587:
      return 5;
    default:
      break;
  }
  int32_t low, high;
  switch (unit >> 8) {
    case 0x1E:
    case 0x1F:
      low = 6, high = 89;
      break;
    case 0xFB:
      low = 90, high = 101;
      break;
    default:
      return -1;
  }
  while (low <= high) {
    int32_t middle = (low + high) / 2;
    if (specialCasingTable[middle].unit == unit) return middle;
    if (specialCasingTable[middle].unit < unit) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return -1;
}

UString toUpper(const UString& text, const char* locale) {
  return mapCase(text, locale, Operation::Upper);
}
UString toLower(const UString& text, const char* locale) {
  return mapCase(text, locale, Operation::Lower);
}
UString toTitle(const UString& text, const char* locale) {
  return mapCase(text, locale, Operation::Title);
}
