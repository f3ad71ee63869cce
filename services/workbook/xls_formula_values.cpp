#include "services/workbook/xls_formula_values.h"

#include "text/encoding.h"

#include <cstdint>
#include <cstring>
#include <optional>

namespace iploc::workbook {
namespace {

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kString = 0x0207;
constexpr std::uint16_t kBoolErr = 0x0205;
constexpr std::uint16_t kBiff8 = 0x0600;

std::uint16_t U16(std::string_view bytes, std::size_t at) {
    std::uint16_t value;
    std::memcpy(&value, bytes.data() + at, 2);
    return value;
}

std::uint32_t U32(std::string_view bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

struct Record {
    std::uint16_t type = 0;
    std::string_view data;
};

// The record at `pos`; nullopt past the end of the stream or on a record cut short.
std::optional<Record> RecordAt(std::string_view stream, std::size_t pos) {
    if (pos + 4 > stream.size()) return std::nullopt;
    const std::size_t length = U16(stream, pos + 2);
    if (pos + 4 + length > stream.size()) return std::nullopt;
    return Record{U16(stream, pos), stream.substr(pos + 4, length)};
}

// A BIFF8 string of `count` characters at `at`: a flags byte, then 8-bit or 16-bit characters.
std::string UnicodeString(std::string_view data, std::size_t at, std::size_t count) {
    if (at >= data.size()) return {};
    const bool wide = data[at] & 1;
    std::u16string units;
    for (std::size_t i = 0, p = at + 1; i < count && p + (wide ? 2 : 1) <= data.size();
         ++i, p += wide ? 2 : 1)
        units += wide ? char16_t(U16(data, p)) : char16_t(static_cast<unsigned char>(data[p]));
    return U16ToUtf8(units);
}

std::string ErrorText(std::uint8_t code) {
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    default:
        return "#N/A";
    }
}

// The value of a FORMULA record's result; a text result is in the STRING record that follows.
std::optional<GridValue> FormulaResult(std::string_view data, std::string_view stream, std::size_t next) {
    if (data.size() < 14) return std::nullopt;
    const std::string_view result = data.substr(6, 8);
    if (U16(result, 6) != 0xFFFF) {
        double number;
        std::memcpy(&number, result.data(), 8);
        return GridValue{GridValue::Kind::Number, {}, number};
    }
    switch (result[0]) {
    case 0: // text, in the next STRING record
        while (auto record = RecordAt(stream, next)) {
            next += 4 + record->data.size();
            if (record->type == kEof || record->type == kFormula) break;
            if (record->type == kString && record->data.size() >= 3)
                return GridValue{GridValue::Kind::Text, UnicodeString(record->data, 2, U16(record->data, 0)),
                                 0};
        }
        return std::nullopt;
    case 1:
        return GridValue{GridValue::Kind::Boolean, {}, double(result[2] != 0)};
    case 2:
        return GridValue{GridValue::Kind::Error, ErrorText(std::uint8_t(result[2])), 0};
    default:
        return std::nullopt; // an empty text result
    }
}

std::optional<RecordValue> CellValue(const Record& record, std::string_view stream, std::size_t next) {
    if (record.data.size() < 8) return std::nullopt;
    const CellRef cell{std::uint32_t(U16(record.data, 0)) + 1, std::uint32_t(U16(record.data, 2)) + 1};
    if (cell.column > kMaxColumns) return std::nullopt;
    if (record.type == kBoolErr) {
        const std::uint8_t value = std::uint8_t(record.data[6]);
        if (record.data[7] != 0) return RecordValue{cell, {GridValue::Kind::Error, ErrorText(value), 0}};
        return RecordValue{cell, {GridValue::Kind::Boolean, {}, double(value != 0)}};
    }
    auto value = FormulaResult(record.data, stream, next);
    if (!value) return std::nullopt;
    return RecordValue{cell, std::move(*value)};
}

std::vector<RecordValue> SheetValues(std::string_view stream, std::size_t pos) {
    std::vector<RecordValue> values;
    auto bof = RecordAt(stream, pos);
    if (!bof || bof->type != kBof) return values;
    std::size_t next = pos + 4 + bof->data.size();
    while (auto record = RecordAt(stream, next)) {
        next += 4 + record->data.size();
        if (record->type == kEof) break;
        if (record->type != kFormula && record->type != kBoolErr) continue;
        if (auto value = CellValue(*record, stream, next)) values.push_back(std::move(*value));
    }
    return values;
}

} // namespace

std::map<std::string, std::vector<RecordValue>> ReadFormulaAndBooleanValues(std::string_view stream) {
    std::map<std::string, std::vector<RecordValue>> sheets;
    auto bof = RecordAt(stream, 0);
    if (!bof || bof->type != kBof || bof->data.size() < 2 || U16(bof->data, 0) != kBiff8) return sheets;
    std::size_t next = 4 + bof->data.size();
    while (auto record = RecordAt(stream, next)) {
        next += 4 + record->data.size();
        if (record->type == kEof) break;
        if (record->type != kBoundSheet || record->data.size() < 8) continue;
        const std::string name = UnicodeString(record->data, 7, std::uint8_t(record->data[6]));
        sheets[name] = SheetValues(stream, U32(record->data, 0));
    }
    return sheets;
}

} // namespace iploc::workbook
