// Helpers shared by the workbook tests: fixture paths, a scratch directory, and the
// independent reader (openpyxl through Debian's Python) that checks what we save.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>

namespace iploc::testing {

inline std::filesystem::path WorkbookFixture(const std::string& name) {
    return std::filesystem::path(IPLOC_TEST_DATA_DIR) / "workbook" / name;
}

// A directory of its own for one test, removed with everything in it at the end.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() / ("iploc-workbook-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline std::string RunCommand(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    if (!pipe) return output;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        output.append(buffer, got);
    return output;
}

// What openpyxl reads from `path`: {"sheets": [...], "cells": {"Sheet!A1": {"value", "bold", "fill"}}};
// null when openpyxl could not read the file.
inline nlohmann::json ReadBackWithOpenpyxl(const std::filesystem::path& path) {
    const std::string output = RunCommand("/usr/bin/python3 '" + WorkbookFixture("read_back.py").string() +
                                          "' '" + path.string() + "' 2>/dev/null");
    return nlohmann::json::parse(output, nullptr, false).is_discarded() ? nlohmann::json()
                                                                        : nlohmann::json::parse(output);
}

// The value openpyxl found in a cell; null when the cell is absent.
inline nlohmann::json CellValue(const nlohmann::json& book, const std::string& cell) {
    if (!book.contains("cells") || !book["cells"].contains(cell)) return nullptr;
    return book["cells"][cell]["value"];
}

} // namespace iploc::testing
