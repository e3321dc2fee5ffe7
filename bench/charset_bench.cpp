// Micro-benchmarks of the charset calls every item line makes: decoding a line and upper-casing country
// codes.
#include <benchmark/benchmark.h>

#include <string>

#include "charset/case_mapping.h"
#include "charset/charset.h"

namespace {

// A typical item line of a form 2010 declaration, in each of the two charsets the run decodes with.
const std::string asciiLine = "1234;84713000;11;de;CN;1234,567;12;123456,5;130000;DE123456789";
const std::string utf8Line =
    "1234;84713000;11;de;CN;1234,567;12;123456,5;130000;\xC5\x90rs\xC3\xA9g Kft. "
    "\xC3\xA1rv\xC3\xADzt\xC5\xB1r\xC5\x91";
const std::string latin2Line =
    "1234;84713000;11;de;CN;1234,567;12;123456,5;130000;\xD5rs\xE9g Kft. \xE1rv\xEDzt\xFBr\xF5";

void decodeLine(benchmark::State& state, const std::string& line, const char* charset) {
  for (auto _ : state) {
    UString text = decodeBytes(line.c_str(), charset);
    benchmark::DoNotOptimize(text.units());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(line.size()));
}

void BM_decodeBytes_Utf8Ascii(benchmark::State& state) {
  decodeLine(state, asciiLine, "UTF-8");
}
void BM_decodeBytes_Utf8Hungarian(benchmark::State& state) {
  decodeLine(state, utf8Line, "UTF-8");
}
void BM_decodeBytes_Latin2Ascii(benchmark::State& state) {
  decodeLine(state, asciiLine, "ISO-8859-2");
}
void BM_decodeBytes_Latin2Hungarian(benchmark::State& state) {
  decodeLine(state, latin2Line, "ISO-8859-2");
}
BENCHMARK(BM_decodeBytes_Utf8Ascii);
BENCHMARK(BM_decodeBytes_Utf8Hungarian);
BENCHMARK(BM_decodeBytes_Latin2Ascii);
BENCHMARK(BM_decodeBytes_Latin2Hungarian);

// A long input shows the per-byte cost of the sizing and writing passes apart from the per-call overhead.
void BM_decodeBytes_Utf8Long(benchmark::State& state) {
  std::string text;
  while (text.size() < 64 * 1024) text += utf8Line + " ";
  decodeLine(state, text, "UTF-8");
}
BENCHMARK(BM_decodeBytes_Utf8Long);

void upperCase(benchmark::State& state, const char16_t* units) {
  UString text(units);
  for (auto _ : state) {
    UString upper = toUpper(text, "en");
    benchmark::DoNotOptimize(upper.units());
  }
}

void BM_toUpper_CountryLower(benchmark::State& state) {
  upperCase(state, u"de");
}
void BM_toUpper_CountryUpper(benchmark::State& state) {
  upperCase(state, u"DE");
}
void BM_toUpper_PartnerId(benchmark::State& state) {
  upperCase(state, u"atu12345678");
}
void BM_toUpper_Hungarian(benchmark::State& state) {
  upperCase(state, u"\u0151rs\u00E9g \u00E1rv\u00EDzt\u0171r\u0151");
}
BENCHMARK(BM_toUpper_CountryLower);
BENCHMARK(BM_toUpper_CountryUpper);
BENCHMARK(BM_toUpper_PartnerId);
BENCHMARK(BM_toUpper_Hungarian);

}  // namespace
