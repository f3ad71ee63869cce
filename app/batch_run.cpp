#include "app/batch_run.h"

#include "app/main_window_interface.h"
#include "app/messages.h"
#include "app/program_delay.h"
#include "app/record_writer.h"
#include "app/stop_signal.h"
#include "app/store_access.h"

#include <algorithm>
#include <utility>

namespace iploc {
namespace {

constexpr int kPlainRetries = 5;
constexpr std::chrono::milliseconds kPlainPause{200};
constexpr std::chrono::milliseconds kLongestPause{30000};

ResultRecord TrimmedRecord(const Text& address, const AnswerValues& values) {
    ResultRecord record;
    record[0] = Trim(address);
    for (std::size_t i = 0; i < values.size(); ++i)
        record[i + 1] = Trim(values[i]);
    return record;
}

} // namespace

std::chrono::milliseconds RetryPause(int consecutiveFailures) {
    if (consecutiveFailures <= kPlainRetries) return kPlainPause;
    const int doublings = std::min(consecutiveFailures - kPlainRetries, 16);
    return std::min(kPlainPause * (std::int64_t{1} << doublings), kLongestPause);
}

BatchRun::BatchRun(MainWindowInterface& window, StoreAccess& store, const StopSignal& stop, Text urlPrefix)
    : window_(window), store_(store), stop_(stop), lookup_(std::move(urlPrefix)) {}

BatchReport BatchRun::Run(const Text& workbookPath) {
    OpenWorkbook(workbookPath);
    std::int64_t row = store_.RecordCount() + 1;
    report_.firstRow = row;
    RecordWriter writer(store_,
                        [this](std::int64_t storedRow) { window_.SetCaption(ProcessingCaption(storedRow)); });
    Text address;
    bool reachedEnd = false;
    while (!stop_.Requested()) {
        if (!ReadAddress(row, address)) {
            reachedEnd = true;
            break;
        }
        const std::optional<AnswerValues> values = LookUp(address);
        if (!values) break; // stopped while the row was in flight: it stays for the next run
        if (!writer.Push(row, TrimmedRecord(address, *values))) break; // an append failed
        ++row;
    }
    report_.rowsDone = writer.Finish();
    report_.storeWriteFailed = writer.FailedRow() != 0;
    report_.stopped = !reachedEnd && !report_.storeWriteFailed;
    CloseWorkbook();
    report_.recordCount = store_.RecordCount();
    if (report_.storeWriteFailed) window_.ShowMessage(StoreWriteFailedMessage(writer.FailedRow()), false);
    if (!report_.stopped) ShowEnd(report_);
    return report_;
}

void BatchRun::OpenWorkbook(const Text& path) {
    workbook_.CreateApplication();
    workbook_.HideApplication();
    workbook_.BindWorkbook();
    workbook_.OpenWorkbook(path);
    workbook_.ActivateWorkbook();
    workbook_.SelectSheet(1);
}

void BatchRun::CloseWorkbook() {
    workbook_.CloseWorkbooks();
    workbook_.ReleaseWorkbook();
    workbook_.QuitApplication();
    workbook_.ReleaseApplication();
}

bool BatchRun::ReadAddress(std::int64_t row, Text& address) {
    const Text cell = "A" + NumberText(row);
    workbook_.SetStartCell(cell);
    workbook_.SetEndCell(cell);
    // A cell of blanks is not empty: it is looked up and stored with an empty "ip".
    address = workbook_.ReadCellText();
    return !address.empty();
}

std::optional<AnswerValues> BatchRun::LookUp(const Text& address) {
    if (const auto known = answered_.find(address); known != answered_.end()) {
        ++report_.requestsSaved;
        return known->second;
    }
    std::optional<AnswerValues> values = LookUpWithRetry(address);
    if (values) answered_.emplace(address, *values);
    return values;
}

std::optional<AnswerValues> BatchRun::LookUpWithRetry(const Text& address) {
    for (int failures = 1;; ++failures) {
        ++report_.requestsMade;
        // A reply that parses is kept even when a stop came in meanwhile: the row is done.
        if (auto values = lookup_.Attempt(address, stop_.Flag())) return values;
        if (stop_.Requested()) return std::nullopt;
        ProgramDelay(RetryPause(failures).count(), kDelayMilliseconds, &stop_);
    }
}

void BatchRun::ShowEnd(const BatchReport& report) {
    const Text processed = ProcessedMessage(report.recordCount);
    window_.ShowMessage(processed, false);
    window_.SetCaption(processed);
    window_.SetButtonEnabled(Button::Export, true);
    window_.SetButtonEnabled(Button::Batch, false);
}

} // namespace iploc
