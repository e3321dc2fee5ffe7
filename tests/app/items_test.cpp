// The item step on its own: a rejected line leaves every total as it was.
#include "app/items.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/line_reader.h"

namespace {

std::vector<UString> fields(const std::u16string& line) {
  return splitFields(UString(line.data(), static_cast<uint32_t>(line.size())));
}

TEST(ItemStep, ALineThatWouldCarryATotalOutOfRangeAddsNothing) {
  RunContext run;
  run.errors = std::tmpfile();
  ASSERT_NE(run.errors, nullptr);
  run.lineState = 3;
  run.formCode = 2012;
  handleItemLine(run, fields(u"1;1;1;AT;CN;1;2;9223372036854775;-9223372036854775"));
  ASSERT_TRUE(run.ok);
  // Its first three values fit; the last would leave the range.
  handleItemLine(run, fields(u"2;1;1;AT;CN;5;5;-5;-1"));
  EXPECT_FALSE(run.ok);
  ASSERT_EQ(run.items.records().size(), 1u);
  const ItemRecord& record = run.items.records()[0];
  EXPECT_EQ(record.netMass, 1000);
  EXPECT_EQ(record.supplementaryQuantity, 2000);
  EXPECT_EQ(record.invoicedAmount, 9223372036854775000);
  EXPECT_EQ(record.statisticalValue, -9223372036854775000);
  // A rejected quantity on a new key creates no record.
  handleItemLine(run, fields(u"3;2;1;AT;CN;1;1.000.000"));
  EXPECT_EQ(run.items.records().size(), 1u);
  std::fclose(run.errors);
}

}  // namespace
