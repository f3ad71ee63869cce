// A reader for comma-separated records with RFC 4180 quoting.
//
// A field may be enclosed in double quotes; inside, a doubled quote stands for one
// quote and commas and line breaks are part of the field. Lines that begin with '#'
// and blank lines (only spaces and tabs) between records are skipped. A UTF-8 byte order mark at the start
// is dropped, and line ends may be LF or CRLF.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

namespace iploc {

struct CsvRecord {
    std::vector<std::string> fields;
    std::size_t line = 0; // 1-based line on which the record starts
};

class CsvReader {
public:
    explicit CsvReader(std::istream& in) : in_(in) {}

    // Reads the next record into `record`. Returns false at the end of the input and
    // on a malformed record; error() then says what is wrong and errorLine() where.
    bool Next(CsvRecord& record);

    const std::string& error() const { return error_; }
    std::size_t errorLine() const { return errorLine_; }

private:
    bool ReadLine(std::string& line);
    bool ParseRecord(std::string line, CsvRecord& record);
    bool Fail(std::string message, std::size_t line);

    std::istream& in_;
    std::size_t lineNumber_ = 0;
    std::string error_;
    std::size_t errorLine_ = 0;
};

} // namespace iploc
