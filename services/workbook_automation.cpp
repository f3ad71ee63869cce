#include "services/workbook_automation.h"

#include "services/workbook/cell_address.h"
#include "services/workbook/ooxml_text.h"
#include "services/workbook/workbook.h"
#include "text/encoding.h"

#include <exception>

namespace iploc {
namespace {

// Most cells one write may fill: a stray address must not make the program fill the sheet.
constexpr std::uint64_t kMaxCellsPerWrite = 1 << 20;

std::filesystem::path FileSystemPath(const Text& path) {
    return std::filesystem::path(TextToUtf8(path));
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Cell texts are mostly ASCII (addresses, numbers), which reads the same in both encodings.
Text CellTextToText(std::string utf8) {
    return IsAscii(utf8) ? utf8 : Utf8ToText(utf8);
}

std::string TextToCellText(const Text& text) {
    return IsAscii(text) ? text : TextToUtf8(text);
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, error) && !error;
}

} // namespace

WorkbookAutomation::WorkbookAutomation() = default;
WorkbookAutomation::~WorkbookAutomation() = default;

bool WorkbookAutomation::HasWorkbook() const {
    return applicationRunning_ && workbook_ != nullptr;
}

void WorkbookAutomation::CreateApplication() {
    applicationRunning_ = true;
    applicationVisible_ = true;
}

void WorkbookAutomation::HideApplication() {
    if (applicationRunning_) applicationVisible_ = false;
}

void WorkbookAutomation::BindWorkbook() {
    if (!applicationRunning_) return;
    workbook_ = workbook::NewEmptyWorkbook();
    openedFile_.clear();
    sheet_ = 0;
}

void WorkbookAutomation::OpenWorkbook(const Text& path) {
    OpenWorkbook(FileSystemPath(path));
}

void WorkbookAutomation::OpenWorkbook(const std::filesystem::path& path) {
    if (!applicationRunning_) return;
    try {
        auto opened = workbook::OpenWorkbookFile(path);
        if (!opened) return;
        workbook_ = std::move(opened);
        openedFile_ = path;
        sheet_ = 0;
    } catch (const std::exception&) {
        // A file that cannot be read leaves the current workbook in place.
    }
}

void WorkbookAutomation::ActivateWorkbook() {}

void WorkbookAutomation::SelectSheet(int n) {
    if (!HasWorkbook()) return;
    try {
        if (workbook_->LoadSheet(n - 1)) sheet_ = n - 1;
    } catch (const std::exception&) {
    }
}

void WorkbookAutomation::SetStartCell(const Text& address) {
    startCell_ = address;
    start_ = workbook::ParseCellAddress(startCell_);
}

void WorkbookAutomation::SetEndCell(const Text& address) {
    endCell_ = address;
    range_.reset();
    auto last = workbook::ParseCellAddress(endCell_);
    if (start_ && last) range_ = workbook::RangeBetween(*start_, *last);
}

Text WorkbookAutomation::ReadCellText() {
    const auto cell = start_;
    if (!HasWorkbook() || !cell) return {};
    try {
        return CellTextToText(workbook_->ReadCell(sheet_, *cell));
    } catch (const std::exception&) {
        return {};
    }
}

void WorkbookAutomation::WriteCellText(const Text& text) {
    if (!HasWorkbook() || !range_ || range_->CellCount() > kMaxCellsPerWrite) return;
    try {
        const std::string utf8 = TextToCellText(text);
        const std::string_view value = workbook::LimitCellText(utf8);
        for (std::uint32_t row = range_->first.row; row <= range_->last.row; ++row)
            for (std::uint32_t column = range_->first.column; column <= range_->last.column; ++column)
                workbook_->WriteCell(sheet_, {row, column}, value);
    } catch (const std::exception&) {
    }
}

void WorkbookAutomation::SaveWorkbookAs(const Text& path) {
    SaveWorkbookAs(FileSystemPath(path));
}

void WorkbookAutomation::SaveWorkbookAs(const std::filesystem::path& path) {
    if (!HasWorkbook() || path.empty() || SameFile(path, openedFile_)) return;
    try {
        workbook_->SaveAs(path);
    } catch (const std::exception&) {
    }
}

void WorkbookAutomation::CloseWorkbooks() {
    workbook_.reset();
    openedFile_.clear();
    sheet_ = 0;
}

void WorkbookAutomation::ReleaseWorkbook() {
    CloseWorkbooks();
    startCell_.clear();
    start_.reset();
    endCell_.clear();
    range_.reset();
}

void WorkbookAutomation::QuitApplication() {
    CloseWorkbooks();
    applicationRunning_ = false;
}

void WorkbookAutomation::ReleaseApplication() {
    applicationRunning_ = false;
}

} // namespace iploc
