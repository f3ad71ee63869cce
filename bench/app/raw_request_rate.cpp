// The baseline of bench/app/batch_vs_raw.sh: the request rate of one reused libcurl easy
// handle, GET of PREFIX + address for every address of a file, one after the other, the
// answer read and thrown away. Prints "<requests> <seconds> <requests per second>".
//
//   app_raw_request_rate URL_PREFIX ADDRESS_FILE
#include <chrono>
#include <cstdio>
#include <curl/curl.h>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct EasyFree {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

std::size_t Discard(char*, std::size_t size, std::size_t count, void* received) {
    *static_cast<std::size_t*>(received) += size * count;
    return size * count;
}

std::vector<std::string> ReadLines(const char* path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool SetUp(CURL* handle, std::size_t* received) {
    return curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Discard) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_WRITEDATA, received) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_TCP_NODELAY, 1L) == CURLE_OK &&
           curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s URL_PREFIX ADDRESS_FILE\n", argv[0]);
        return 2;
    }
    const std::string prefix = argv[1];
    const std::vector<std::string> addresses = ReadLines(argv[2]);
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return 1;
    std::unique_ptr<CURL, EasyFree> handle(curl_easy_init());
    std::size_t received = 0;
    if (!handle || !SetUp(handle.get(), &received)) return 1;
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& address : addresses) {
        const std::string url = prefix + address;
        long status = 0;
        if (curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str()) != CURLE_OK ||
            curl_easy_perform(handle.get()) != CURLE_OK ||
            curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) {
            std::fprintf(stderr, "request failed: %s\n", url.c_str());
            return 1;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu %.3f %.1f\n", addresses.size(), seconds, addresses.size() / seconds);
    curl_global_cleanup();
    return received > 0 ? 0 : 1;
}
