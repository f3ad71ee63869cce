// Opening a workbook file of either kind.
#include "services/workbook/value_workbook.h"
#include "services/workbook/xls_reader.h"
#include "services/workbook/xlsx_workbook.h"

#include <fstream>
#include <iterator>

namespace iploc::workbook {
namespace {

// Largest workbook file we read into memory.
constexpr std::uintmax_t kMaxFileSize = std::uintmax_t(512) << 20;

constexpr std::string_view kZipMagic = "PK\x03\x04";
constexpr std::string_view kCompoundFileMagic = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileSize || !std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes(std::size_t(size), '\0');
    if (!in.read(bytes.data(), std::streamsize(size))) return std::nullopt;
    return bytes;
}

std::string FirstBytes(const std::filesystem::path& path, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(count, '\0');
    in.read(bytes.data(), std::streamsize(count));
    bytes.resize(in ? count : std::size_t(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

} // namespace

std::unique_ptr<Workbook> OpenWorkbookFile(const std::filesystem::path& path) {
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) return nullptr;
    const std::string head = FirstBytes(path, kCompoundFileMagic.size());
    std::unique_ptr<Workbook> workbook;
    if (head.substr(0, kZipMagic.size()) == kZipMagic) {
        if (auto bytes = ReadWholeFile(path)) workbook = XlsxWorkbook::Open(std::move(*bytes));
    } else if (head == kCompoundFileMagic) {
        if (auto sheets = ReadXlsSheets(path)) workbook = std::make_unique<ValueWorkbook>(std::move(*sheets));
    }
    return workbook;
}

} // namespace iploc::workbook
