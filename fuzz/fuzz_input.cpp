#include "fuzz/fuzz_input.h"

#include <cstdio>
#include <cstdlib>

namespace iploc::fuzz {

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz expectation failed: %s\n", what);
    std::abort(); // libFuzzer reports the abort as a crash and keeps the input
}

} // namespace iploc::fuzz
