// ItemTable: records end to end in blocks that never move, lookup through an open-addressing index over
// the packed key (item_key.cpp), lines merged in short batches so their slots and records are fetched
// ahead.
#include "app/declaration/item_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "app/platform/large_blocks.h"

namespace {

// Lines per batch: enough to overlap the memory latency of their lookups, few enough to stay in cache.
constexpr std::size_t kBatch = 16;
// Once the index has outgrown the caches (1 MiB of slots), a line's slot and record come from memory
// and a longer batch keeps more of them in flight.
constexpr std::size_t kLongBatch = 64;
constexpr std::size_t kLongBatchFromSlots = std::size_t{1} << 17;

ItemKey keyOf(const ItemRecord& record) {
  const UString* parts[5] = {&record.goodsCode, &record.transactionCode, &record.memberState,
                             &record.originCountry, &record.partnerId};
  ItemKey key{};
  for (int i = 0; i < 5; ++i) key.parts[i] = {parts[i]->units(), parts[i]->length()};
  return key;
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

// Equal packed keys of `length` bytes; a word at a time, the last word overlapping.
bool sameBytes(const char* a, const char* b, std::size_t length) {
  if (length < 8) return std::memcmp(a, b, length) == 0;
  uint64_t differ = 0;
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t x;
    uint64_t y;
    std::memcpy(&x, a + i, sizeof x);
    std::memcpy(&y, b + i, sizeof y);
    differ |= x ^ y;
  }
  uint64_t x;
  uint64_t y;
  std::memcpy(&x, a + length - 8, sizeof x);
  std::memcpy(&y, b + length - 8, sizeof y);
  return (differ | (x ^ y)) == 0;
}

// Blocks from a quarter of a large block on are taken as large blocks: one fault for a huge page costs
// less than faulting in a quarter of one page by page. Smaller ones come from the heap.
constexpr std::size_t kLargeFrom = kLargeBlock / 4;
// What a block of `bytes` really takes: a large one is a whole number of large blocks, all of it usable.
std::size_t blockBytes(std::size_t bytes) {
  return bytes < kLargeFrom ? bytes : wholeLargeBlocks(bytes);
}
void* allocateBlock(std::size_t bytes) {
  void* block = bytes < kLargeFrom ? std::malloc(bytes) : allocateLargeBlock(bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void freeBlock(void* block, std::size_t bytes) {
  if (block == nullptr) return;
  if (bytes < kLargeFrom) {
    std::free(block);
  } else {
    freeLargeBlock(block, bytes);
  }
}

// The slots of the index, all free at first: a large block comes zero-filled.
void* allocateSlots(std::size_t bytes) {
  void* slots = allocateBlock(blockBytes(bytes));
  if (bytes < kLargeFrom) std::memset(slots, 0, bytes);
  return slots;
}

// The first block of records, from the heap, so that a declaration with few keys touches little fresh
// memory; every later one is a large block.
constexpr std::size_t kFirstBlock = std::size_t{1} << 18;

std::size_t roundedUp(std::size_t size) {
  return (size + 7) / 8 * 8;
}

}  // namespace

UString ItemRow::text(int part) const {
  const Part& units = parts[part];
  if (units.length == 0) return UString();
  UStringBuffer buffer(units.length);
  if (wide) {
    std::memcpy(buffer.data(), units.bytes, units.length * sizeof(char16_t));
  } else {
    for (uint32_t k = 0; k < units.length; ++k) buffer.data()[k] = static_cast<unsigned char>(units.bytes[k]);
  }
  return buffer.finish();
}

ItemTable::~ItemTable() {
  for (const Block& block : blocks_) {
    if (block.ownedBytes != 0) freeBlock(block.bytes, block.ownedBytes);
  }
  for (const Block& spare : spare_) {
    if (spare.used == 0) freeBlock(spare.bytes, spare.size);
  }
  freeBlock(slots_, blockBytes(slotCount_ * sizeof(Slot)));
}

ItemTable::ItemTable(ItemTable&& other) noexcept : keyIncludesPartner_(other.keyIncludesPartner_) {
  swap(other);
}

ItemTable& ItemTable::operator=(ItemTable&& other) noexcept {
  if (this != &other) {
    ItemTable moved(std::move(other));
    swap(moved);
  }
  return *this;
}

void ItemTable::swap(ItemTable& other) noexcept {
  std::swap(keyIncludesPartner_, other.keyIncludesPartner_);
  std::swap(count_, other.count_);
  blocks_.swap(other.blocks_);
  spare_.swap(other.spare_);
  std::swap(slots_, other.slots_);
  std::swap(slotCount_, other.slotCount_);
  waiting_.swap(other.waiting_);
  std::swap(waitingKeys_, other.waitingKeys_);
  outOfRange_.swap(other.outOfRange_);
  std::swap(probe_, other.probe_);
}

const ItemTable::Entry* ItemTable::entryAt(uint32_t ref) const {
  const uint32_t place = ref - 1;
  const Block& block = blocks_[place >> kPlaceBits];
  return reinterpret_cast<const Entry*>(block.bytes +
                                        (static_cast<std::size_t>(place) & ((1u << kPlaceBits) - 1)) * 8);
}

const ItemTable::Entry* ItemTable::findPacked(const char* packed, uint32_t length, uint32_t hash) const {
  if (slotCount_ == 0) return nullptr;
  const std::size_t mask = slotCount_ - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.ref == 0) return nullptr;
    if (slot.hash != hash) continue;
    const Entry* entry = entryAt(slot.ref);
    if (entry->keyLength == length && sameBytes(entry->key(), packed, length)) return entry;
  }
}

