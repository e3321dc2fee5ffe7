// ItemRecord and ItemTable: the distinct item keys of a run with their totals, in first-seen order.
#pragma once

#include <cstdint>
#include <vector>

#include "text/ustring.h"

struct ItemRecord {
  UString goodsCode;
  UString transactionCode;
  UString memberState;
  UString originCountry;
  UString partnerId;
  int64_t netMass = 0;
  int64_t supplementaryQuantity = 0;
  int64_t invoicedAmount = 0;
  int64_t statisticalValue = 0;
};

// Records in the order their keys were first seen, with a hash index over the key so that large
// declarations take linear time. Two keys are equal when goods code, transaction code, member state and
// origin country are equal and, only when the table keys on the partner (form 2010), the partner too.
class ItemTable {
 public:
  explicit ItemTable(bool keyIncludesPartner = false) : keyIncludesPartner_(keyIncludesPartner) {}

  // The record whose key equals the key of `probe`, or null.
  ItemRecord* find(const ItemRecord& probe);
  // Appends `record` as a new key (the caller has checked that find() gives null).
  ItemRecord& add(const ItemRecord& record);

  const std::vector<ItemRecord>& records() const { return records_; }
  bool keyIncludesPartner() const { return keyIncludesPartner_; }

 private:
  uint32_t keyHash(const ItemRecord& record) const;
  bool sameKey(const ItemRecord& a, const ItemRecord& b) const;
  void rebuildIndex(std::size_t slotCount);

  bool keyIncludesPartner_;
  std::vector<ItemRecord> records_;
  std::vector<uint32_t> hashes_;
  // Open addressing over a power-of-two number of slots; a slot holds a record index + 1, 0 when free.
  std::vector<uint32_t> slots_;
};
