// ItemTable: first-seen order in a vector, lookup through an open-addressing index over the packed key.
#include "app/item_table.h"

#include <cstring>

namespace {

ItemKey keyOf(const ItemRecord& record) {
  const UString* parts[5] = {&record.goodsCode, &record.transactionCode, &record.memberState,
                             &record.originCountry, &record.partnerId};
  ItemKey key{};
  for (int i = 0; i < 5; ++i) key.parts[i] = {parts[i]->units(), parts[i]->length()};
  return key;
}

// Copies every unit, a zero unit too (a UString built from units would stop there).
UString textOf(const ItemKey::Part& part) {
  if (part.length == 0) return UString();
  UStringBuffer buffer(part.length);
  std::memcpy(buffer.data(), part.units, part.length * sizeof(char16_t));
  return buffer.finish();
}

}  // namespace

uint32_t ItemTable::pack(const ItemKey& key) {
  packed_.clear();
  const int partCount = keyIncludesPartner_ ? 5 : 4;
  for (int i = 0; i < partCount; ++i) {
    const ItemKey::Part& part = key.parts[i];
    packed_.push_back(static_cast<char16_t>(part.length & 0xFFFF));
    packed_.push_back(static_cast<char16_t>(part.length >> 16));
    packed_.insert(packed_.end(), part.units, part.units + part.length);
  }
  // FNV-1a over the units, then a final mix so the low bits that pick the slot depend on every unit.
  uint32_t h = 0x811C9DC5u;
  for (char16_t unit : packed_) h = (h ^ unit) * 0x01000193u;
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  return h;
}

ItemRecord* ItemTable::findPacked(uint32_t hash) {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.record == 0) return nullptr;
    if (slot.hash != hash) continue;
    const std::size_t r = slot.record - 1;
    const std::size_t start = keyStarts_[r];
    const std::size_t length = keyStarts_[r + 1] - start;
    if (length == packed_.size() &&
        std::memcmp(keys_.data() + start, packed_.data(), length * sizeof(char16_t)) == 0) {
      return &records_[r];
    }
  }
}

void ItemTable::insertPacked(uint32_t hash) {
  // At most half the slots in use keeps the probe sequences short.
  if ((records_.size() + 1) * 2 > slots_.size()) rebuildIndex(slots_.empty() ? 256 : slots_.size() * 2);
  keys_.insert(keys_.end(), packed_.begin(), packed_.end());
  keyStarts_.push_back(keys_.size());
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (slots_[i].record != 0) i = (i + 1) & mask;
  slots_[i] = Slot{hash, static_cast<uint32_t>(records_.size())};
}

ItemRecord* ItemTable::find(const ItemKey& key) {
  return findPacked(pack(key));
}

ItemRecord& ItemTable::add(const ItemKey& key) {
  const uint32_t hash = pack(key);
  ItemRecord record;
  record.goodsCode = textOf(key.parts[0]);
  record.transactionCode = textOf(key.parts[1]);
  record.memberState = textOf(key.parts[2]);
  record.originCountry = textOf(key.parts[3]);
  if (keyIncludesPartner_) record.partnerId = textOf(key.parts[4]);
  records_.push_back(record);
  insertPacked(hash);
  return records_.back();
}

ItemRecord* ItemTable::find(const ItemRecord& probe) {
  return find(keyOf(probe));
}

ItemRecord& ItemTable::add(const ItemRecord& record) {
  const uint32_t hash = pack(keyOf(record));
  records_.push_back(record);
  insertPacked(hash);
  return records_.back();
}

void ItemTable::rebuildIndex(std::size_t slotCount) {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(slotCount, Slot{0, 0});
  const std::size_t mask = slotCount - 1;
  for (const Slot& slot : old) {
    if (slot.record == 0) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].record != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}
