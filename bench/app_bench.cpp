// Micro-benchmarks of the app calls every item line makes: parsing quantities and cutting the line into
// fields.
#include <benchmark/benchmark.h>

#include <cstdint>

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

}  // namespace
