#include "app/record_writer.h"

#include "app/store_access.h"

#include <vector>

namespace iploc {

RecordWriter::RecordWriter(StoreAccess& store, StoredCallback onStored)
    : store_(store), onStored_(std::move(onStored)), thread_([this] { Run(); }) {}

RecordWriter::~RecordWriter() {
    Finish();
}

bool RecordWriter::Push(std::int64_t row, ResultRecord record) {
    std::unique_lock lock(mutex_);
    spaceFreed_.wait(lock, [this] { return queue_.size() < kQueueLimit || failedRow_ != 0; });
    if (failedRow_ != 0 || finishing_) return false;
    queue_.emplace_back(row, std::move(record));
    // The writer is woken for a handful of records at a time, not for every one.
    if (queue_.size() >= kWakeCount) recordsQueued_.notify_one();
    return true;
}

bool RecordWriter::Failed() const {
    std::lock_guard lock(mutex_);
    return failedRow_ != 0;
}

std::int64_t RecordWriter::Finish() {
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    recordsQueued_.notify_one();
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    return done_;
}

std::int64_t RecordWriter::FailedRow() const {
    std::lock_guard lock(mutex_);
    return failedRow_;
}

void RecordWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // A few records, or whatever is queued after a short while.
        recordsQueued_.wait_for(lock, kLongestDelay,
                                [this] { return queue_.size() >= kWakeCount || finishing_; });
        if (queue_.empty()) {
            if (finishing_) return;
            continue;
        }
        Queue batch;
        batch.swap(queue_);
        spaceFreed_.notify_all();
        lock.unlock();
        const std::int64_t failedRow = Store(batch);
        lock.lock();
        if (failedRow != 0) {
            // Later rows must not take the failed row's place: they are dropped, and so is
            // anything pushed meanwhile.
            failedRow_ = failedRow;
            queue_.clear();
            spaceFreed_.notify_all();
            return;
        }
    }
}

std::int64_t RecordWriter::Store(Queue& batch) {
    std::vector<ResultRecord> records;
    records.reserve(batch.size());
    for (auto& entry : batch)
        records.push_back(std::move(entry.second));
    // One commit for the batch: its records are stored all together, in order, or not at all.
    // Without an open store they are lost, as every later one is; with an open store a
    // failed append stops the run at the batch's first row.
    if (!store_.AppendAll(records) && store_.IsOpen()) return batch.front().first;
    for (const auto& entry : batch) {
        if (onStored_) onStored_(entry.first);
        std::lock_guard lock(mutex_);
        ++done_;
    }
    return 0;
}

} // namespace iploc
