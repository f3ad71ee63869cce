// Sequential HTTPS GETs to a loopback server, 2,000 per run: WebRequest against one reused raw
// libcurl handle (the baseline), and a fresh raw handle per request for scale, in one process.
// Prints the median rates and their ratios to the baseline.
#include "tests/support/test_server.h"
#include "web/web_request.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <curl/curl.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using iploc::test::ScriptedAnswer;
using iploc::test::TestServer;

constexpr int kRequests = 2000;

// An answer shaped like the location service's.
ScriptedAnswer LocationAnswer(const iploc::test::ReceivedRequest&) {
    ScriptedAnswer answer;
    answer.headers = {{"Content-Type", "application/json; charset=utf-8"}};
    answer.body =
        "{\"ip\":\"1.2.3.4\",\"country\":\"\xE4\xB8\xAD\xE5\x9B\xBD\",\"province\":\"\xE5\xB9\xBF\xE4\xB8\x9C"
        "\",\"city\":\"\xE6\xB7\xB1\xE5\x9C\xB3\",\"area\":\"\",\"isp\":\"\xE7\x94\xB5\xE4\xBF\xA1\"}";
    return answer;
}

TestServer& Server() {
    static TestServer server(TestServer::Transport::Tls, LocationAnswer);
    return server;
}

std::string Address() {
    return Server().Url("/json?ip=1.2.3.4");
}

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

struct EasyFree {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using Easy = std::unique_ptr<CURL, EasyFree>;

// The header block WebRequest sends by default, so that both sides send the same requests.
curl_slist* DefaultHeaderLines() {
    static curl_slist* const lines = [] {
        curl_slist* list = nullptr;
        for (const char* line :
             {"User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)",
              "Accept: text/html, application/xhtml+xml, */*", "Accept-Encoding: identity",
              "Accept-Language: zh-cn", "Cache-Control: no-cache"}) {
            list = curl_slist_append(list, line);
        }
        return list;
    }();
    return lines;
}

Easy MakeEasy(const std::string& url, std::string& body) {
    Easy easy(curl_easy_init());
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_1});
    curl_easy_setopt(easy.get(), CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, DefaultHeaderLines());
    return easy;
}

void RawCurlReusedHandle(benchmark::State& state) {
    const std::string url = Address();
    std::string body;
    Easy easy = MakeEasy(url, body);
    for (auto _ : state) {
        body.clear();
        if (curl_easy_perform(easy.get()) != CURLE_OK || body.empty()) state.SkipWithError("request failed");
    }
    state.SetItemsProcessed(state.iterations());
}

void WebRequestCalls(benchmark::State& state) {
    const iploc::Text url = Address();
    for (auto _ : state) {
        const iploc::Text body = iploc::WebRequest({.url = url, .method = 0});
        if (body.empty()) state.SkipWithError("request failed");
        benchmark::DoNotOptimize(body.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void RawCurlFreshHandle(benchmark::State& state) {
    const std::string url = Address();
    std::string body;
    for (auto _ : state) {
        body.clear();
        Easy easy = MakeEasy(url, body);
        if (curl_easy_perform(easy.get()) != CURLE_OK || body.empty()) state.SkipWithError("request failed");
    }
    state.SetItemsProcessed(state.iterations());
}

// Each benchmark runs several times, the runs of different benchmarks shuffled together (see
// main), so that a change in the machine's load strikes the baseline and WebRequest alike.
constexpr int kRepetitions = 9;
BENCHMARK(RawCurlReusedHandle)
    ->Iterations(kRequests)
    ->Repetitions(kRepetitions)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(WebRequestCalls)
    ->Iterations(kRequests)
    ->Repetitions(kRepetitions)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(RawCurlFreshHandle)
    ->Iterations(kRequests / 20)
    ->Repetitions(kRepetitions)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// Prints the usual table, then each benchmark's median request rate over its runs as a ratio of
// the reused raw handle's.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const auto rate = run.counters.find("items_per_second");
            if (rate == run.counters.end() || run.iterations == 0) continue;
            rates_[run.run_name.function_name].push_back(rate->second.value);
            cpuMicros_[run.run_name.function_name].push_back(run.cpu_accumulated_time * 1e6 /
                                                             static_cast<double>(run.iterations));
        }
    }
    void PrintRatios() const {
        const double baseline = Median(rates_, "RawCurlReusedHandle");
        if (baseline <= 0) return;
        std::printf("\nMedian of %d runs each (the client thread's CPU time per request beside it):\n",
                    kRepetitions);
        for (const auto& entry : rates_) {
            const double rate = Median(rates_, entry.first);
            std::printf("%-22s %10.0f requests/s  %.3fx the reused raw handle  %7.1f us CPU\n",
                        entry.first.c_str(), rate, rate / baseline, Median(cpuMicros_, entry.first));
        }
    }

private:
    using Samples = std::map<std::string, std::vector<double>>;
    static double Median(const Samples& samples, const std::string& name) {
        const auto found = samples.find(name);
        if (found == samples.end() || found->second.empty()) return 0;
        std::vector<double> rates = found->second;
        std::sort(rates.begin(), rates.end());
        return rates[rates.size() / 2];
    }
    Samples rates_;
    Samples cpuMicros_;
};

} // namespace

int main(int argc, char** argv) {
    // Interleaving is on unless the command line says otherwise.
    std::vector<char*> arguments(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave.data());
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    Server().Stop();
    benchmark::Shutdown();
    return 0;
}
