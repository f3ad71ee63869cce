#include "app/application.h"

#include "app/messages.h"
#include "app/run_lock.h"
#include "app/service_lookup.h"

#include <memory>
#include <utility>

namespace iploc {

Application::Application(MainWindowInterface& window, Settings settings, LocalClock clock)
    : window_(window), settings_(std::move(settings)), clock_(std::move(clock)),
      urlPrefix_(ServiceUrlPrefix(settings_)) {}

Application::~Application() {
    OnAboutToBeDestroyed();
}

void Application::OnCreated() {
    if (!store_.OpenOrCreate(StorePath(settings_), StoreAlias())) {
        window_.ShowMessage(StoreCreateFailedMessage(), false);
    }
    const std::int64_t count = store_.RecordCount();
    if (count == 0) window_.SetButtonEnabled(Button::Export, false);
    window_.SetCaption(CountCaption(count));
}

void Application::OnClearClicked() {
    // Asked first only when no run holds the store, and checked again after the answer.
    if (!RunLock::TryAcquire(StorePath(settings_))) {
        window_.ShowMessage(ClearRefusedMessage(), true);
        return;
    }
    if (!window_.Confirm(ClearQuestion())) return;
    std::optional<RunLock> lock = RunLock::TryAcquire(StorePath(settings_));
    if (!lock) {
        window_.ShowMessage(ClearRefusedMessage(), true);
        return;
    }
    store_.Clear();
    lock->Release();
    window_.ShowMessage(ClearedMessage(), true);
    window_.SetCaption(CountCaption(store_.RecordCount()));
}

void Application::OnLookupClicked(const Text& editText) {
    if (destroyed_) return;
    ReapFinishedLookups();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread worker([this, address = editText, done] {
        ServiceLookup lookup(urlPrefix_);
        if (const auto values = lookup.Attempt(address, stop_.Flag())) {
            window_.SetLabelText(ResultText(*values));
            window_.SetEditText({});
        }
        done->store(true);
    });
    lookups_.push_back({std::move(worker), std::move(done)});
}

void Application::OnBatchClicked(const Text& editText) {
    if (destroyed_ || batchRunning_) return;
    std::optional<RunLock> lock = RunLock::TryAcquire(StorePath(settings_));
    if (!lock) {
        window_.ShowMessage(BatchRefusedMessage(), true);
        return;
    }
    JoinBatch();
    window_.SetButtonEnabled(Button::Batch, false);
    batchRunning_ = true;
    batch_ = std::thread([this, path = editText, lock = std::move(*lock)]() mutable {
        BatchRun run(window_, store_, stop_, urlPrefix_);
        const BatchReport report = run.Run(path);
        {
            std::lock_guard guard(reportMutex_);
            lastBatch_ = report;
        }
        lock.Release();
        batchRunning_ = false;
    });
}

void Application::OnExportClicked(const Text& editText) {
    if (destroyed_) return;
    ExportReport report = RunExport(window_, store_, settings_, editText, clock_);
    std::lock_guard guard(reportMutex_);
    lastExport_ = std::move(report);
}

void Application::OnAboutToBeDestroyed() {
    if (destroyed_.exchange(true)) return;
    stop_.Request();
    WaitForWorkers();
    store_.Close(StoreAlias());
}

void Application::RequestStop() {
    stop_.Request();
}

void Application::WaitForWorkers() {
    for (LookupWorker& worker : lookups_) {
        if (worker.thread.joinable()) worker.thread.join();
    }
    lookups_.clear();
    JoinBatch();
}

std::optional<BatchReport> Application::LastBatchReport() const {
    std::lock_guard guard(reportMutex_);
    return lastBatch_;
}

std::optional<ExportReport> Application::LastExportReport() const {
    std::lock_guard guard(reportMutex_);
    return lastExport_;
}

void Application::ReapFinishedLookups() {
    for (auto it = lookups_.begin(); it != lookups_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = lookups_.erase(it);
        } else {
            ++it;
        }
    }
}

void Application::JoinBatch() {
    if (batch_.joinable()) batch_.join();
}

} // namespace iploc
