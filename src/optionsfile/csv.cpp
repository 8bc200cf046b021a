#include "optionsfile/csv.h"

#include <fstream>
#include <sstream>

namespace kv {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A field is quoted when it holds a separator, a quote or a line break, and also where the
// reader would otherwise lose it: a row whose only field is empty would be an empty line,
// which is no record, and a first field that begins with a byte-order mark would lose it
// at the start of the text (a row cannot know whether it starts the text).
bool needs_quotes(const std::vector<std::string>& fields, std::size_t i) {
    const std::string& f = fields[i];
    if (f.find_first_of(",\"\r\n") != std::string::npos)
        return true;
    if (i == 0 && fields.size() == 1 && f.empty())
        return true;
    return i == 0 && f.starts_with(kByteOrderMark);
}

} // namespace

std::vector<CsvRecord> parse_csv(std::string_view text) {
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(3);
    std::vector<CsvRecord> records;
    CsvRecord record;
    std::string field;
    std::size_t line = 1;
    bool inRecord = false;   // something of the current record has been read
    bool quoted = false;     // the current field began with a quote
    bool afterQuote = false; // its closing quote has been read
    const auto endField = [&] {
        record.fields.push_back(std::move(field));
        field.clear();
        quoted = afterQuote = false;
    };
    const auto endRecord = [&] {
        if (inRecord) {
            endField();
            records.push_back(std::move(record));
        }
        record = CsvRecord{};
        inRecord = false;
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (!inRecord)
            record.line = line;
        if (quoted && !afterQuote) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    i += 2;
                    continue;
                }
                afterQuote = true;
            } else {
                if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
                    ++line;
                field += c;
            }
            ++i;
            continue;
        }
        if (c == ',') {
            inRecord = true;
            endField();
        } else if (c == '\r' || c == '\n') {
            endRecord();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            ++line;
        } else if (afterQuote) {
            throw CsvError("text after the closing quote of a field", line);
        } else if (c == '"') {
            if (!field.empty())
                throw CsvError("a quote inside a field that does not begin with one", line);
            quoted = true;
            inRecord = true;
        } else {
            field += c;
            inRecord = true;
        }
        ++i;
    }
    if (quoted && !afterQuote)
        throw CsvError("a quoted field is still open at the end of the file", record.line);
    endRecord();
    return records;
}

CsvTable read_csv_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CsvError("cannot read " + path, 0);
    std::ostringstream text;
    text << in.rdbuf();
    auto records = parse_csv(text.str());
    if (records.empty())
        throw CsvError("no header row in " + path, 1);
    CsvTable table;
    table.data.columns = std::move(records.front().fields);
    const std::size_t width = table.data.columns.size();
    for (std::size_t r = 1; r < records.size(); ++r) {
        if (records[r].fields.size() != width)
            throw CsvError(std::to_string(records[r].fields.size()) +
                               " fields where the header has " + std::to_string(width),
                           records[r].line);
        table.data.rows.push_back(std::move(records[r].fields));
        table.lines.push_back(records[r].line);
    }
    return table;
}

void write_csv_row(std::ostream& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out << ',';
        const std::string& f = fields[i];
        if (!needs_quotes(fields, i)) {
            out << f;
            continue;
        }
        out << '"';
        for (const char c : f) {
            if (c == '"')
                out << '"';
            out << c;
        }
        out << '"';
    }
    out << "\r\n";
}

void write_csv(std::ostream& out, const RecordSet& table) {
    write_csv_row(out, table.columns);
    for (const auto& row : table.rows)
        write_csv_row(out, row);
}

} // namespace kv
