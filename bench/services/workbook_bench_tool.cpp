// Timed workbook operations for bench/services/workbook_vs_openpyxl.py, which runs them beside
// openpyxl and libxlsxwriter doing the same work and prints the ratios.
//
//   workbook_bench_tool make FILE ROWS [inline]   write a test workbook: column A addresses, B..F texts
//   workbook_bench_tool read FILE ROWS            read A1..A<ROWS> through WorkbookAutomation
//   workbook_bench_tool write SOURCE OUT ROWS     write ROWS x 6 cells into SOURCE's first sheet, save as OUT
//   workbook_bench_tool xlsxwriter OUT ROWS       libxlsxwriter writing the same cells into a new workbook
//
// Each mode prints the seconds its work took (opening included, process start not).
#include "services/workbook_automation.h"
#include "text/encoding.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <xlsxwriter.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string Address(std::uint32_t row) {
    return std::to_string(10 + row / 65536 % 200) + "." + std::to_string(row / 256 % 256) + "." +
           std::to_string(row % 256) + ".1";
}

// The six texts of an exported record.
std::string Field(std::uint32_t row, int column) {
    static const char* const kTexts[] = {"", "中国", "广东", "深圳", "南山", "电信"};
    return column == 0 ? Address(row) : std::string(kTexts[column]) + std::to_string(row % 97);
}

int Make(const char* path, std::uint32_t rows, bool constantMemory) {
    lxw_workbook_options options{};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* workbook = workbook_new_opt(path, &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Addresses");
    for (std::uint32_t row = 0; row < rows; ++row)
        worksheet_write_string(sheet, row, 0, Address(row).c_str(), nullptr);
    workbook_add_worksheet(workbook, "Other");
    return workbook_close(workbook) == LXW_NO_ERROR ? 0 : 1;
}

int Read(const char* path, std::uint32_t rows) {
    const auto started = Clock::now();
    iploc::WorkbookAutomation automation;
    automation.CreateApplication();
    automation.HideApplication();
    automation.BindWorkbook();
    automation.OpenWorkbook(std::filesystem::path(path));
    automation.ActivateWorkbook();
    automation.SelectSheet(1);
    std::size_t read = 0, bytes = 0;
    for (std::uint32_t row = 1; row <= rows; ++row) {
        const iploc::Text address = "A" + std::to_string(row);
        automation.SetStartCell(address);
        automation.SetEndCell(address);
        const iploc::Text text = automation.ReadCellText();
        if (text.empty()) break;
        ++read;
        bytes += text.size();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("%.6f read=%zu bytes=%zu\n", seconds, read, bytes);
    return read == rows ? 0 : 1;
}

int Write(const char* source, const char* out, std::uint32_t rows) {
    // The texts are made before the clock starts, as the export has them in its store.
    std::vector<iploc::Text> texts;
    for (std::uint32_t row = 1; row <= rows; ++row)
        for (int column = 0; column < 6; ++column)
            texts.push_back(iploc::Utf8ToText(Field(row, column)));
    const auto started = Clock::now();
    iploc::WorkbookAutomation automation;
    automation.CreateApplication();
    automation.HideApplication();
    automation.BindWorkbook();
    automation.OpenWorkbook(std::filesystem::path(source));
    automation.ActivateWorkbook();
    automation.SelectSheet(1);
    for (std::uint32_t row = 1; row <= rows; ++row)
        for (int column = 0; column < 6; ++column) {
            const iploc::Text address = std::string(1, char('A' + column)) + std::to_string(row);
            automation.SetStartCell(address);
            automation.SetEndCell(address);
            automation.WriteCellText(texts[(row - 1) * 6 + std::size_t(column)]);
        }
    automation.SaveWorkbookAs(std::filesystem::path(out));
    automation.CloseWorkbooks();
    std::printf("%.6f\n", std::chrono::duration<double>(Clock::now() - started).count());
    return 0;
}

int XlsxWriter(const char* out, std::uint32_t rows) {
    std::vector<std::string> texts;
    for (std::uint32_t row = 1; row <= rows; ++row)
        for (int column = 0; column < 6; ++column)
            texts.push_back(Field(row, column));
    const auto started = Clock::now();
    lxw_workbook* workbook = workbook_new(out);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    for (std::uint32_t row = 0; row < rows; ++row)
        for (int column = 0; column < 6; ++column)
            worksheet_write_string(sheet, row, lxw_col_t(column),
                                   texts[row * 6 + std::size_t(column)].c_str(), nullptr);
    const bool ok = workbook_close(workbook) == LXW_NO_ERROR;
    std::printf("%.6f\n", std::chrono::duration<double>(Clock::now() - started).count());
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc >= 4) return Make(argv[2], std::uint32_t(std::stoul(argv[3])), argc > 4);
    if (mode == "read" && argc == 4) return Read(argv[2], std::uint32_t(std::stoul(argv[3])));
    if (mode == "write" && argc == 5) return Write(argv[2], argv[3], std::uint32_t(std::stoul(argv[4])));
    if (mode == "xlsxwriter" && argc == 4) return XlsxWriter(argv[2], std::uint32_t(std::stoul(argv[3])));
    std::fprintf(stderr, "usage: see the comment at the top of workbook_bench_tool.cpp\n");
    return 2;
}
