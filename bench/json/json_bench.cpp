// One service answer per address: Parse, then the five GetText reads. The baseline is
// nlohmann's own DOM reading the same answer (in UTF-8, the form it takes) and copying
// out the five member texts. Compare the two times of one run:
//   build/bin/json_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "text/encoding.h"

#include "json/json_object.h"
#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

namespace iploc {
namespace {

// A typical answer of about 200 bytes.
const std::string kAnswerUtf8 =
    R"({"ip":"113.88.115.201","country":"中国","province":"广东省","city":"深圳市","area":"南山区",)"
    R"("isp":"电信","country_id":"CN","region_id":"440000","city_id":"440300","lat":22.53,"lng":113.93,"code":0})";

const char* const kKeys[] = {"country", "province", "city", "area", "isp"};

void JsonObjectParseAndRead(benchmark::State& state) {
    const Text answer = Utf8ToText(kAnswerUtf8);
    const Text keys[] = {"country", "province", "city", "area", "isp"};
    JsonObject object;
    for (auto _ : state) {
        if (!object.Parse(answer)) state.SkipWithError("Parse failed");
        for (const auto& key : keys) {
            Text value = object.GetText(key);
            benchmark::DoNotOptimize(value);
        }
        object.Clear();
    }
    state.SetLabel(std::to_string(answer.size()) + " bytes");
}
BENCHMARK(JsonObjectParseAndRead);

void LibraryDomParseAndRead(benchmark::State& state) {
    for (auto _ : state) {
        const auto json = nlohmann::json::parse(kAnswerUtf8);
        for (const char* key : kKeys) {
            std::string value = json.at(key).get<std::string>();
            benchmark::DoNotOptimize(value);
        }
    }
    state.SetLabel(std::to_string(kAnswerUtf8.size()) + " bytes");
}
BENCHMARK(LibraryDomParseAndRead);

} // namespace
} // namespace iploc

BENCHMARK_MAIN();
