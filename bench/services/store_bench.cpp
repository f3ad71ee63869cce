// Appending 100,000 records: ResultStore::AppendRecord against plain SQLite prepared-statement
// inserts into the same table with the same settings (WAL, synchronous=NORMAL, one
// transaction per record). The ratio raw time / store time is the store's efficiency.
//
//   store_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
#include "services/result_store.h"
#include "text/encoding.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace iploc {
namespace {

constexpr int kRecords = 100000;
const Text kAlias = "bench";

// A thousand realistic records, cycled through.
const std::vector<ResultRecord>& SampleRecords() {
    static const std::vector<ResultRecord> records = [] {
        const Text provinces[] = {Utf8ToText("广东"), Utf8ToText("浙江"), Utf8ToText("北京"),
                                  Utf8ToText("四川")};
        const Text isps[] = {Utf8ToText("电信"), Utf8ToText("联通"), Utf8ToText("移动")};
        std::vector<ResultRecord> made;
        for (int i = 0; i < 1000; ++i) {
            const Text ip = "10." + NumberText(i / 256) + "." + NumberText(i % 256) + "." + NumberText(i % 7);
            made.push_back({ip, Utf8ToText("中国"), provinces[i % 4], provinces[i % 4] + Utf8ToText("市"),
                            i % 5 ? Text() : Utf8ToText("城区"), isps[i % 3]});
        }
        return made;
    }();
    return records;
}

// A fresh, empty store file in the temporary directory, removed again by the destructor.
class ScratchStore {
public:
    ScratchStore() {
        std::string pattern = (std::filesystem::temp_directory_path() / "iploc-store-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) dir_ = pattern;
        file_ = dir_ / "store.edb";
        ready_ = !dir_.empty() && ResultStore::Instance().Create(file_, ResultFields());
    }
    ~ScratchStore() {
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    bool Ready() const { return ready_; }
    const std::filesystem::path& File() const { return file_; }

private:
    std::filesystem::path dir_, file_;
    bool ready_ = false;
};

void StoreAppend(benchmark::State& state) {
    const auto& records = SampleRecords();
    ResultStore& store = ResultStore::Instance();
    for (auto _ : state) {
        state.PauseTiming();
        ScratchStore scratch;
        if (!scratch.Ready() || !store.Open(scratch.File(), kAlias)) return state.SkipWithError("no store");
        state.ResumeTiming();
        for (int i = 0; i < kRecords; ++i) {
            if (!store.AppendRecord(records[i % records.size()])) return state.SkipWithError("append failed");
        }
        state.PauseTiming();
        store.Close(kAlias); // the final checkpoint is not part of the appends
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// The same inserts through SQLite alone: one prepared statement, six BLOBs, autocommit.
bool RawInserts(sqlite3* db, const std::vector<ResultRecord>& records) {
    sqlite3_stmt* insert = nullptr;
    const char* sql = "INSERT INTO records(\"ip\", \"country\", \"province\", \"city\", \"area\", \"isp\") "
                      "VALUES(?1, ?2, ?3, ?4, ?5, ?6)";
    if (sqlite3_prepare_v2(db, sql, -1, &insert, nullptr) != SQLITE_OK) return false;
    bool ok = true;
    for (int i = 0; i < kRecords && ok; ++i) {
        const ResultRecord& record = records[i % records.size()];
        for (int f = 0; f < 6; ++f)
            ok = ok && sqlite3_bind_blob(insert, f + 1, record[f].data(), static_cast<int>(record[f].size()),
                                         SQLITE_STATIC) == SQLITE_OK;
        ok = ok && sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return ok;
}

void RawSqliteInsert(benchmark::State& state) {
    const auto& records = SampleRecords();
    for (auto _ : state) {
        state.PauseTiming();
        ScratchStore scratch;
        sqlite3* db = nullptr;
        const bool opened =
            scratch.Ready() &&
            sqlite3_open_v2(scratch.File().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                            nullptr) == SQLITE_OK &&
            sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr,
                         nullptr) == SQLITE_OK;
        state.ResumeTiming();
        const bool inserted = opened && RawInserts(db, records);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
        if (!inserted) return state.SkipWithError("raw inserts failed");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

BENCHMARK(StoreAppend)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(RawSqliteInsert)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace
} // namespace iploc

BENCHMARK_MAIN();
