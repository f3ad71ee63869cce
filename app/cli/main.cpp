// Placeholder command line until the lookup workflows exist.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    std::puts("iploc - IPv4 address location lookup\n"
              "\n"
              "usage: iploc --help\n"
              "\n"
              "Built so far: code page 936 text and conversions, the regular-expression object.\n"
              "Not built yet: lookup, batch, export, count and clear (the lookup workflows).");
    const bool askedForHelp = argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
    return (argc == 1 || askedForHelp) ? 0 : 2;
}
