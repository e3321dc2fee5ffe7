// ItemTable against a linear scan, the plain way to find a key.
#include "app/declaration/item_table.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#ifdef __linux__
#include <unistd.h>
#endif

namespace {

UString text(const std::u16string& s) {
  return UString(s.data(), static_cast<uint32_t>(s.size()));
}

bool sameKeyByScan(const ItemRecord& a, const ItemRecord& b, bool withPartner) {
  return a.goodsCode == b.goodsCode && a.transactionCode == b.transactionCode &&
         a.memberState == b.memberState && a.originCountry == b.originCountry &&
         (!withPartner || a.partnerId == b.partnerId);
}

TEST(ItemTable, FindsWhatALinearScanFindsAndKeepsFirstSeenOrder) {
  for (bool withPartner : {false, true}) {
    ItemTable table(withPartner);
    std::vector<ItemRecord> scanned;
    std::mt19937 random(withPartner ? 2010 : 2012);
    // Few values per part, so keys collide often and differ in one part only.
    const std::u16string values[] = {u"", u"A", u"B", u"AB", u"BA", u"\u0150"};
    for (int line = 0; line < 12000; ++line) {
      ItemRecord probe;
      probe.goodsCode = text(values[random() % 6]);
      probe.transactionCode = text(values[random() % 3]);
      probe.memberState = text(values[random() % 6]);
      probe.originCountry = text(values[random() % 6]);
      probe.partnerId = text(values[random() % 6]);
      const std::size_t found = table.find(probe);
      std::size_t expected = scanned.size();
      for (std::size_t i = 0; i < scanned.size(); ++i) {
        if (sameKeyByScan(scanned[i], probe, withPartner)) {
          expected = i;
          break;
        }
      }
      if (expected == scanned.size()) {
        ASSERT_EQ(found, ItemTable::npos);
        probe.netMass = line;
        table.add(probe);
        scanned.push_back(probe);
      } else {
        ASSERT_EQ(found, expected);
      }
    }
    const std::vector<ItemRecord> records = table.records();
    ASSERT_EQ(records.size(), scanned.size());
    ASSERT_EQ(table.size(), scanned.size());
    EXPECT_GT(scanned.size(), withPartner ? 1500u : 400u);
    for (std::size_t i = 0; i < scanned.size(); ++i) {
      EXPECT_EQ(records[i].netMass, scanned[i].netMass);
      // A table that does not key on the partner keeps none.
      EXPECT_TRUE(records[i].partnerId == (withPartner ? scanned[i].partnerId : UString()));
    }
  }
}

// Records are kept end to end in blocks of 2 MiB: keys long enough to fill several, and one larger than a
// block, must keep their order, their totals and their place in the index.
TEST(ItemTable, RecordsOverManyBlocksAndOneLargerThanABlock) {
  ItemTable table(true);
  std::vector<ItemRecord> added;
  for (int k = 0; k < 90; ++k) {
    ItemRecord record;
    // About 100 KiB a key, and one of 3 MiB in the middle.
    const std::size_t length = k == 45 ? std::size_t{3} << 20 : 100000 + k;
    record.goodsCode = text(std::u16string(length / 2, static_cast<char16_t>(u'A' + k % 26)));
    record.transactionCode = text(u"11");
    record.memberState = text(k % 2 == 0 ? u"DE" : u"\u0150");  // one byte a unit, or two
    record.originCountry = text(u"CN");
    record.partnerId = text(std::u16string(1, static_cast<char16_t>(u'0' + k % 10)) + u"-" +
                            std::u16string(static_cast<std::size_t>(k), u'x'));
    record.netMass = k;
    record.statisticalValue = -k;
    ASSERT_EQ(table.find(record), ItemTable::npos) << k;
    ASSERT_EQ(table.add(record), static_cast<std::size_t>(k));
    added.push_back(record);
  }
  for (std::size_t k = 0; k < added.size(); ++k) ASSERT_EQ(table.find(added[k]), k);
  const std::vector<ItemRecord> records = table.records();
  ASSERT_EQ(records.size(), added.size());
  for (std::size_t k = 0; k < added.size(); ++k) {
    EXPECT_TRUE(sameKeyByScan(records[k], added[k], true)) << k;
    EXPECT_EQ(records[k].netMass, added[k].netMass);
    EXPECT_EQ(records[k].statisticalValue, added[k].statisticalValue);
  }
}

// The bytes of this process's address space, or -1 where the system does not tell.
long long mappedBytes() {
#ifdef __linux__
  long long pages = -1;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%lld", &pages) != 1) pages = -1;
    std::fclose(statm);
  }
  return pages < 0 ? -1 : pages * sysconf(_SC_PAGESIZE);
#else
  return -1;
#endif
}

// 300,000 keys grow the index through arrays of 512 KiB to 8 MiB; the ones it grows out of hold later
// records, a 4 MiB one as two blocks. Every key merged twice, the second time found where it was put;
// and every block given back when the table goes, a spare carved in two included.
TEST(ItemTable, ManyKeysKeepTheirTotalsInTheMemoryTheIndexGrewOutOf) {
  constexpr int kKeys = 300000;
  std::vector<std::string> goods(kKeys);
  for (int k = 0; k < kKeys; ++k) goods[k] = std::to_string(10000000 + k * 7);
  const long long mappedBefore = mappedBytes();
  {
    ItemTable table(true);
    for (int pass = 0; pass < 2; ++pass) {
      for (int k = 0; k < kKeys; ++k) {
        ItemKey key{};
        key.parts[0] = ItemKey::Part{nullptr, 8, goods[k].data()};
        key.parts[1] = ItemKey::Part{nullptr, 2, "11"};
        key.parts[2] = ItemKey::Part{nullptr, 2, "DE"};
        key.parts[3] = ItemKey::Part{nullptr, 2, "CN"};
        key.parts[4] = ItemKey::Part{nullptr, 5, k % 2 ? "HU123" : "hu123", 0, true};
        const int64_t quantities[4] = {k, 1, -k, pass};
        table.merge(key, quantities, pass * kKeys + k + 1);
      }
    }
    EXPECT_TRUE(table.settle().empty());
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kKeys));
    int k = 0;
    table.forEachRow([&](const ItemRow& row) {
      ASSERT_EQ(std::string(row.parts[0].bytes, row.parts[0].length), goods[k]) << k;
      ASSERT_EQ(std::string(row.parts[4].bytes, row.parts[4].length), "HU123") << k;
      const int64_t expected[4] = {2 * int64_t{k}, 2, -2 * int64_t{k}, 1};
      for (int i = 0; i < 4; ++i) ASSERT_EQ(row.totals[i], expected[i]) << k << " " << i;
      ++k;
    });
    EXPECT_EQ(k, kKeys);
  }
  // Less than one large block more than before: the heap may keep what it took for the table's lists.
  if (mappedBefore >= 0) {
    EXPECT_LT(mappedBytes() - mappedBefore, 2 << 20);
  }
}

}  // namespace
