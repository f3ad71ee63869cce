#include "tests/app/workbook_files.h"

#include "tests/app/child_process.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace iploc::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

constexpr const char* kWriteScript = R"(
import json, sys, openpyxl
layout = json.load(open(sys.argv[1], encoding='utf-8'))
book = openpyxl.Workbook()
sheet = book.active
for row, value in enumerate(layout['column'], start=1):
    if value is not None:
        sheet.cell(row=row, column=1).value = value
for address, value in layout['extra']:
    sheet[address] = value
book.save(sys.argv[2])
)";

constexpr const char* kReadScript = R"(
import json, sys, openpyxl
sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
if len(sys.argv) > 2:
    value = sheet[sys.argv[2]].value
    print(json.dumps('' if value is None else str(value)))
else:
    rows = []
    for row in sheet.iter_rows(min_row=1, max_row=sheet.max_row, max_col=6):
        rows.append(['' if c.value is None else str(c.value) for c in row])
    print(json.dumps(rows))
)";

// Runs one of the scripts above; the JSON it prints, if any.
nlohmann::json RunPython(const char* script, const std::vector<std::string>& args) {
    std::vector<std::string> argv{kPython, "-c", script};
    argv.insert(argv.end(), args.begin(), args.end());
    const RunResult result = RunProgram(argv, {});
    if (result.status != 0) throw std::runtime_error("python3 failed: " + result.err);
    return result.out.empty() ? nlohmann::json() : nlohmann::json::parse(result.out);
}

} // namespace

void WriteColumnA(const std::filesystem::path& path, const std::vector<std::optional<std::string>>& column,
                  const std::vector<std::pair<std::string, std::string>>& extra) {
    nlohmann::json layout;
    layout["column"] = nlohmann::json::array();
    for (const auto& value : column)
        layout["column"].push_back(value ? nlohmann::json(*value) : nlohmann::json());
    layout["extra"] = extra;
    const std::filesystem::path layoutFile = path.string() + ".json";
    std::ofstream(layoutFile) << layout.dump();
    RunPython(kWriteScript, {layoutFile.string(), path.string()});
    std::filesystem::remove(layoutFile);
}

std::vector<std::vector<std::string>> ReadRows(const std::filesystem::path& path) {
    return RunPython(kReadScript, {path.string()}).get<std::vector<std::vector<std::string>>>();
}

std::string ReadCell(const std::filesystem::path& path, const std::string& cell) {
    return RunPython(kReadScript, {path.string(), cell}).get<std::string>();
}

} // namespace iploc::test
