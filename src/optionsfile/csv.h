#pragma once

#include "optionsfile/reference_db.h"

#include <cstddef>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// CSV as RFC 4180 has it: fields separated by commas, a field in double quotes may hold
// commas, line breaks and doubled quotes. The reader accepts CRLF, LF or CR line ends and a
// UTF-8 byte-order mark; a line with nothing on it is no record. The writer ends lines with
// CRLF (as the RFC and the demo's CSV files do) and quotes a field only when it holds a
// comma, a quote, CR or LF, or when the reader would lose it unquoted: the empty only field
// of a row, a first field that begins with a byte-order mark.

class CsvError : public std::runtime_error {
public:
    CsvError(const std::string& text, std::size_t line)
        : std::runtime_error("line " + std::to_string(line) + ": " + text), line_(line) {}
    std::size_t line() const { return line_; }

private:
    std::size_t line_;
};

struct CsvRecord {
    std::size_t line = 0; // where the record starts, from 1
    std::vector<std::string> fields;
};

// Throws CsvError for a quote inside an unquoted field, text after a closing quote, or a
// quoted field still open at the end.
std::vector<CsvRecord> parse_csv(std::string_view text);

// A CSV file as a table: the first record names the columns.
struct CsvTable {
    RecordSet data;
    std::vector<std::size_t> lines; // the line each row starts on
};

// Every row must have as many fields as the header (CsvError otherwise). Throws CsvError
// (line 0) for an unreadable file.
CsvTable read_csv_file(const std::string& path);

void write_csv_row(std::ostream& out, const std::vector<std::string>& fields);
// The header row and then every row.
void write_csv(std::ostream& out, const RecordSet& table);

} // namespace kv
