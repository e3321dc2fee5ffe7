// The item step on its own: a rejected line leaves every total as it was.
#include "app/items.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/line_reader.h"

namespace {

// Hands one line to the item step as the run's reader gives it.
void handle(RunContext& run, const std::string& line) {
  LineReader reader(line.data(), line.size(), "UTF-8");
  ReadLine read;
  ASSERT_TRUE(reader.next(read));
  run.lineNumber = read.number;
  handleItemLine(run, read.fields);
  settleItems(run);
}

TEST(ItemStep, ALineThatWouldCarryATotalOutOfRangeAddsNothing) {
  RunContext run;
  run.errors = std::tmpfile();
  ASSERT_NE(run.errors, nullptr);
  run.lineState = 3;
  run.formCode = 2012;
  handle(run, "1;1;1;AT;CN;1;2;9223372036854775;-9223372036854775");
  ASSERT_TRUE(run.ok);
  // Its first three values fit; the last would leave the range.
  handle(run, "2;1;1;AT;CN;5;5;-5;-1");
  EXPECT_FALSE(run.ok);
  ASSERT_EQ(run.items.records().size(), 1u);
  const ItemRecord& record = run.items.records()[0];
  EXPECT_EQ(record.netMass, 1000);
  EXPECT_EQ(record.supplementaryQuantity, 2000);
  EXPECT_EQ(record.invoicedAmount, 9223372036854775000);
  EXPECT_EQ(record.statisticalValue, -9223372036854775000);
  // A rejected quantity on a new key creates no record.
  handle(run, "3;2;1;AT;CN;1;1.000.000");
  EXPECT_EQ(run.items.records().size(), 1u);
  std::fclose(run.errors);
}

}  // namespace
