// ItemTable: first-seen order in a vector, lookup through an open-addressing index over the packed key,
// lines merged in short batches so their index slots are fetched ahead.
#include "app/item_table.h"

#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

// Lines per batch: enough to overlap the memory latency of their lookups, few enough to stay in cache.
constexpr std::size_t kBatch = 16;

ItemKey keyOf(const ItemRecord& record) {
  const UString* parts[5] = {&record.goodsCode, &record.transactionCode, &record.memberState,
                             &record.originCountry, &record.partnerId};
  ItemKey key{};
  for (int i = 0; i < 5; ++i) key.parts[i] = {parts[i]->units(), parts[i]->length()};
  return key;
}

// Copies every unit, a zero unit too (a UString built from units would stop there).
UString textOf(const char16_t* units, uint32_t length) {
  if (length == 0) return UString();
  UStringBuffer buffer(length);
  std::memcpy(buffer.data(), units, length * sizeof(char16_t));
  return buffer.finish();
}

bool addOverflows(int64_t total, int64_t value) {
  return value > 0 ? total > std::numeric_limits<int64_t>::max() - value
                   : total < std::numeric_limits<int64_t>::min() - value;
}

void prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

// A part's length in the packed key: one byte below 255, else 255 and four bytes.
char* packLength(char* at, uint32_t length) {
  if (length < 0xFF) {
    *at = static_cast<char>(length);
    return at + 1;
  }
  *at = static_cast<char>(0xFF);
  std::memcpy(at + 1, &length, 4);
  return at + 5;
}

// The k-th unit of a part as it is packed.
char16_t packedUnit(const ItemKey::Part& part, uint32_t k) {
  if (part.bytes == nullptr) return part.units[k];
  if (k < part.zeros) return u'0';
  const auto byte = static_cast<unsigned char>(part.bytes[k - part.zeros]);
  return part.upper && static_cast<unsigned char>(byte - 'a') < 26 ? byte - 0x20 : byte;
}

}  // namespace

void ItemTable::pack(const ItemKey& key, std::vector<char>& out) const {
  const int partCount = keyIncludesPartner_ ? 5 : 4;
  std::size_t unitCount = 0;
  std::size_t lengthBytes = 0;
  for (int i = 0; i < partCount; ++i) {
    const uint32_t length = key.parts[i].zeros + key.parts[i].length;
    unitCount += length;
    lengthBytes += length < 0xFF ? 1 : 5;
  }
  const std::size_t start = out.size();
  // Written a byte a unit first, which nearly every key is; a key with a unit above 0xFF is written again
  // two bytes a unit. A key is packed one way only, so equal keys give equal bytes.
  out.resize(start + 1 + lengthBytes + unitCount);
  char16_t high = 0;
  char* at = out.data() + start;
  *at++ = 0;
  for (int i = 0; i < partCount; ++i) {
    const ItemKey::Part& part = key.parts[i];
    at = packLength(at, part.zeros + part.length);
    if (part.bytes != nullptr) {
      // Straight from the line: zeros in front, ASCII letters upper-cased on the way.
      for (uint32_t k = 0; k < part.zeros; ++k) *at++ = '0';
      const char* bytes = part.bytes;
      const uint32_t length = part.length;
      const unsigned upper = part.upper ? 0x20 : 0;
      for (uint32_t k = 0; k < length; ++k) {
        const auto byte = static_cast<unsigned char>(bytes[k]);
        const unsigned lower = static_cast<unsigned char>(byte - 'a') < 26;
        at[k] = static_cast<char>(byte - (upper & -lower));
      }
    } else {
      const char16_t* units = part.units;
      const uint32_t length = part.length;
      char* bytes = at;
      for (uint32_t k = 0; k < length; ++k) {
        high |= units[k];
        bytes[k] = static_cast<char>(units[k]);
      }
    }
    at += part.length;
  }
  if (high > 0xFF) {
    out.resize(start + 1 + lengthBytes + unitCount * sizeof(char16_t));
    at = out.data() + start;
    *at++ = 1;
    for (int i = 0; i < partCount; ++i) {
      const ItemKey::Part& part = key.parts[i];
      const uint32_t length = part.zeros + part.length;
      at = packLength(at, length);
      for (uint32_t k = 0; k < length; ++k) {
        const char16_t unit = packedUnit(part, k);
        std::memcpy(at + k * sizeof(char16_t), &unit, sizeof(char16_t));
      }
      at += length * sizeof(char16_t);
    }
  }
}

