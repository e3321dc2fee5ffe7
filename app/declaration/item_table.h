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
    // Instead of `units`, for a part read from a plain ASCII line: its bytes, one a unit, to be read after
    // `zeros` '0' units and with a to z upper-cased when `upper` is set.
    const char* bytes = nullptr;
    uint32_t zeros = 0;
    bool upper = false;
  };
  Part parts[5];
};

// A record as it is stored, for writing it out: each key part's units, one byte each or (when `wide`)
// two bytes each in the machine's order, and the four totals in ItemRecord's order. The eight bytes
// before a part that is not empty belong to its record and may be read.
struct ItemRow {
  struct Part {
    const char* bytes;
    uint32_t length;  // in units
  };
  bool wide;
  Part parts[5];
  const int64_t* totals;

  // Key part `part` as a text.
  UString text(int part) const;
};

// Records in the order their keys were first seen, with a hash index over the key so that large
// declarations take linear time. Two keys are equal when goods code, transaction code, member state and
// origin country are equal and, only when the table keys on the partner (form 2010), the partner too.
//
// A record is its four totals and its packed key, end to end in blocks that never move, so a line that
// finds its key reads one slot and one record, and a new key costs the bytes of its key and no more.
class ItemTable {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  explicit ItemTable(bool keyIncludesPartner = false) : keyIncludesPartner_(keyIncludesPartner) {}
  ~ItemTable();
  ItemTable(const ItemTable&) = delete;
  ItemTable& operator=(const ItemTable&) = delete;
  // A moved-from table is empty.
  ItemTable(ItemTable&& other) noexcept;
  ItemTable& operator=(ItemTable&& other) noexcept;

  // The index of the record whose key equals the key of `probe`, or npos; with add(), for records made
  // apart from merge().
  std::size_t find(const ItemRecord& probe) const;
  // Appends `record` as a new key with its totals (the caller has checked that find() gives npos); its
  // index.
  std::size_t add(const ItemRecord& record);

  // Adds a line's four quantities to the totals of its key, taking a new record for a key not seen
  // before; a line whose totals would leave the signed 64-bit range adds nothing. Lines wait in a short
  // queue and are merged in their order when it is full: the index of each is fetched from memory while
  // the ones before it are read, so a table far larger than the caches costs little more than a small one.
  void merge(const ItemKey& key, const int64_t (&quantities)[4], int32_t lineNumber);
  // Merges the waiting lines; the numbers of the lines that added nothing because of the range, in order.
  std::vector<int32_t> settle();

  // Complete once settle() has run after the last merge().
  std::size_t size() const { return count_; }
  // Calls `visit` with every record as an ItemRow, in order.
  template <typename Visit>
  void forEachRow(Visit&& visit) const;
  // Every record as texts, in order.
  std::vector<ItemRecord> records() const;
  bool keyIncludesPartner() const { return keyIncludesPartner_; }

 private:
  // A record in a block: its totals, its index, its packed key's length, then the packed key, rounded up
  // to eight bytes.
  struct Entry {
    int64_t totals[4];
    uint32_t index;
    uint32_t keyLength;
    const char* key() const { return reinterpret_cast<const char*>(this + 1); }
    char* key() { return reinterpret_cast<char*>(this + 1); }
  };
  // A slot names its record by block and place: block << kPlaceBits | place in eight-byte steps, plus 1;
  // 0 when the slot is free.
  struct Slot {
    uint32_t hash;
    uint32_t ref;
  };
  struct Block {
    char* bytes;
    std::size_t size;
    std::size_t used;
    // The bytes this block gives back: its size, the whole spare for the first block carved out of one,
    // and 0 for a later one.
    std::size_t ownedBytes;
  };
  struct Waiting {
    uint32_t hash;
    int32_t lineNumber;
    int64_t quantities[4];
    std::size_t keyStart;  // in waitingKeys_
    uint32_t keyLength;
  };
  static constexpr unsigned kPlaceBits = 18;  // a block of 2 MiB in eight-byte steps
  // As many as a slot's 32 bits can name, plus 1.
  static constexpr std::size_t kMaxBlocks = (std::size_t{1} << (32 - kPlaceBits)) - 1;
  // Packed keys end to end; grown, never shrunk, so packing a key fills no bytes it then overwrites.
  struct PackedKeys {
    std::vector<char> bytes;
    std::size_t used = 0;
    // Where `size` more bytes may be written, at `used`.
    char* room(std::size_t size);
  };

  // Appends the packed key to `out`: a byte that says whether the units take one byte or two, then each
  // part's length (one byte below 255, else 255 and four bytes) and its units.
  void pack(const ItemKey& key, PackedKeys& out) const;
  static uint32_t hashOf(const char* packed, std::size_t length);
  const Entry* entryAt(uint32_t ref) const;
  const Entry* findPacked(const char* packed, uint32_t length, uint32_t hash) const;
  Entry& addPacked(const char* packed, uint32_t length, uint32_t hash);
  Block takeBlock(std::size_t size);
  ItemRow rowOf(const Entry& entry) const;
  void hashWaiting(Waiting& line);
  void mergeWaiting();
  void growIndex();
  void swap(ItemTable& other) noexcept;

  bool keyIncludesPartner_;
  std::size_t count_ = 0;
  std::vector<Block> blocks_;
  // Open addressing over a power-of-two number of slots; large tables live in large blocks.
  Slot* slots_ = nullptr;
  std::size_t slotCount_ = 0;
  // Grown-out index arrays taken as large blocks: already in memory, so they hold the next records
  // instead of fresh memory, which costs far more than the records written into it.
  std::vector<Block> spare_;
  std::vector<Waiting> waiting_;
  PackedKeys waitingKeys_;
  std::vector<int32_t> outOfRange_;
  mutable PackedKeys probe_;
};

template <typename Visit>
void ItemTable::forEachRow(Visit&& visit) const {
  for (const Block& block : blocks_) {
    for (std::size_t at = 0; at < block.used;) {
      const auto& entry = *reinterpret_cast<const Entry*>(block.bytes + at);
      visit(rowOf(entry));
      at += sizeof(Entry) + (entry.keyLength + 7) / 8 * 8;
    }
  }
}
