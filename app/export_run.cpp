#include "app/export_run.h"

#include "app/main_window_interface.h"
#include "app/messages.h"
#include "app/store_access.h"
#include "services/workbook_automation.h"

#include <array>
#include <system_error>

namespace iploc {
namespace {

// Column of each field, in the order of the record ("ip", "country", ... "isp").
constexpr std::array<char, 6> kColumns{'A', 'B', 'C', 'D', 'E', 'F'};

void OpenWorkbook(WorkbookAutomation& workbook, const Text& path) {
    workbook.CreateApplication();
    workbook.HideApplication();
    workbook.BindWorkbook();
    workbook.OpenWorkbook(path);
    workbook.ActivateWorkbook();
    workbook.SelectSheet(1);
}

void CloseWorkbook(WorkbookAutomation& workbook) {
    workbook.CloseWorkbooks();
    workbook.ReleaseWorkbook();
    workbook.QuitApplication();
    workbook.ReleaseApplication();
}

void WriteRecord(WorkbookAutomation& workbook, std::int64_t row, const ResultRecord& record) {
    for (std::size_t column = 0; column < kColumns.size(); ++column) {
        const Text cell = kColumns[column] + NumberText(row);
        workbook.SetStartCell(cell);
        workbook.SetEndCell(cell);
        workbook.WriteCellText(record[column]);
    }
}

bool FileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

} // namespace

ExportReport RunExport(MainWindowInterface& window, StoreAccess& store, const Settings& settings,
                       const Text& workbookPath, const LocalClock& clock) {
    WorkbookAutomation workbook;
    OpenWorkbook(workbook, workbookPath);
    const std::vector<ResultRecord> records = store.Snapshot();
    ExportReport report;
    for (const ResultRecord& record : records) {
        WriteRecord(workbook, ++report.recordsWritten, record);
        window.SetCaption(ExportedCaption(report.recordsWritten));
        window.ProcessPendingEvents();
    }
    report.path = ExportPath(settings, TimestampText(false, clock));
    workbook.SaveWorkbookAs(report.path);
    CloseWorkbook(workbook);
    report.saved = FileExists(report.path);
    if (!report.saved) {
        // Saying "导出成功" here would report a failure as success.
        window.ShowMessage(ExportFailedMessage(), false);
        return report;
    }
    window.SetButtonEnabled(Button::Export, false);
    window.SetButtonEnabled(Button::Batch, true);
    window.ShowMessage(ExportSucceededMessage(), false);
    window.DestroyWindow();
    return report;
}

} // namespace iploc
