// The batch run: column A of a workbook's first sheet looked up row by row and appended
// to the result store, resuming after the records already stored.
#pragma once

#include "app/service_lookup.h"
#include "services/workbook_automation.h"
#include "text/text.h"

#include <chrono>
#include <cstdint>
#include <unordered_map>

namespace iploc {

class MainWindowInterface;
class StopSignal;
class StoreAccess;

struct BatchReport {
    std::int64_t firstRow = 0;      // the sheet row the run started at
    std::int64_t rowsDone = 0;      // rows looked up and stored by this run
    std::int64_t requestsSaved = 0; // rows answered from the run's memory of earlier rows
    std::int64_t requestsMade = 0;  // requests sent, retries included
    std::int64_t recordCount = 0;   // records in the store when the run ended
    bool stopped = false;           // a stop request ended the run before column A's end
    bool storeWriteFailed = false;  // a record could not be appended; the run stopped there
};

// The pause after `consecutiveFailures` unparsable replies in a row (1 = the first):
// 200 ms for the first five, then doubling from 400 ms up to 30 s.
std::chrono::milliseconds RetryPause(int consecutiveFailures);

class BatchRun {
public:
    BatchRun(MainWindowInterface& window, StoreAccess& store, const StopSignal& stop, Text urlPrefix);

    // Runs on the calling (worker) thread until column A's first empty cell or a stop
    // request. A row is stored only once its answer parsed, so a stop never leaves a gap:
    // the next run starts with the row that was in flight.
    BatchReport Run(const Text& workbookPath);

private:
    void OpenWorkbook(const Text& path);
    void CloseWorkbook();
    // The text of cell A<row>; false when the cell is empty (the end of the column).
    bool ReadAddress(std::int64_t row, Text& address);
    // The answer for `address`, from this run's memory or from the service (retried
    // until it parses); nullopt only when a stop was requested first.
    std::optional<AnswerValues> LookUp(const Text& address);
    std::optional<AnswerValues> LookUpWithRetry(const Text& address);
    void ShowEnd(const BatchReport& report);

    MainWindowInterface& window_;
    StoreAccess& store_;
    const StopSignal& stop_;
    ServiceLookup lookup_;
    WorkbookAutomation workbook_;
    // Answers of this run by address exactly as read from the cell.
    std::unordered_map<Text, AnswerValues> answered_;
    BatchReport report_;
};

} // namespace iploc
