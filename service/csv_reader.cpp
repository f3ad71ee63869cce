#include "service/csv_reader.h"

#include <string_view>

namespace iploc {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Blank lines (nothing but spaces and tabs) and comment lines.
bool IsSkipped(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos || line.front() == '#';
}

} // namespace

bool CsvReader::Next(CsvRecord& record) {
    if (!error_.empty()) return false;
    std::string line;
    do {
        if (!ReadLine(line)) return false;
    } while (IsSkipped(line));
    return ParseRecord(std::move(line), record);
}

bool CsvReader::ReadLine(std::string& line) {
    if (!std::getline(in_, line)) return false;
    ++lineNumber_;
    if (lineNumber_ == 1 && line.starts_with(kByteOrderMark)) line.erase(0, kByteOrderMark.size());
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Walks the record character by character; a quoted field that runs past the end of
// the line continues on the next one.
bool CsvReader::ParseRecord(std::string line, CsvRecord& record) {
    record.fields.assign(1, std::string());
    record.line = lineNumber_;
    bool quoted = false;     // inside a quoted field
    bool afterQuote = false; // a quoted field has just closed
    for (std::size_t pos = 0;; ++pos) {
        if (pos == line.size()) {
            if (!quoted) return true;
            std::string next;
            if (!ReadLine(next)) return Fail("a quoted field is not closed", record.line);
            line += '\n';
            line += next;
        }
        const char c = line[pos];
        std::string& field = record.fields.back();
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (pos + 1 < line.size() && line[pos + 1] == '"') {
                field += '"';
                ++pos;
            } else {
                quoted = false;
                afterQuote = true;
            }
        } else if (c == ',') {
            record.fields.emplace_back();
            afterQuote = false;
        } else if (afterQuote) {
            return Fail("text after the closing quote of a field", lineNumber_);
        } else if (c == '"') {
            if (!field.empty()) return Fail("a quote inside a field that is not quoted", lineNumber_);
            quoted = true;
        } else {
            field += c;
        }
    }
}

bool CsvReader::Fail(std::string message, std::size_t line) {
    error_ = std::move(message);
    errorLine_ = line;
    return false;
}

} // namespace iploc
