// Quoted cells: separators inside them are text, doubled quotes are one, and a cell may go on over a line
// end; the first content line decides the file's separator.
#include "app/read/line_reader.h"

#include <cstring>
#include <utility>

#include "app/read/line_scans.h"

using namespace line_scans;

namespace {

enum class CellState { FieldStart, InField, InQuote };

// Where the reading of quoted cells stands after some units.
struct CellScan {
  CellState state = CellState::FieldStart;
  // The opening quote of the cell still open, and the doubled quotes recorded before it.
  uint32_t opener = 0;
  std::size_t doubledBefore = 0;
};

// Reads the units from `i` up to `length`: records each separator of `set` that stands outside quoted cells,
// and the second quote of each doubled quote inside them.
void scanCells(const char16_t* units, uint32_t i, uint32_t length, SeparatorSet set, CellScan& scan,
               std::vector<uint32_t>& separators, std::vector<uint32_t>& doubled) {
  // In locals: the vectors written below could alias `scan` for all the compiler knows.
  CellState state = scan.state;
  uint32_t opener = scan.opener;
  std::size_t doubledBefore = scan.doubledBefore;
  for (; i < length; ++i) {
    const char16_t unit = units[i];
    if (state == CellState::InQuote) {
      if (unit != u'"') continue;
      if (i + 1 < length && units[i + 1] == u'"') {
        doubled.push_back(++i);
      } else {
        state = CellState::InField;
      }
    } else if (separates(unit, set)) {
      separators.push_back(i);
      state = CellState::FieldStart;
    } else if (state == CellState::FieldStart && unit == u'"') {
      state = CellState::InQuote;
      opener = i;
      doubledBefore = doubled.size();
    } else if (!isBlankUnit(unit)) {
      state = CellState::InField;
    }
  }
  scan = CellScan{state, opener, doubledBefore};
}

// A cell still open at the end of the units: its opening quote was an ordinary one, and the rest is read
// unquoted.
void readRestUnquoted(const char16_t* units, uint32_t length, SeparatorSet set, const CellScan& scan,
                      std::vector<uint32_t>& separators, std::vector<uint32_t>& doubled) {
  doubled.resize(scan.doubledBefore);
  for (uint32_t j = scan.opener + 1; j < length; ++j) {
    if (separates(units[j], set)) separators.push_back(j);
  }
}

// The separator of a file whose first content line holds `has` outside quoted cells.
FieldSeparator fileSeparator(bool semicolon, bool comma, bool tab) {
  if (semicolon) return FieldSeparator::Semicolon;
  if (comma) return FieldSeparator::Comma;
  return tab ? FieldSeparator::Tab : FieldSeparator::Semicolon;
}

}  // namespace

bool LineReader::decideSeparator(ReadLine& line, const RawLine& raw) {
  separatorDecided_ = true;
  if (firstQuoted_) {
    // Quoted cells as any file's would open: after a ';', a ',' or a TAB.
    const SeparatorSet any = kSemicolonBit | kCommaBit | kTabBit;
    const auto length = static_cast<uint32_t>(firstUnits_.size());
    std::vector<uint32_t> separators;
    std::vector<uint32_t> doubled;
    CellScan scan;
    scanCells(firstUnits_.data(), firstBegin_, length, any, scan, separators, doubled);
    if (scan.state == CellState::InQuote)
      readRestUnquoted(firstUnits_.data(), length, any, scan, separators, doubled);
    SeparatorSet seen = 0;
    for (uint32_t at : separators) seen |= SeparatorSet{1} << firstUnits_[at];
    separator_ = fileSeparator((seen & kSemicolonBit) != 0, (seen & kCommaBit) != 0, (seen & kTabBit) != 0);
  } else {
    // Bytes below 0x80 stand for themselves in every charset a run reads.
    const auto holds = [&raw](char byte) { return std::memchr(raw.bytes, byte, raw.size) != nullptr; };
    separator_ = fileSeparator(holds(';'), holds(','), holds('\t'));
  }
  bool readAgain = false;
  if (separator_ != FieldSeparator::Semicolon) {
    if (firstQuoted_) {
      // The physical lines it took are read; a cell left open may take more.
      units_.swap(firstUnits_);
      breaks_.swap(firstBreaks_);
      line.damage = readQuoted(line, firstBegin_);
    } else {
      readAgain = true;
    }
  }
  firstUnits_ = {};
  firstBreaks_ = {};
  return readAgain;
}

