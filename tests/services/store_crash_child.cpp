// Crash-test child: opens (or creates) the store at argv[1] and appends records
// RecordCount()+1, +2, ... without end, printing each number after its append returned.
// The test kills it with SIGKILL at a random moment.
#include "crash_record.h"
#include "services/result_store.h"

#include <cstdio>

int main(int argc, char** argv) {
    using namespace iploc;
    if (argc != 2) {
        std::fprintf(stderr, "usage: store_crash_child <store file>\n");
        return 2;
    }
    const std::filesystem::path file = argv[1];
    const Text alias = "crash-test";
    ResultStore& store = ResultStore::Instance();
    if (!store.Open(file, alias) && !(store.Create(file, ResultFields()) && store.Open(file, alias)))
        return 1;
    for (std::int64_t k = store.RecordCount() + 1;; ++k) {
        if (!store.AppendRecord(crash_test::RecordNumber(k))) return 1;
        std::printf("%lld\n", static_cast<long long>(k));
        std::fflush(stdout);
    }
}
