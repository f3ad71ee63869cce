// The code-page conversions against ICU's one-call converter on the same text.
//
// Each pair converts the same 4 KiB of mixed Chinese and ASCII: ours through the text
// module, the baseline through ucnv_convert into a buffer made once. Compare the times
// of a pair within one run.
#include "text/encoding.h"

#include <benchmark/benchmark.h>
#include <string>
#include <unicode/ucnv.h>
#include <vector>

namespace iploc {
namespace {

constexpr std::size_t kTextBytes = 4096;

// About 4 KiB of UTF-8 built from a line mixing Chinese and ASCII, cut at a line end.
const std::string& MixedUtf8() {
    static const std::string text = [] {
        const std::string line = "1.2.3.4 中国 北京市 海淀区 电信 {\"isp\":\"电信\",\"city\":\"北京\"}\r\n";
        std::string out;
        while (out.size() + line.size() <= kTextBytes)
            out += line;
        return out;
    }();
    return text;
}

const Text& MixedCp936() {
    static const Text text = Utf8ToAnsi(MixedUtf8());
    return text;
}

void RawConvert(benchmark::State& state, const char* to, const char* from, const std::string& source) {
    std::vector<char> target(source.size() * 4 + 4);
    for (auto _ : state) {
        UErrorCode status = U_ZERO_ERROR;
        const auto length = ucnv_convert(to, from, target.data(), static_cast<int32_t>(target.size()),
                                         source.data(), static_cast<int32_t>(source.size()), &status);
        if (U_FAILURE(status)) state.SkipWithError("ucnv_convert failed");
        benchmark::DoNotOptimize(length);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void BM_Utf8ToAnsi(benchmark::State& state) {
    const auto& source = MixedUtf8();
    for (auto _ : state)
        benchmark::DoNotOptimize(Utf8ToAnsi(source));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void BM_RawUtf8To936(benchmark::State& state) {
    RawConvert(state, "windows-936-2000", "UTF-8", MixedUtf8());
}

void BM_AnsiToUtf16(benchmark::State& state) {
    const auto& source = MixedCp936();
    for (auto _ : state)
        benchmark::DoNotOptimize(AnsiToUtf16(source));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void BM_Raw936ToUtf16LE(benchmark::State& state) {
    RawConvert(state, "UTF-16LE", "windows-936-2000", MixedCp936());
}

BENCHMARK(BM_Utf8ToAnsi);
BENCHMARK(BM_RawUtf8To936);
BENCHMARK(BM_AnsiToUtf16);
BENCHMARK(BM_Raw936ToUtf16LE);

} // namespace
} // namespace iploc

BENCHMARK_MAIN();
