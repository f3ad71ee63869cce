// The export run: every stored record written into columns A to F of a workbook, which
// is saved under a new timestamped name in the program directory.
#pragma once

#include "app/settings.h"
#include "app/timestamp_text.h"
#include "text/text.h"

#include <cstdint>
#include <filesystem>

namespace iploc {

class MainWindowInterface;
class StoreAccess;

struct ExportReport {
    std::filesystem::path path; // where the workbook was to be saved
    std::int64_t recordsWritten = 0;
    bool saved = false; // the file exists at `path` afterwards
};

// Runs on the calling (UI) thread. The records are those stored when the export starts,
// each once, in store order; a batch run going on meanwhile keeps appending after them.
// On success the buttons change, "导出成功" is shown and the window is destroyed; when
// the file could not be written the user is told so and the window stays.
ExportReport RunExport(MainWindowInterface& window, StoreAccess& store, const Settings& settings,
                       const Text& workbookPath, const LocalClock& clock);

} // namespace iploc
