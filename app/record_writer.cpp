#include "app/record_writer.h"

#include "app/store_access.h"

namespace iploc {

RecordWriter::RecordWriter(StoreAccess& store, StoredCallback onStored)
    : store_(store), onStored_(std::move(onStored)), thread_([this] { Run(); }) {}

RecordWriter::~RecordWriter() {
    Finish();
}

bool RecordWriter::Push(std::int64_t row, ResultRecord record) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kQueueLimit || failedRow_ != 0; });
    if (failedRow_ != 0 || finishing_) return false;
    queue_.emplace_back(row, std::move(record));
    changed_.notify_all();
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
    changed_.notify_all();
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
        changed_.wait(lock, [this] { return !queue_.empty() || finishing_; });
        if (queue_.empty()) return; // finishing and drained
        auto [row, record] = std::move(queue_.front());
        queue_.pop_front();
        changed_.notify_all();
        lock.unlock();
        // Without an open store the record is lost, as every later one is; with an open
        // store a failed append stops the run, since a later row would take this row's place.
        const bool failed = !store_.Append(record) && store_.IsOpen();
        if (!failed && onStored_) onStored_(row);
        lock.lock();
        if (!failed) ++done_;
        if (failed) {
            failedRow_ = row;
            queue_.clear();
            changed_.notify_all();
            return;
        }
    }
}

} // namespace iploc
