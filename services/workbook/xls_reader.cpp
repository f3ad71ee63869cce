#include "services/workbook/xls_reader.h"

#include "services/workbook/child_process.h"
#include "services/workbook/compound_file.h"
#include "services/workbook/xls_formula_values.h"

#include <cstring>
#include <freexl.h>
#include <fstream>
#include <iterator>
#include <memory>

namespace iploc::workbook {
namespace {

// FreeXL reads a damaged file past its buffers (seen with sanitizers on randomly damaged
// copies), so it runs in a child process with these limits.
constexpr std::chrono::seconds kReadTimeLimit{60};
constexpr std::size_t kMaxValueBytes = std::size_t(1) << 30;
constexpr std::uintmax_t kMaxFileSize = std::uintmax_t(512) << 20;

struct XlsCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using XlsPtr = std::unique_ptr<const void, XlsCloser>;

std::optional<GridValue> ValueOf(const FreeXL_CellValue& cell) {
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return GridValue{GridValue::Kind::Number, {}, double(cell.value.int_value)};
    case FREEXL_CELL_DOUBLE:
        return GridValue{GridValue::Kind::Number, {}, cell.value.double_value};
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        if (cell.value.text_value == nullptr) return std::nullopt;
        return GridValue{GridValue::Kind::Text, cell.value.text_value, 0};
    default:
        return std::nullopt;
    }
}

bool ReadSheet(const void* handle, unsigned index, ValueSheet& sheet) {
    const char* name = nullptr;
    if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(index), &name) != FREEXL_OK ||
        freexl_select_active_worksheet(handle, static_cast<unsigned short>(index)) != FREEXL_OK)
        return false;
    sheet.name = name ? name : "";
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) return false;
    for (unsigned int row = 0; row < rows && row < kMaxRows; ++row) {
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(handle, row, column, &cell) != FREEXL_OK) return false;
            if (auto value = ValueOf(cell)) sheet.cells.Set({row + 1, column + 1u}, std::move(*value));
        }
    }
    return true;
}

std::optional<std::vector<ValueSheet>> ReadWithFreeXl(const std::filesystem::path& path) {
    const void* raw = nullptr;
    if (freexl_open(path.c_str(), &raw) != FREEXL_OK || raw == nullptr) return std::nullopt;
    XlsPtr handle(raw);
    unsigned int count = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0) return std::nullopt;
    std::vector<ValueSheet> sheets(count);
    for (unsigned i = 0; i < count; ++i)
        if (!ReadSheet(raw, i, sheets[i])) return std::nullopt;
    return sheets;
}

// The sheets as bytes for the trip from the child process: per sheet its name, then per cell
// a 1, row, column, kind, number and text; a 0 ends the sheet's cells.
template <typename T>
void Put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, const std::string& text) {
    Put(out, std::uint32_t(text.size()));
    out += text;
}

std::string Serialize(const std::vector<ValueSheet>& sheets) {
    std::string out;
    for (const ValueSheet& sheet : sheets) {
        PutText(out, sheet.name);
        for (std::uint32_t row = 1; row < sheet.cells.RowLimit(); ++row)
            for (const GridCell& cell : sheet.cells.Row(row)) {
                Put(out, std::uint8_t(1));
                Put(out, row);
                Put(out, cell.column);
                Put(out, std::uint8_t(cell.value.kind));
                Put(out, cell.value.number);
                PutText(out, cell.value.text);
            }
        Put(out, std::uint8_t(0));
    }
    return out;
}

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool AtEnd() const { return pos_ == bytes_.size(); }
    template <typename T>
    bool Get(T& value) {
        if (bytes_.size() - pos_ < sizeof value) return false;
        std::memcpy(&value, bytes_.data() + pos_, sizeof value);
        pos_ += sizeof value;
        return true;
    }
    bool GetText(std::string& text) {
        std::uint32_t size = 0;
        if (!Get(size) || bytes_.size() - pos_ < size) return false;
        text.assign(bytes_.substr(pos_, size));
        pos_ += size;
        return true;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

bool GetCell(Reader& reader, ValueSheet& sheet) {
    CellRef cell;
    std::uint8_t kind = 0;
    GridValue value;
    if (!reader.Get(cell.row) || !reader.Get(cell.column) || !reader.Get(kind) || !reader.Get(value.number) ||
        !reader.GetText(value.text))
        return false;
    if (cell.row == 0 || cell.row > kMaxRows || cell.column == 0 || cell.column > kMaxColumns || kind > 3)
        return false;
    value.kind = GridValue::Kind(kind);
    sheet.cells.Set(cell, std::move(value));
    return true;
}

std::optional<std::vector<ValueSheet>> Deserialize(std::string_view bytes) {
    Reader reader(bytes);
    std::vector<ValueSheet> sheets;
    while (!reader.AtEnd()) {
        ValueSheet& sheet = sheets.emplace_back();
        if (!reader.GetText(sheet.name)) return std::nullopt;
        for (std::uint8_t more = 0; reader.Get(more) && more == 1;)
            if (!GetCell(reader, sheet)) return std::nullopt;
    }
    if (sheets.empty()) return std::nullopt;
    return sheets;
}

// Adds what FreeXL does not read: formula results, booleans and error codes.
void AddFormulaAndBooleanValues(const std::filesystem::path& path, std::vector<ValueSheet>& sheets) {
    std::error_code error;
    if (std::filesystem::file_size(path, error) > kMaxFileSize || error) return;
    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto stream = ReadCompoundStream(file, "Workbook");
    if (!stream) return;
    auto values = ReadFormulaAndBooleanValues(*stream);
    for (ValueSheet& sheet : sheets) {
        auto found = values.find(sheet.name);
        if (found == values.end()) continue;
        for (RecordValue& record : found->second)
            sheet.cells.Set(record.cell, std::move(record.value));
    }
}

} // namespace

std::optional<std::vector<ValueSheet>> ReadXlsSheets(const std::filesystem::path& path) {
    auto bytes = RunInChildProcess(
        [&]() -> std::optional<std::string> {
            auto sheets = ReadWithFreeXl(path);
            if (!sheets) return std::nullopt;
            return Serialize(*sheets);
        },
        kReadTimeLimit, kMaxValueBytes);
    if (!bytes) return std::nullopt;
    auto sheets = Deserialize(*bytes);
    if (sheets) AddFormulaAndBooleanValues(path, *sheets);
    return sheets;
}

} // namespace iploc::workbook
