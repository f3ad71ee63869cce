// The application object: the window's event handlers and the workers they start.
//
// One per process. The window (Qt, the command line or a test's recorder) calls the
// On... handlers on its UI thread; the single lookups and the batch run go to worker
// threads that this object owns and joins. The store is opened by OnCreated and closed
// by OnAboutToBeDestroyed, after every worker has ended.
#pragma once

#include "app/batch_run.h"
#include "app/export_run.h"
#include "app/main_window_interface.h"
#include "app/settings.h"
#include "app/stop_signal.h"
#include "app/store_access.h"
#include "app/timestamp_text.h"
#include "text/text.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

namespace iploc {

class Application {
public:
    Application(MainWindowInterface& window, Settings settings, LocalClock clock = ReadLocalClock);
    // Stops and joins the workers and closes the store, as OnAboutToBeDestroyed does.
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Window created: opens the store (creating it when missing), disables the export
    // button when it is empty and shows the count caption.
    void OnCreated();
    // 按钮_清空数据库: asks, then empties the store. Refused with a message while a batch
    // run (of this or another process) holds the store.
    void OnClearClicked();
    // 按钮_查询: looks up a copy of `editText` on a new worker; the label gets the five
    // values joined and the edit box is emptied, or nothing changes when no answer parses.
    void OnLookupClicked(const Text& editText);
    // 按钮_批量查询: starts the batch run on the workbook `editText` on a worker. One run
    // at a time: the batch button is disabled for the run, and a run held by another
    // process refuses this one with a message.
    void OnBatchClicked(const Text& editText);
    // 按钮_导出: the export, on the calling thread; on success it destroys the window.
    void OnExportClicked(const Text& editText);
    // Main window about to be destroyed: stops the workers (requests in flight are
    // aborted), joins them, then closes the store. Later calls do nothing.
    void OnAboutToBeDestroyed();

    // Asks every worker to stop: requests in flight are aborted within about a second,
    // pauses end, and the batch run ends after its row in flight without storing it.
    // Safe from any thread; not from a signal handler.
    void RequestStop();
    bool BatchRunning() const { return batchRunning_.load(); }
    // Joins every worker started so far (the command line and the tests wait this way).
    void WaitForWorkers();
    // The report of the last finished batch run; nullopt before one has finished.
    std::optional<BatchReport> LastBatchReport() const;
    // The report of the last export; nullopt before one has run.
    std::optional<ExportReport> LastExportReport() const;
    std::int64_t RecordCount() { return store_.RecordCount(); }
    bool StoreOpen() { return store_.IsOpen(); }
    const Settings& settings() const { return settings_; }

private:
    void ReapFinishedLookups();
    void JoinBatch();

    struct LookupWorker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    MainWindowInterface& window_;
    Settings settings_;
    LocalClock clock_;
    Text urlPrefix_;
    StopSignal stop_;
    StoreAccess store_;
    std::list<LookupWorker> lookups_;
    std::thread batch_;
    std::atomic<bool> batchRunning_{false};
    std::atomic<bool> destroyed_{false};
    mutable std::mutex reportMutex_;
    std::optional<BatchReport> lastBatch_;
    std::optional<ExportReport> lastExport_;
};

} // namespace iploc