uint32_t ItemTable::hashOf(const char* packed, std::size_t length) {
  // Eight bytes at a time: a multiply and a shift mix each word in, a final mix spreads every byte over
  // the low bits that pick the slot.
  uint64_t h = 0x9E3779B97F4A7C15u ^ length;
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, packed + i, sizeof word);
    h = (h ^ word) * 0xFF51AFD7ED558CCDu;
    h ^= h >> 32;
  }
  if (i < length) {
    // Gathered in a register: a word copied from fewer bytes would be read back before they are stored.
    uint64_t word = 0;
    for (uint32_t shift = 0; i < length; ++i, shift += 8) {
      word |= static_cast<uint64_t>(static_cast<unsigned char>(packed[i])) << shift;
    }
    h = (h ^ word) * 0xC4CEB9FE1A85EC53u;
  }
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 33;
  return static_cast<uint32_t>(h);
}

ItemRecord* ItemTable::findPacked(const char* packed, uint32_t length, uint32_t hash) {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.record == 0) return nullptr;
    if (slot.hash != hash || slot.keyLength != length) continue;
    if (std::memcmp(keys_.data() + slot.keyStart, packed, length) == 0) return &records_[slot.record - 1];
  }
}

const UString& ItemTable::sharedText(const char16_t* units, uint32_t length) {
  uint64_t name = length;
  for (uint32_t i = 0; i < length; ++i) name |= static_cast<uint64_t>(units[i]) << (16 + 16 * i);
  auto found = shortTexts_.find(name);
  if (found == shortTexts_.end()) found = shortTexts_.emplace(name, textOf(units, length)).first;
  return found->second;
}

