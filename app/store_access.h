// Serialised access to the process-wide result store.
//
// The window's handlers, the batch worker and the export all use the store; every
// operation here takes one mutex, so no two of them interleave and the store's current
// record is never moved under another user's feet.
#pragma once

#include "services/result_store.h"
#include "text/text.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <vector>

namespace iploc {

class StoreAccess {
public:
    // Opens the store at `path` under `alias`; when that fails, creates it with the six
    // result fields and opens it again. True when the store is open afterwards.
    bool OpenOrCreate(const std::filesystem::path& path, const Text& alias);
    bool IsOpen();
    // 0 when no store is open.
    std::int64_t RecordCount();
    // Appends one whole record (one transaction). False when nothing was stored.
    bool Append(const ResultRecord& record);
    // Appends `records` whole, in order, in one transaction: all of them or none.
    bool AppendAll(std::span<const ResultRecord> records);
    bool Clear();
    // Every record stored at this moment, in store order (first to last).
    std::vector<ResultRecord> Snapshot();
    bool Close(const Text& alias);

private:
    std::mutex mutex_;
};

} // namespace iploc
