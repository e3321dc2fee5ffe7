// Micro-benchmarks of the per-line app calls: parsing quantities and reading lines into fields.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "app/line_reader.h"
#include "app/quantity.h"
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
// around their fields, and lines as a spreadsheet quotes them.
const char kItemLine[] = "1234;84713000;11;DE;CN;1234,567;12;123456,5;130000;DE123456789\r\n";
const char kBlankItemLine[] = "1234 ; 84713000 ;11; DE ;CN ; 1234,567;12 ;123456,5; 130000 ;DE123456789\r\n";
const char kQuotedItemLine[] =
    "1234;\"84713000\";\"11\";\"DE\";\"CN\";1234,567;12;123456,5;130000;\"DE123456789\"\r\n";

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
BENCHMARK(BM_LineReader_Item);
BENCHMARK(BM_LineReader_Blanks);
BENCHMARK(BM_LineReader_Quoted);

}  // namespace
