// WorkbookAutomation: what the batch and export runs need of a spreadsheet application.
//
// One object holds the application object and the workbook object of a run; the runs call
// the operations in the order they are declared. Nothing is reported: an operation whose
// object is missing does nothing, and ReadCellText then gives empty text. When OpenWorkbook
// fails, the empty workbook made by BindWorkbook stays current, so writes and SaveWorkbookAs
// act on it.
//
// Workbooks are read and written by this program itself (see docs/workbook.md): .xlsx and
// .xls files are told apart by their first bytes, and SaveWorkbookAs always writes .xlsx.
#pragma once

#include "services/workbook/cell_address.h"
#include "text/text.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace iploc {

namespace workbook {
class Workbook;
} // namespace workbook

class WorkbookAutomation {
public:
    WorkbookAutomation();
    ~WorkbookAutomation();
    WorkbookAutomation(const WorkbookAutomation&) = delete;
    WorkbookAutomation& operator=(const WorkbookAutomation&) = delete;

    void CreateApplication();
    void HideApplication();
    // Sheet 1 of a new empty workbook becomes current.
    void BindWorkbook();
    // The file's sheet 1 becomes current. `path` is code page 936 text (as typed in the edit
    // box), converted to UTF-8 for the file system.
    void OpenWorkbook(const Text& path);
    void OpenWorkbook(const char* path) { OpenWorkbook(Text(path ? path : "")); }
    void OpenWorkbook(const std::filesystem::path& path);
    void ActivateWorkbook();
    // Sheet n (from 1) becomes current; nothing changes when there is no such worksheet.
    void SelectSheet(int n);
    // Cell addresses such as "A12" or "$C$3".
    void SetStartCell(const Text& address);
    // Makes the range from the start cell to this cell current; when either address is not a
    // cell address, no range is current (writes then go nowhere).
    void SetEndCell(const Text& address);
    // The text the start cell shows, in code page 936; empty for an empty cell.
    Text ReadCellText();
    // Puts the text (code page 936) into every cell of the current range, as text.
    void WriteCellText(const Text& text);
    // Writes the workbook to a new .xlsx file. The opened file itself is never written.
    void SaveWorkbookAs(const Text& path);
    void SaveWorkbookAs(const char* path) { SaveWorkbookAs(Text(path ? path : "")); }
    void SaveWorkbookAs(const std::filesystem::path& path);
    void CloseWorkbooks();
    // Forgets the workbook and empties the cell address texts.
    void ReleaseWorkbook();
    void QuitApplication();
    void ReleaseApplication();

private:
    bool HasWorkbook() const;

    bool applicationRunning_ = false;
    bool applicationVisible_ = true; // nothing is ever shown; kept as the application's state
    std::unique_ptr<workbook::Workbook> workbook_;
    std::filesystem::path openedFile_; // the file the workbook came from; empty for a new one
    int sheet_ = 0;                    // current sheet, from 0
    Text startCell_;
    std::optional<workbook::CellRef> start_; // the start cell's position, when it is a cell address
    Text endCell_;
    std::optional<workbook::CellRange> range_; // current range; none after a bad address
};

} // namespace iploc
