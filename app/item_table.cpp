// ItemTable: first-seen order in a vector, lookup through an open-addressing index over the key hash.
#include "app/item_table.h"

namespace {

uint32_t mix(uint32_t h, int32_t partHash) {
  h ^= static_cast<uint32_t>(partHash);
  h *= 0x9E3779B1u;
  return h ^ (h >> 15);
}

uint32_t finalMix(uint32_t h) {
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  return h ^ (h >> 16);
}

}  // namespace

uint32_t ItemTable::keyHash(const ItemRecord& record) const {
  uint32_t h = 0x2545F491u;
  h = mix(h, record.goodsCode.hashCode());
  h = mix(h, record.transactionCode.hashCode());
  h = mix(h, record.memberState.hashCode());
  h = mix(h, record.originCountry.hashCode());
  if (keyIncludesPartner_) h = mix(h, record.partnerId.hashCode());
  return finalMix(h);
}

bool ItemTable::sameKey(const ItemRecord& a, const ItemRecord& b) const {
  return a.goodsCode.equals(b.goodsCode) && a.transactionCode.equals(b.transactionCode) &&
         a.memberState.equals(b.memberState) && a.originCountry.equals(b.originCountry) &&
         (!keyIncludesPartner_ || a.partnerId.equals(b.partnerId));
}

ItemRecord* ItemTable::find(const ItemRecord& probe) {
  if (slots_.empty()) return nullptr;
  const uint32_t hash = keyHash(probe);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const uint32_t slot = slots_[i];
    if (slot == 0) return nullptr;
    if (hashes_[slot - 1] == hash && sameKey(records_[slot - 1], probe)) return &records_[slot - 1];
  }
}

ItemRecord& ItemTable::add(const ItemRecord& record) {
  // At most half the slots in use keeps the probe sequences short.
  if ((records_.size() + 1) * 2 > slots_.size()) rebuildIndex(slots_.empty() ? 256 : slots_.size() * 2);
  const uint32_t hash = keyHash(record);
  records_.push_back(record);
  hashes_.push_back(hash);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = static_cast<uint32_t>(records_.size());
  return records_.back();
}

void ItemTable::rebuildIndex(std::size_t slotCount) {
  slots_.assign(slotCount, 0);
  const std::size_t mask = slotCount - 1;
  for (std::size_t r = 0; r < records_.size(); ++r) {
    std::size_t i = hashes_[r] & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = static_cast<uint32_t>(r + 1);
  }
}
