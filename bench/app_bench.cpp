// Micro-benchmarks of the per-line app calls: parsing quantities, reading lines, the item step.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/declaration/item_table.h"
#include "app/declaration/items.h"
#include "app/declaration/quantity.h"
#include "app/read/line_reader.h"
#include "app/run_context.h"
#include "app/write/item_section.h"
#include "text/exception.h"

namespace {

void parse(benchmark::State& state, const char16_t* units) {
  UString text(units);
  for (auto _ : state) {
    int64_t value = parseQuantity(text);
    benchmark::DoNotOptimize(value);
  }
}

void BM_parseQuantity_Empty(benchmark::State& state) {
  parse(state, u"");
}
void BM_parseQuantity_Whole(benchmark::State& state) {
  parse(state, u"130000");
}
void BM_parseQuantity_DecimalComma(benchmark::State& state) {
  parse(state, u"1234,567");
}
void BM_parseQuantity_Blanks(benchmark::State& state) {
  parse(state, u"1 234 567,25");
}
// The same from the bytes of a plain ASCII line, as the item step reads nearly every line.
void BM_parseQuantity_Bytes(benchmark::State& state) {
  const char text[] = "1234,567";
  for (auto _ : state) {
    int64_t value = parseQuantity(text, 8);
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_parseQuantity_Empty);
BENCHMARK(BM_parseQuantity_Bytes);
BENCHMARK(BM_parseQuantity_Whole);
BENCHMARK(BM_parseQuantity_DecimalComma);
BENCHMARK(BM_parseQuantity_Blanks);

// The rejected number costs an exception; lines with thousands separators should stay rare, but not slow.
void BM_parseQuantity_Rejected(benchmark::State& state) {
  UString text(u"1.000.000");
  for (auto _ : state) {
    try {
      benchmark::DoNotOptimize(parseQuantity(text));
    } catch (const Exception&) {
    }
  }
}
BENCHMARK(BM_parseQuantity_Rejected);

// Reading item lines of form 2010 through the line reader, per line: plain lines, lines with blanks
// around their fields, lines as a spreadsheet quotes them, lines of a ',' and of a tab save, and lines with
// letters beyond ASCII in UTF-8, which are checked and decoded.
const char kItemLine[] = "1234;84713000;11;DE;CN;1234,567;12;123456,5;130000;DE123456789\r\n";
const char kBlankItemLine[] = "1234 ; 84713000 ;11; DE ;CN ; 1234,567;12 ;123456,5; 130000 ;DE123456789\r\n";
const char kQuotedItemLine[] =
    "1234;\"84713000\";\"11\";\"DE\";\"CN\";1234,567;12;123456,5;130000;\"DE123456789\"\r\n";
const char kCommaItemLine[] = "1234,84713000,11,DE,CN,\"1234,567\",12,\"123456,5\",130000,DE123456789\r\n";
const char kTabItemLine[] = "1234\t84713000\t11\tDE\tCN\t1234,567\t12\t123456,5\t130000\tDE123456789\r\n";
const char kAccentedItemLine[] =
    "1234;84713000;11;DE;CN;1234,567;12;123456,5;130000;DE123456789;\xC3\x81rv\xC3\xADzt\xC5\xB1r\xC5\x91 "
    "t\xC3\xBCk\xC3\xB6rf\xC3\xBAr\xC3\xB3g\xC3\xA9p\r\n";

void readLines(benchmark::State& state, const char* line) {
  std::string image;
  for (int i = 0; i < 1000; ++i) image += line;
  for (auto _ : state) {
    LineReader reader(image.data(), image.size(), "UTF-8");
    ReadLine read;
    while (reader.next(read)) benchmark::DoNotOptimize(read.fields.count);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
void BM_LineReader_Item(benchmark::State& state) {
  readLines(state, kItemLine);
}
void BM_LineReader_Blanks(benchmark::State& state) {
  readLines(state, kBlankItemLine);
}
void BM_LineReader_Quoted(benchmark::State& state) {
  readLines(state, kQuotedItemLine);
}
void BM_LineReader_Comma(benchmark::State& state) {
  readLines(state, kCommaItemLine);
}
void BM_LineReader_Tab(benchmark::State& state) {
  readLines(state, kTabItemLine);
}
void BM_LineReader_Accented(benchmark::State& state) {
  readLines(state, kAccentedItemLine);
}
BENCHMARK(BM_LineReader_Item);
BENCHMARK(BM_LineReader_Blanks);
BENCHMARK(BM_LineReader_Quoted);
BENCHMARK(BM_LineReader_Comma);
BENCHMARK(BM_LineReader_Tab);
BENCHMARK(BM_LineReader_Accented);

// The item step after the reader, per line of form 2010: the checks of the line and its merge into the
// run's table, on keys it has seen (1,000 lines over 50 keys), plain and quoted.
void handleItems(benchmark::State& state, const char* line) {
  std::string image;
  const std::string text = line;
  const std::size_t code = text.find("84713000");
  for (int i = 0; i < 1000; ++i) {
    image += text.substr(0, code + 6) + std::to_string(10 + i % 50) + text.substr(code + 8);
  }
  RunContext run;
  run.errors = std::fopen("/dev/null", "wb");
  run.lineState = 3;
  run.formCode = 2010;
  run.items = ItemTable(true);
  for (auto _ : state) {
    LineReader reader(image.data(), image.size(), "UTF-8");
    ReadLine read;
    while (reader.next(read, false)) handleItemLine(run, read.fields);
    settleItems(run);
  }
  if (!run.ok) state.SkipWithError("an item line was reported");
  std::fclose(run.errors);
  state.SetItemsProcessed(state.iterations() * 1000);
}
void BM_handleItemLine_Plain(benchmark::State& state) {
  handleItems(state, kItemLine);
}
void BM_handleItemLine_Quoted(benchmark::State& state) {
  handleItems(state, kQuotedItemLine);
}
BENCHMARK(BM_handleItemLine_Plain);
BENCHMARK(BM_handleItemLine_Quoted);

// Keys of form 2010 as plain ASCII lines give them: goods code, transaction code, member state, origin
// and partner, each drawn at random.
struct KeyTexts {
  std::string parts[5];
};
std::vector<KeyTexts> randomKeys(std::size_t count) {
  std::mt19937_64 random(1);
  std::vector<KeyTexts> keys(count);
  for (KeyTexts& key : keys) {
    key.parts[0] = std::to_string(10000000 + random() % 90000000);
    key.parts[1] = std::to_string(10 + random() % 90);
    key.parts[2] = "DE";
    key.parts[3] = "AT";
    key.parts[4] = "DE" + std::to_string(100000000 + random() % 900000000);
  }
  return keys;
}
ItemKey itemKey(const KeyTexts& texts) {
  ItemKey key{};
  for (int i = 0; i < 5; ++i) {
    key.parts[i] =
        ItemKey::Part{nullptr, static_cast<uint32_t>(texts.parts[i].size()), texts.parts[i].data()};
  }
  return key;
}

// Merging 500,000 lines over Arg(0) keys, each key first in turn and then at random, into a new table:
// how the cost of a line grows with the keys, fresh memory included. The lines' keys lie end to end, as
// lines of a file come.
void BM_ItemTable_Merge(benchmark::State& state) {
  const auto keys = randomKeys(static_cast<std::size_t>(state.range(0)));
  constexpr std::size_t kLines = 500000;
  std::mt19937_64 random(2);
  std::string bytes;
  for (std::size_t i = 0; i < kLines; ++i) {
    const KeyTexts& key = keys[i < keys.size() ? i : random() % keys.size()];
    for (const std::string& part : key.parts) bytes += part;
  }
  const int64_t quantities[4] = {1234567, 12000, 123456500, 130000000};
  for (auto _ : state) {
    ItemTable table(true);
    const char* at = bytes.data();
    for (std::size_t i = 0; i < kLines; ++i) {
      ItemKey key{};
      for (int k = 0; k < 5; ++k) {
        key.parts[k] = ItemKey::Part{nullptr, static_cast<uint32_t>(keys[0].parts[k].size()), at};
        at += keys[0].parts[k].size();
      }
      table.merge(key, quantities, static_cast<int32_t>(i));
    }
    benchmark::DoNotOptimize(table.settle());
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_ItemTable_Merge)->Arg(2000)->Arg(200000)->Unit(benchmark::kMillisecond);

// Writing the item section of Arg(0) records, to the null device: the cost of a row.
void BM_writeItemSection(benchmark::State& state) {
  const auto keys = randomKeys(static_cast<std::size_t>(state.range(0)));
  RunContext run;
  run.formCode = 2010;
  run.items = ItemTable(true);
  std::mt19937_64 random(3);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const int64_t quantities[4] = {
        static_cast<int64_t>(random() % 1000000000), static_cast<int64_t>(random() % 100000),
        static_cast<int64_t>(random() % 10000000000), static_cast<int64_t>(random() % 1000000000)};
    run.items.merge(itemKey(keys[i]), quantities, static_cast<int32_t>(i));
  }
  run.items.settle();
  run.output = std::fopen("/dev/null", "wb");
  for (auto _ : state) writeItemSection(run);
  std::fclose(run.output);
  state.SetItemsProcessed(state.iterations() * keys.size());
}
BENCHMARK(BM_writeItemSection)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
