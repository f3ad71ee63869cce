// The middle column of bench/app/batch_vs_raw.sh: the lookup road alone, as the workflows
// take it for every row (WebRequest GET, UTF-8 to code page 936, JSON parse, the five
// values read), one address after the other on one thread, without workbook or store.
// Prints "<lookups> <seconds> <lookups per second>".
//
//   app_lookup_rate URL_PREFIX ADDRESS_FILE
#include "app/service_lookup.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s URL_PREFIX ADDRESS_FILE\n", argv[0]);
        return 2;
    }
    std::vector<std::string> addresses;
    std::ifstream in(argv[2]);
    for (std::string line; std::getline(in, line);)
        addresses.push_back(line);
    iploc::ServiceLookup lookup(argv[1]);
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& address : addresses) {
        if (!lookup.Attempt(address)) {
            std::fprintf(stderr, "no usable answer for %s\n", address.c_str());
            return 1;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu %.3f %.1f\n", addresses.size(), seconds, addresses.size() / seconds);
    return 0;
}
