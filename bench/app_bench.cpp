// Micro-benchmarks of the per-line app calls: parsing quantities and cutting a line into fields.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

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
BENCHMARK(BM_parseQuantity_Empty);
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

// A typical normalised item line of form 2010, and one with blanks around its fields.
const char16_t kItemLine[] = u"1234;84713000;11;DE;CN;1234,567;12;123456,5;130000;DE123456789";
const char16_t kBlankItemLine[] = u"1234 ; 84713000 ;11; DE ;CN ; 1234,567;12 ;123456,5; 130000 ;DE123456789";

// The field texts the opening sections are handed: one text per field.
void BM_splitFields_Texts(benchmark::State& state) {
  UString line(kItemLine);
  std::vector<UString> fields;
  for (auto _ : state) {
    splitFields(line, fields);
    benchmark::DoNotOptimize(fields.data());
  }
}
BENCHMARK(BM_splitFields_Texts);

// The spans the item lines are read through: no text per field.
void spans(benchmark::State& state, const char16_t* units) {
  UString line(units);
  std::vector<FieldSpan> fields;
  for (auto _ : state) {
    splitFieldSpans(line, fields);
    benchmark::DoNotOptimize(fields.data());
  }
}
void BM_splitFieldSpans_Item(benchmark::State& state) {
  spans(state, kItemLine);
}
void BM_splitFieldSpans_Blanks(benchmark::State& state) {
  spans(state, kBlankItemLine);
}
BENCHMARK(BM_splitFieldSpans_Item);
BENCHMARK(BM_splitFieldSpans_Blanks);

}  // namespace