ReadLine::Damage LineReader::readQuoted(ReadLine& line, uint32_t begin) {
  separators_.clear();
  doubled_.clear();
  const SeparatorSet set = separatorsOf(separator_);
  CellScan scan;
  uint32_t i = begin;
  for (;;) {
    const uint32_t length = static_cast<uint32_t>(units_.size());
    scanCells(units_.data(), i, length, set, scan, separators_, doubled_);
    i = length;
    if (scan.state != CellState::InQuote) break;
    if (quotesEnd_ > cutter_.position()) {
      // The cell goes on over the line end, which reads as one blank.
      RawLine raw{};
      if (!cutter_.next(raw)) break;
      ++linesRead_;
      line.lastNumber = linesRead_;
      breaks_.push_back(length);
      units_.push_back(u' ');
      const ReadLine::Damage damage = appendDecoded(raw);
      if (damage != ReadLine::Damage::None) {
        line.number = linesRead_;
        return damage;
      }
      continue;
    }
    readRestUnquoted(units_.data(), length, set, scan, separators_, doubled_);
    break;
  }
  if (!separatorDecided_) {
    firstQuoted_ = true;
    firstBegin_ = begin;
    firstUnits_ = units_;
    firstBreaks_ = breaks_;
  }
  dropDoubledQuotes();
  const uint32_t length = static_cast<uint32_t>(units_.size());
  for (uint32_t j = begin; j < length; ++j) {
    if (units_[j] == u'"') units_[j] = u' ';
  }
  splitFields(line, begin, length);
  return ReadLine::Damage::None;
}

void LineReader::dropDoubledQuotes() {
  if (doubled_.empty()) return;
  // Positions behind a dropped quote move one unit down for each.
  const auto moveDown = [this](std::vector<uint32_t>& positions) {
    std::size_t k = 0;
    for (uint32_t& at : positions) {
      while (k < doubled_.size() && doubled_[k] < at) ++k;
      at -= static_cast<uint32_t>(k);
    }
  };
  moveDown(separators_);
  moveDown(breaks_);
  uint32_t kept = doubled_[0];
  std::size_t k = 0;
  for (uint32_t j = doubled_[0]; j < units_.size(); ++j) {
    if (k < doubled_.size() && doubled_[k] == j) {
      ++k;
      continue;
    }
    units_[kept++] = units_[j];
  }
  units_.resize(kept);
}

void LineReader::splitFields(ReadLine& line, uint32_t begin, uint32_t end) {
  const char16_t* units = units_.data();
  const SeparatorSet set = separatorsOf(separator_);
  while (begin < end && isBlankUnit(units[begin]) && !separates(units[begin], set)) ++begin;
  // Trailing blanks and separators go; a separator inside a quoted cell is text and stays.
  std::size_t kept = separators_.size();
  while (end > begin) {
    const char16_t unit = units[end - 1];
    if (isBlankUnit(unit)) {
      --end;
      continue;
    }
    while (kept > 0 && separators_[kept - 1] > end - 1) --kept;
    if (!separates(unit, set) || kept == 0 || separators_[kept - 1] != end - 1) break;
    --end;
    --kept;
  }
  char16_t separator = separator_ == FieldSeparator::Comma ? u',' : u'\t';
  if (separator_ == FieldSeparator::Semicolon) {
    bool semicolon = false;
    for (std::size_t k = 0; k < kept; ++k) semicolon = semicolon || units[separators_[k]] == u';';
    separator = semicolon ? u';' : u',';
  }

  spans_.clear();
  if (begin < end) {
    uint32_t start = begin;
    for (std::size_t k = 0; k < kept; ++k) {
      const uint32_t at = separators_[k];
      if (units[at] != separator) continue;
      spans_.push_back(trimmedSpan(units, start, at));
      start = at + 1;
    }
    spans_.push_back(trimmedSpan(units, start, end));
    for (FieldSpan& span : spans_) {
      span.begin -= begin;
      span.end -= begin;
    }
  }
  std::size_t breakCount = 0;
  for (uint32_t at : breaks_) breakCount += at >= begin && at < end ? 1 : 0;
  line.units = units + begin;
  line.length = end - begin;
  line.content = isContent(line.units, line.length, spans_.data(), spans_.size());
  setFields(line.fields, line.units, spans_.size(), true, breakCount, nullptr);
}
