// Sequential HTTPS GETs to a loopback server: WebRequest against one reused raw libcurl handle
// (the baseline) and against a fresh handle per request, in one run. Prints the rate ratios.
#include "tests/support/test_server.h"
#include "web/web_request.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <curl/curl.h>
#include <map>
#include <memory>
#include <string>

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

Easy MakeEasy(const std::string& url, std::string& body) {
    Easy easy(curl_easy_init());
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_1});
    curl_easy_setopt(easy.get(), CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body);
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

BENCHMARK(RawCurlReusedHandle)->Iterations(kRequests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(WebRequestCalls)->Iterations(kRequests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(RawCurlFreshHandle)->Iterations(kRequests / 10)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Prints the usual table and remembers each benchmark's request rate for the ratios.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end()) rates_[run.run_name.function_name] = rate->second.value;
        }
    }
    void PrintRatios() const {
        const auto baseline = rates_.find("RawCurlReusedHandle");
        if (baseline == rates_.end() || baseline->second <= 0) return;
        for (const auto& [name, rate] : rates_) {
            std::printf("%-22s %10.0f requests/s  %.3fx the reused raw handle\n", name.c_str(), rate,
                        rate / baseline->second);
        }
    }

private:
    std::map<std::string, double> rates_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    Server().Stop();
    benchmark::Shutdown();
    return 0;
}
