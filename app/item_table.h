// ItemRecord and ItemTable: the distinct item keys of a run with their totals, in first-seen order.
#pragma once

#include <cstddef>
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

// A key as units that need not be texts of their own: goods code, transaction code, member state, origin
// country and partner, each already padded and upper-cased.
struct ItemKey {
  struct Part {
    const char16_t* units;
    uint32_t length;
  };
  Part parts[5];
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

  // The same for a key given as units; add() makes the record's texts and sets its totals to zero.
  ItemRecord* find(const ItemKey& key);
  ItemRecord& add(const ItemKey& key);

  const std::vector<ItemRecord>& records() const { return records_; }
  bool keyIncludesPartner() const { return keyIncludesPartner_; }

 private:
  struct Slot {
    uint32_t hash;
    uint32_t record;  // index + 1; 0 when the slot is free
  };

  // Lays the key out in `packed_` (each part's length in two units, then its units) and hashes it.
  uint32_t pack(const ItemKey& key);
  ItemRecord* findPacked(uint32_t hash);
  void insertPacked(uint32_t hash);
  void rebuildIndex(std::size_t slotCount);

  bool keyIncludesPartner_;
  std::vector<ItemRecord> records_;
  // Every record's packed key, end to end, so a lookup reads one place instead of five texts;
  // keyStarts_[r] is where record r's key begins, and the next record's start is where it ends.
  std::vector<char16_t> keys_;
  std::vector<std::size_t> keyStarts_{0};
  std::vector<char16_t> packed_;
  // Open addressing over a power-of-two number of slots.
  std::vector<Slot> slots_;
};