ItemTable::Entry& ItemTable::addPacked(const char* packed, uint32_t length, uint32_t hash) {
  if (count_ >= std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
  const std::size_t size = sizeof(Entry) + roundedUp(length);
  // Records stay in first-seen order: a record that does not fit the last block starts a new one, of its
  // own size when it is larger than the next block would be.
  if (blocks_.empty() || blocks_.back().size - blocks_.back().used < size) {
    if (blocks_.size() == kMaxBlocks) throw std::bad_alloc();
    const std::size_t next = blocks_.empty() ? kFirstBlock : kLargeBlock;
    blocks_.reserve(blocks_.size() + 1);
    blocks_.push_back(takeBlock(size <= next ? next : roundedUp(size)));
  }
  // At most half the slots in use keeps the probe sequences short.
  if ((count_ + 1) * 2 > slotCount_) growIndex();

  Block& block = blocks_.back();
  const auto ref = static_cast<uint32_t>(((blocks_.size() - 1) << kPlaceBits | block.used / 8) + 1);
  auto* entry = reinterpret_cast<Entry*>(block.bytes + block.used);
  block.used += size;
  for (int64_t& total : entry->totals) total = 0;
  entry->index = static_cast<uint32_t>(count_++);
  entry->keyLength = length;
  std::memcpy(entry->key(), packed, length);

  const std::size_t mask = slotCount_ - 1;
  std::size_t i = hash & mask;
  while (slots_[i].ref != 0) i = (i + 1) & mask;
  slots_[i] = Slot{hash, ref};
  return *entry;
}

ItemTable::Block ItemTable::takeBlock(std::size_t size) {
  if (size == kLargeBlock && !spare_.empty()) {
    Block& spare = spare_.back();
    const Block block{spare.bytes + spare.used, kLargeBlock, 0, spare.used == 0 ? spare.size : 0};
    spare.used += kLargeBlock;
    if (spare.used == spare.size) spare_.pop_back();
    return block;
  }
  return Block{static_cast<char*>(allocateBlock(size)), size, 0, size};
}

void ItemTable::growIndex() {
  spare_.reserve(spare_.size() + 1);
  const std::size_t oldCount = slotCount_;
  Slot* old = slots_;
  const std::size_t newCount = oldCount == 0 ? 256 : oldCount * 2;
  slots_ = static_cast<Slot*>(allocateSlots(newCount * sizeof(Slot)));
  slotCount_ = newCount;
  const std::size_t mask = newCount - 1;
  for (std::size_t k = 0; k < oldCount; ++k) {
    const Slot slot = old[k];
    if (slot.ref == 0) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].ref != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
  const std::size_t oldBytes = blockBytes(oldCount * sizeof(Slot));
  if (oldBytes >= kLargeBlock) {
    spare_.push_back(Block{reinterpret_cast<char*>(old), oldBytes, 0, oldBytes});
  } else {
    freeBlock(old, oldBytes);
  }
}

ItemRow ItemTable::rowOf(const Entry& entry) const {
  ItemRow row;  // not cleared first: every member is set below, and clearing cost a twentieth of a row
  const char* at = entry.key();
  row.wide = *at++ != 0;
  const unsigned unitShift = row.wide ? 1 : 0;
  const int partCount = keyIncludesPartner_ ? 5 : 4;
  for (int i = 0; i < 5; ++i) row.parts[i] = {"", 0};
  for (int i = 0; i < partCount; ++i) {
    uint32_t partLength = static_cast<unsigned char>(*at++);
    if (partLength == 0xFF) {
      std::memcpy(&partLength, at, 4);
      at += 4;
    }
    row.parts[i] = {at, partLength};
    at += static_cast<std::size_t>(partLength) << unitShift;
  }
  row.totals = entry.totals;
  return row;
}

std::vector<ItemRecord> ItemTable::records() const {
  std::vector<ItemRecord> records;
  records.reserve(count_);
  forEachRow([&records](const ItemRow& row) {
    ItemRecord record;
    UString* parts[5] = {&record.goodsCode, &record.transactionCode, &record.memberState,
                         &record.originCountry, &record.partnerId};
    for (int i = 0; i < 5; ++i) *parts[i] = row.text(i);
    record.netMass = row.totals[0];
    record.supplementaryQuantity = row.totals[1];
    record.invoicedAmount = row.totals[2];
    record.statisticalValue = row.totals[3];
    records.push_back(std::move(record));
  });
  return records;
}

std::size_t ItemTable::find(const ItemRecord& probe) const {
  probe_.used = 0;
  pack(keyOf(probe), probe_);
  const Entry* entry = findPacked(probe_.bytes.data(), static_cast<uint32_t>(probe_.used),
                                  hashOf(probe_.bytes.data(), probe_.used));
  return entry == nullptr ? npos : entry->index;
}

std::size_t ItemTable::add(const ItemRecord& record) {
  probe_.used = 0;
  pack(keyOf(record), probe_);
  const uint32_t hash = hashOf(probe_.bytes.data(), probe_.used);
  Entry& added = addPacked(probe_.bytes.data(), static_cast<uint32_t>(probe_.used), hash);
  added.totals[0] = record.netMass;
  added.totals[1] = record.supplementaryQuantity;
  added.totals[2] = record.invoicedAmount;
  added.totals[3] = record.statisticalValue;
  return added.index;
}

void ItemTable::merge(const ItemKey& key, const int64_t (&quantities)[4], int32_t lineNumber) {
  Waiting line;
  line.hash = 0;
  line.lineNumber = lineNumber;
  for (int i = 0; i < 4; ++i) line.quantities[i] = quantities[i];
  line.keyStart = waitingKeys_.used;
  pack(key, waitingKeys_);
  line.keyLength = static_cast<uint32_t>(waitingKeys_.used - line.keyStart);
  waiting_.push_back(line);
  // The line before is hashed and its slot fetched now, when its packed bytes are no longer in flight.
  if (waiting_.size() >= 2) hashWaiting(waiting_[waiting_.size() - 2]);
  if (waiting_.size() == (slotCount_ >= kLongBatchFromSlots ? kLongBatch : kBatch)) mergeWaiting();
}

void ItemTable::hashWaiting(Waiting& line) {
  line.hash = hashOf(waitingKeys_.bytes.data() + line.keyStart, line.keyLength);
  if (slotCount_ != 0) prefetch(&slots_[line.hash & (slotCount_ - 1)]);
}

void ItemTable::mergeWaiting() {
  // The slots of all but the last line were fetched as the lines came; now fetch the records they point
  // at, then merge.
  if (!waiting_.empty()) hashWaiting(waiting_.back());
  if (slotCount_ != 0) {
    const std::size_t mask = slotCount_ - 1;
    for (const Waiting& line : waiting_) {
      const Slot& slot = slots_[line.hash & mask];
      if (slot.ref != 0) {
        const char* entry = reinterpret_cast<const char*>(entryAt(slot.ref));
        prefetch(entry);
        prefetch(entry + sizeof(Entry) + line.keyLength - 1);
      }
    }
  }
  for (const Waiting& line : waiting_) {
    const char* packed = waitingKeys_.bytes.data() + line.keyStart;
    Entry* match = const_cast<Entry*>(findPacked(packed, line.keyLength, line.hash));
    if (match == nullptr) {
      Entry& added = addPacked(packed, line.keyLength, line.hash);
      for (int i = 0; i < 4; ++i) added.totals[i] = line.quantities[i];
      continue;
    }
    bool fits = true;
    for (int i = 0; i < 4; ++i) fits = fits && !addOverflows(match->totals[i], line.quantities[i]);
    if (!fits) {
      outOfRange_.push_back(line.lineNumber);
      continue;
    }
    for (int i = 0; i < 4; ++i) match->totals[i] += line.quantities[i];
  }
  waiting_.clear();
  waitingKeys_.used = 0;
}

std::vector<int32_t> ItemTable::settle() {
  mergeWaiting();
  std::vector<int32_t> lines;
  lines.swap(outOfRange_);
  return lines;
}