ItemRecord& ItemTable::addPacked(const char* packed, uint32_t length, uint32_t hash) {
  if (keys_.size() + length > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
  ItemRecord record;
  UString* parts[5] = {&record.goodsCode, &record.transactionCode, &record.memberState, &record.originCountry,
                       &record.partnerId};
  const int partCount = keyIncludesPartner_ ? 5 : 4;
  const bool wide = packed[0] != 0;
  const char* at = packed + 1;
  std::vector<char16_t>& units = scratch_;
  for (int i = 0; i < partCount; ++i) {
    uint32_t partLength = static_cast<unsigned char>(*at++);
    if (partLength == 0xFF) {
      std::memcpy(&partLength, at, 4);
      at += 4;
    }
    units.resize(partLength);
    if (wide) {
      std::memcpy(units.data(), at, partLength * sizeof(char16_t));
      at += partLength * sizeof(char16_t);
    } else {
      for (uint32_t k = 0; k < partLength; ++k) units[k] = static_cast<unsigned char>(*at++);
    }
    *parts[i] = partLength <= 3 ? sharedText(units.data(), partLength) : textOf(units.data(), partLength);
  }
  records_.push_back(std::move(record));
  // At most half the slots in use keeps the probe sequences short.
  if (records_.size() * 2 > slots_.size()) rebuildIndex(slots_.empty() ? 256 : slots_.size() * 2);
  const auto keyStart = static_cast<uint32_t>(keys_.size());
  keys_.insert(keys_.end(), packed, packed + length);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (slots_[i].record != 0) i = (i + 1) & mask;
  slots_[i] = Slot{hash, static_cast<uint32_t>(records_.size()), keyStart, length};
  return records_.back();
}

ItemRecord* ItemTable::find(const ItemRecord& probe) {
  probe_.clear();
  pack(keyOf(probe), probe_);
  return findPacked(probe_.data(), static_cast<uint32_t>(probe_.size()),
                    hashOf(probe_.data(), probe_.size()));
}

ItemRecord& ItemTable::add(const ItemRecord& record) {
  probe_.clear();
  pack(keyOf(record), probe_);
  const uint32_t hash = hashOf(probe_.data(), probe_.size());
  ItemRecord& added = addPacked(probe_.data(), static_cast<uint32_t>(probe_.size()), hash);
  added = record;
  return added;
}

void ItemTable::merge(const ItemKey& key, const int64_t (&quantities)[4], int32_t lineNumber) {
  Waiting line{};
  line.lineNumber = lineNumber;
  for (int i = 0; i < 4; ++i) line.quantities[i] = quantities[i];
  line.keyStart = waitingKeys_.size();
  pack(key, waitingKeys_);
  line.keyLength = static_cast<uint32_t>(waitingKeys_.size() - line.keyStart);
  waiting_.push_back(line);
  // The line before is hashed and its slot fetched now, when its packed bytes are no longer in flight.
  if (waiting_.size() >= 2) hashWaiting(waiting_[waiting_.size() - 2]);
  if (waiting_.size() == kBatch) mergeWaiting();
}

void ItemTable::hashWaiting(Waiting& line) {
  line.hash = hashOf(waitingKeys_.data() + line.keyStart, line.keyLength);
  if (!slots_.empty()) prefetch(&slots_[line.hash & (slots_.size() - 1)]);
}

void ItemTable::mergeWaiting() {
  // The slots of all but the last line were fetched as the lines came; now fetch the keys and records they
  // point at, then merge.
  if (!waiting_.empty()) hashWaiting(waiting_.back());
  if (!slots_.empty()) {
    const std::size_t mask = slots_.size() - 1;
    for (const Waiting& line : waiting_) {
      const Slot& slot = slots_[line.hash & mask];
      if (slot.record != 0) {
        prefetch(keys_.data() + slot.keyStart);
        // A match touches only the totals, which may start a cache line of their own.
        prefetch(&records_[slot.record - 1].netMass);
        prefetch(&records_[slot.record - 1].statisticalValue);
      }
    }
  }
  for (const Waiting& line : waiting_) {
    const char* packed = waitingKeys_.data() + line.keyStart;
    ItemRecord* match = findPacked(packed, line.keyLength, line.hash);
    if (match == nullptr) {
      ItemRecord& record = addPacked(packed, line.keyLength, line.hash);
      record.netMass = line.quantities[0];
      record.supplementaryQuantity = line.quantities[1];
      record.invoicedAmount = line.quantities[2];
      record.statisticalValue = line.quantities[3];
      continue;
    }
    int64_t* totals[4] = {&match->netMass, &match->supplementaryQuantity, &match->invoicedAmount,
                          &match->statisticalValue};
    bool fits = true;
    for (int i = 0; i < 4; ++i) fits = fits && !addOverflows(*totals[i], line.quantities[i]);
    if (!fits) {
      outOfRange_.push_back(line.lineNumber);
      continue;
    }
    for (int i = 0; i < 4; ++i) *totals[i] += line.quantities[i];
  }
  waiting_.clear();
  waitingKeys_.clear();
}

std::vector<int32_t> ItemTable::settle() {
  mergeWaiting();
  std::vector<int32_t> lines;
  lines.swap(outOfRange_);
  return lines;
}

void ItemTable::rebuildIndex(std::size_t slotCount) {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(slotCount, Slot{0, 0, 0, 0});
  const std::size_t mask = slotCount - 1;
  for (const Slot& slot : old) {
    if (slot.record == 0) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].record != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}
