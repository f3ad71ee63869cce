#include "app/store_access.h"

namespace iploc {

bool StoreAccess::OpenOrCreate(const std::filesystem::path& path, const Text& alias) {
    std::lock_guard lock(mutex_);
    ResultStore& store = ResultStore::Instance();
    if (store.Open(path, alias)) return true;
    return store.Create(path, ResultFields()) && store.Open(path, alias);
}

bool StoreAccess::IsOpen() {
    std::lock_guard lock(mutex_);
    return ResultStore::Instance().IsOpen();
}

std::int64_t StoreAccess::RecordCount() {
    std::lock_guard lock(mutex_);
    return ResultStore::Instance().RecordCount();
}

bool StoreAccess::Append(const ResultRecord& record) {
    std::lock_guard lock(mutex_);
    return ResultStore::Instance().AppendRecord(record);
}

bool StoreAccess::AppendAll(std::span<const ResultRecord> records) {
    std::lock_guard lock(mutex_);
    return ResultStore::Instance().AppendRecords(records);
}

bool StoreAccess::Clear() {
    std::lock_guard lock(mutex_);
    return ResultStore::Instance().Clear();
}

std::vector<ResultRecord> StoreAccess::Snapshot() {
    std::lock_guard lock(mutex_);
    ResultStore& store = ResultStore::Instance();
    const auto& fields = ResultFields();
    std::vector<ResultRecord> records;
    store.GoToFirst();
    const std::int64_t count = store.RecordCount();
    records.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        ResultRecord& record = records.emplace_back();
        for (std::size_t f = 0; f < record.size() && f < fields.size(); ++f) {
            record[f] = store.ReadField(fields[f].name);
        }
        store.Skip(1);
    }
    return records;
}

bool StoreAccess::Close(const Text& alias) {
    std::lock_guard lock(mutex_);
    return ResultStore::Instance().Close(alias);
}

} // namespace iploc
