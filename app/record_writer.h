// Appends a batch run's records in row order on a thread of its own, so the store's commit
// of one row overlaps the request of the next.
//
// Records are stored strictly in the order pushed, each whole (a batch per transaction), so
// the store never holds a gap or a shifted row. The writer wakes for a few records at a time
// (or after 20 ms) rather than for every one. A run that ends abruptly loses at most the rows
// still queued; they were not stored, so the next run starts with them again.
#pragma once

#include "services/result_store.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace iploc {

class StoreAccess;

class RecordWriter {
public:
    // Called on the writer's thread once the record of `row` has been handled: appended, or
    // lost because no store is open.
    using StoredCallback = std::function<void(std::int64_t row)>;

    RecordWriter(StoreAccess& store, StoredCallback onStored);
    ~RecordWriter(); // Finish()
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Queues the record of `row`, waiting while the queue is full. False, and nothing
    // queued, once an append has failed with the store open: later rows must not be stored
    // in its place.
    bool Push(std::int64_t row, ResultRecord record);
    bool Failed() const;
    // Waits until every queued record has been handled and ends the thread. Returns the
    // number of rows handled (appended, or lost without an open store). Later calls return
    // the same.
    std::int64_t Finish();
    // The row whose append failed; 0 when none did.
    std::int64_t FailedRow() const;

private:
    using Queue = std::deque<std::pair<std::int64_t, ResultRecord>>;

    void Run();
    // Appends `batch` in order, in one transaction; the row at which storing failed, or 0.
    std::int64_t Store(Queue& batch);

    static constexpr std::size_t kQueueLimit = 64;
    // The writer wakes when this many records wait, or after kLongestDelay.
    static constexpr std::size_t kWakeCount = 8;
    static constexpr std::chrono::milliseconds kLongestDelay{20};

    StoreAccess& store_;
    StoredCallback onStored_;
    mutable std::mutex mutex_;
    std::condition_variable recordsQueued_;
    std::condition_variable spaceFreed_;
    Queue queue_;
    bool finishing_ = false;
    std::int64_t failedRow_ = 0;
    std::int64_t done_ = 0;
    std::thread thread_;
};

} // namespace iploc
