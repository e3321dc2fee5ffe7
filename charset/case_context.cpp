// CaseContext: words, Final_Sigma, After_I, After_Soft_Dotted, More_Above and Before_Dot per position.
#include "charset/case_context.h"

#include "charset/unicode_props.h"

namespace {

constexpr uint8_t combiningAbove = 230;
constexpr char16_t combiningDotAbove = 0x0307;
constexpr char16_t capitalI = 0x0049;

// What the scans ask of a unit; a unit without a record counts as category Co and combining class 0.
struct UnitInfo {
  bool hasRecord;
  uint8_t generalCategory;
  uint8_t combiningClass;
};

UnitInfo unitInfo(char16_t unit) {
  const CharProperties* properties = findCharProperties(unit);
  if (properties == nullptr) return {false, 15, 0};
  return {true, properties->generalCategory, properties->combiningClass};
}

// Lu, Ll and Lt are the cased letters.
bool isCasedCategory(uint8_t category) {
  return category <= 2;
}

bool stopsAboveScan(uint8_t combiningClass) {
  return combiningClass == 0 || combiningClass == combiningAbove;
}

}  // namespace

void CaseContext::start(const char16_t* units, int64_t count) {
  text = units;
  length = count;
  position = 0;
  wordEnd = 0;
  firstCased = lastCased = -1;
  iSeen = softDottedSeen = false;
  scanStop = 0;
  computeConditions();
}

void CaseContext::advance() {
  if (position >= length) return;
  char16_t unit = text[position];
  bool stops = stopsAboveScan(unitInfo(unit).combiningClass);
  iSeen = unit == capitalI || (iSeen && !stops);
  softDottedSeen = isSoftDotted(unit) || (softDottedSeen && !stops);
  ++position;
  computeConditions();
}

void CaseContext::computeConditions() {
  if (position >= length) {
    finalSigma = afterI = afterSoftDotted = moreAbove = beforeDot = false;
    return;
  }
  if (position >= wordEnd) scanWord();
  finalSigma = position == lastCased && firstCased >= 0 && firstCased < lastCased;
  afterI = iSeen;
  afterSoftDotted = softDottedSeen;
  // A scan that stopped at a later unit still answers for every position before that unit.
  if (position >= scanStop) scanAbove();
}

void CaseContext::scanWord() {
  firstCased = lastCased = -1;
  wordEnd = position;
  do {
    UnitInfo info = unitInfo(text[wordEnd]);
    if (wordEnd > position && (!info.hasRecord || isWhiteSpace(text[wordEnd]))) break;
    if (isCasedCategory(info.generalCategory)) {
      if (firstCased < 0) firstCased = wordEnd;
      lastCased = wordEnd;
    }
    ++wordEnd;
  } while (wordEnd < length);
}

void CaseContext::scanAbove() {
  moreAbove = beforeDot = false;
  scanStop = position + 1;
  for (; scanStop < length; ++scanStop) {
    uint8_t combiningClass = unitInfo(text[scanStop]).combiningClass;
    if (stopsAboveScan(combiningClass)) {
      moreAbove = combiningClass == combiningAbove;
      beforeDot = text[scanStop] == combiningDotAbove;
      return;
    }
  }
}
