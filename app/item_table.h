// ItemRecord and ItemTable: the distinct item keys of a run with their totals, in first-seen order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
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
    // Instead of `units`, for a part read from a plain ASCII line: its bytes, one a unit, to be read after
    // `zeros` '0' units and with a to z upper-cased when `upper` is set.
    const char* bytes = nullptr;
    uint32_t zeros = 0;
    bool upper = false;
  };
  Part parts[5];
};

// Records in the order their keys were first seen, with a hash index over the key so that large
// declarations take linear time. Two keys are equal when goods code, transaction code, member state and
// origin country are equal and, only when the table keys on the partner (form 2010), the partner too.
class ItemTable {
 public:
  explicit ItemTable(bool keyIncludesPartner = false) : keyIncludesPartner_(keyIncludesPartner) {}

  // The record whose key equals the key of `probe`, or null; with add(), for records made apart from
  // merge().
  ItemRecord* find(const ItemRecord& probe);
  // Appends `record` as a new key (the caller has checked that find() gives null).
  ItemRecord& add(const ItemRecord& record);

  // Adds a line's four quantities to the totals of its key, taking a new record for a key not seen
  // before; a line whose totals would leave the signed 64-bit range adds nothing. Lines wait in a short
  // queue and are merged in their order when it is full: the index of each is fetched from memory while
  // the ones before it are read, so a table far larger than the caches costs little more than a small one.
  void merge(const ItemKey& key, const int64_t (&quantities)[4], int32_t lineNumber);
  // Merges the waiting lines; the numbers of the lines that added nothing because of the range, in order.
  std::vector<int32_t> settle();

  // Complete once settle() has run after the last merge().
  const std::vector<ItemRecord>& records() const { return records_; }
  bool keyIncludesPartner() const { return keyIncludesPartner_; }

 private:
  // Where a key's packed units lie is kept in its slot, so a lookup reads the slot and the units only.
  struct Slot {
    uint32_t hash;
    uint32_t record;  // index + 1; 0 when the slot is free
    uint32_t keyStart;
    uint32_t keyLength;
  };
  struct Waiting {
    uint32_t hash;
    int32_t lineNumber;
    int64_t quantities[4];
    std::size_t keyStart;  // in waitingKeys_
    uint32_t keyLength;
  };

  // Appends the packed key to `out`: a byte that says whether the units take one byte or two, then each
  // part's length (one byte below 255, else 255 and four bytes) and its units.
  void pack(const ItemKey& key, std::vector<char>& out) const;
  static uint32_t hashOf(const char* packed, std::size_t length);
  ItemRecord* findPacked(const char* packed, uint32_t length, uint32_t hash);
  ItemRecord& addPacked(const char* packed, uint32_t length, uint32_t hash);
  void hashWaiting(Waiting& line);
  void mergeWaiting();
  void rebuildIndex(std::size_t slotCount);
  // One text for every record whose key part has these units: transaction codes and country codes have
  // few values, and sharing them spares a text per record. Parts of at most three units, named by their
  // length and units in one word.
  const UString& sharedText(const char16_t* units, uint32_t length);

  bool keyIncludesPartner_;
  std::vector<ItemRecord> records_;
  // Every record's packed key, end to end, so a lookup reads one place instead of five texts. Slots hold
  // 32-bit offsets into it: a key that would not fit counts as memory running out.
  std::vector<char> keys_;
  // Open addressing over a power-of-two number of slots.
  std::vector<Slot> slots_;
  std::vector<Waiting> waiting_;
  std::vector<char> waitingKeys_;
  std::vector<int32_t> outOfRange_;
  std::vector<char> probe_;
  std::vector<char16_t> scratch_;
  std::unordered_map<uint64_t, UString> shortTexts_;
};
