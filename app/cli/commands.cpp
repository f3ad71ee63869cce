#include "app/cli/commands.h"

#include "app/application.h"
#include "app/cli/cli_window.h"
#include "app/cli/interrupt_watch.h"
#include "app/messages.h"
#include "services/workbook_automation.h"
#include "text/encoding.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

namespace iploc {
namespace {

namespace fs = std::filesystem;

// Why `path` cannot be a workbook, or nullopt when it looks like one (.xlsx or .xls,
// told by the first bytes, as the workbook module tells them).
std::optional<std::string> WorkbookProblem(const std::string& path) {
    std::error_code error;
    if (!fs::exists(path, error)) return "no such file";
    if (fs::is_directory(path, error)) return "it is a directory";
    std::ifstream file(path, std::ios::binary);
    if (!file) return "the file cannot be read";
    char head[8] = {};
    if (!file.read(head, sizeof head)) return "the file is too short to be a workbook";
    const std::string_view start(head, sizeof head);
    if (start.substr(0, 4) == "PK\x03\x04" || start == "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")
        return std::nullopt;
    return "it is not an .xlsx or .xls workbook";
}

bool CheckWorkbook(const std::string& path) {
    const std::optional<std::string> problem = WorkbookProblem(path);
    if (problem)
        std::fprintf(stderr, "iploc: cannot use the workbook '%s': %s\n", path.c_str(), problem->c_str());
    return !problem;
}

// The last filled row of column A of the first sheet (0 when A1 is empty). Read only to
// size the progress bar on a terminal.
std::int64_t LastFilledRow(const Text& path) {
    WorkbookAutomation workbook;
    workbook.CreateApplication();
    workbook.BindWorkbook();
    workbook.OpenWorkbook(path);
    workbook.SelectSheet(1);
    std::int64_t row = 0;
    for (;; ++row) {
        const Text cell = "A" + NumberText(row + 1);
        workbook.SetStartCell(cell);
        workbook.SetEndCell(cell);
        if (workbook.ReadCellText().empty()) break;
    }
    workbook.CloseWorkbooks();
    workbook.ReleaseWorkbook();
    workbook.ReleaseApplication();
    return row;
}

// Opens the store the way the window does; false (with a message) when it cannot be used.
bool Start(Application& app) {
    app.OnCreated();
    if (app.StoreOpen()) return true;
    std::fprintf(stderr, "iploc: the store %s could not be opened or created\n",
                 StorePath(app.settings()).c_str());
    return false;
}

bool Contains(const std::vector<Text>& messages, const Text& text) {
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

int ReportBatch(CliWindow& window, const BatchReport& report) {
    window.EndProgress();
    if (report.storeWriteFailed) return kExitFailed;
    if (report.stopped) {
        std::printf("interrupted: %lld rows done in this run, %lld records stored; run the same command "
                    "again to go on from row %lld\n",
                    static_cast<long long>(report.rowsDone), static_cast<long long>(report.recordCount),
                    static_cast<long long>(report.recordCount + 1));
        return kExitInterrupted;
    }
    std::printf("%lld rows done in this run; requests saved by answering repeated addresses from memory: "
                "%lld\n",
                static_cast<long long>(report.rowsDone), static_cast<long long>(report.requestsSaved));
    return kExitOk;
}

} // namespace

int RunLookupCommand(const std::string& addressUtf8) {
    CliWindow window;
    Application app(window, LoadSettings());
    InterruptWatch interrupts([&app] { app.RequestStop(); });
    app.OnCreated();
    app.OnLookupClicked(Utf8ToText(addressUtf8));
    app.WaitForWorkers();
    if (window.Label()) return kExitOk;
    if (interrupts.Interrupted()) return kExitInterrupted;
    std::fprintf(stderr, "iploc: no usable answer from the location service at %s\n",
                 TextToUtf8(ServiceUrlPrefix(app.settings()) + Utf8ToText(addressUtf8)).c_str());
    return kExitFailed;
}

int RunBatchCommand(const std::string& workbookUtf8) {
    if (!CheckWorkbook(workbookUtf8)) return kExitBadInput;
    const Text path = Utf8ToText(workbookUtf8);
    CliWindow window;
    Application app(window, LoadSettings());
    InterruptWatch interrupts([&app] { app.RequestStop(); });
    if (!Start(app)) return kExitFailed;
    const bool onTerminal = ::isatty(STDERR_FILENO) == 1;
    window.TrackProgress(app.RecordCount() + 1,
                         onTerminal ? std::optional<std::int64_t>(LastFilledRow(path)) : std::nullopt);
    window.SetCaptionMode(CliWindow::CaptionMode::Progress);
    app.OnBatchClicked(path);
    app.WaitForWorkers();
    const std::optional<BatchReport> report = app.LastBatchReport();
    if (!report) {
        std::fprintf(stderr, "iploc: another batch run is using the store %s\n",
                     StorePath(app.settings()).c_str());
        return kExitFailed;
    }
    return ReportBatch(window, *report);
}

int RunExportCommand(const std::string& workbookUtf8) {
    if (!CheckWorkbook(workbookUtf8)) return kExitBadInput;
    CliWindow window;
    Application app(window, LoadSettings());
    if (!Start(app)) return kExitFailed;
    window.TrackProgress(1, app.RecordCount());
    window.SetCaptionMode(CliWindow::CaptionMode::Progress);
    app.OnExportClicked(Utf8ToText(workbookUtf8));
    window.EndProgress();
    const std::optional<ExportReport> report = app.LastExportReport();
    if (!report || !report->saved) {
        std::fprintf(stderr, "iploc: the result workbook could not be written to %s\n",
                     report ? report->path.c_str() : "the program directory");
        return kExitFailed;
    }
    // The window ends the program after the export; so does the command.
    app.OnAboutToBeDestroyed();
    std::printf("result: %s\n", report->path.c_str());
    return kExitOk;
}

int RunCountCommand() {
    CliWindow window;
    window.SetCaptionMode(CliWindow::CaptionMode::Stdout);
    Application app(window, LoadSettings());
    return Start(app) ? kExitOk : kExitFailed;
}

int RunClearCommand(bool assumeYes) {
    if (!assumeYes && ::isatty(STDIN_FILENO) != 1) {
        std::fprintf(
            stderr, "iploc: clear asks for confirmation on a terminal; pass --yes to clear without asking\n");
        return kExitBadInput;
    }
    CliWindow window(assumeYes);
    Application app(window, LoadSettings());
    if (!Start(app)) return kExitFailed;
    window.SetCaptionMode(CliWindow::CaptionMode::Stdout);
    app.OnClearClicked();
    const std::vector<Text> messages = window.Messages();
    if (Contains(messages, ClearRefusedMessage())) return kExitFailed;
    if (!Contains(messages, ClearedMessage())) std::printf("not cleared\n");
    return kExitOk;
}

} // namespace iploc
