// The CSV reader and writer round trip: records read from arbitrary text are written and
// read back unchanged, and arbitrary fields written are read back unchanged.
#include "fuzz_support.h"
#include "optionsfile/csv.h"

#include <cstddef>
#include <cstdint>
#include <sstream>

namespace {

using Fields = std::vector<std::vector<std::string>>;

Fields fields_of(const std::vector<kv::CsvRecord>& records) {
    Fields out;
    for (const auto& record : records)
        out.push_back(record.fields);
    return out;
}

std::string written(const Fields& records) {
    std::ostringstream out;
    for (const auto& fields : records)
        kv::write_csv_row(out, fields);
    return out.str();
}

void expect_round_trip(const Fields& records, const std::string& origin) {
    const std::string text = written(records);
    Fields back;
    try {
        back = fields_of(kv::parse_csv(text));
    } catch (const kv::CsvError& e) {
        KV_FUZZ_CHECK(false, std::string("what the writer wrote does not read: ") + e.what() +
                                 "\n" + text + "\n" + origin);
    }
    KV_FUZZ_CHECK(back == records, "read back differently:\n" + text + "\n" + origin);
}

} // namespace

// The first byte chooses: even, the rest is CSV text; odd, the rest is fields (separated by
// byte 0x1F) of records (separated by byte 0x1E).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((data[0] & 1) == 0) {
        try {
            expect_round_trip(fields_of(kv::parse_csv(rest)), "from text: " + std::string(rest));
        } catch (const kv::CsvError&) {
        }
        return 0;
    }
    Fields records(1);
    std::string field;
    for (char c : rest) {
        if (c == '\x1F' || c == '\x1E') {
            records.back().push_back(field);
            field.clear();
            if (c == '\x1E')
                records.emplace_back();
        } else {
            field += c;
        }
    }
    records.back().push_back(field);
    expect_round_trip(records, "from fields");
    return 0;
}
