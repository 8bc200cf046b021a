// The run history on arbitrary bytes: a line is read without a memory fault, any four names
// come back byte for byte from the line written for them, and a name printed in a listing
// holds no control character and nothing but UTF-8.
#include "fuzz_support.h"
#include "optionsfile/access_pattern.h"
#include "runs/run_history.h"
#include "shell/text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// The name that starts at `from`, up to the next NUL byte (names never hold one).
std::string next_name(std::string_view text, std::size_t& from) {
    if (from >= text.size())
        return {};
    const std::size_t end = std::min(text.find('\0', from), text.size());
    std::string name(text.substr(from, end - from));
    from = end + 1;
    return name;
}

bool printable(std::string_view shown) {
    for (const char c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return false;
    }
    // Every byte decodes as part of a character.
    for (const char32_t c : kv::decode_utf8_strict(shown)) {
        if (c >= 0x110000)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto read = kv::parse_history_line(text)) {
        kv::HistoryRow row; // no file is looked at
        row.optionsFile = read->optionsFile;
        KV_FUZZ_CHECK(printable(kv::history_row_text(row)), "a listed name holds a control");
    }

    kv::RunRecord record;
    record.start = "2026-03-01T10:00:00+01:00";
    record.outcome = kv::HistoryOutcome::Ok;
    std::size_t from = 0;
    record.optionsFile = "/" + next_name(text, from);
    record.model = next_name(text, from);
    record.messageFile.path = next_name(text, from);
    record.outputFile.path = next_name(text, from);
    const auto back = kv::parse_history_line(kv::history_line(record));
    KV_FUZZ_CHECK(back && back->optionsFile == record.optionsFile && back->model == record.model &&
                      back->messageFile.path == record.messageFile.path &&
                      back->outputFile.path == record.outputFile.path,
                  "a name did not come back as it was recorded");
    KV_FUZZ_CHECK(printable(kv::escape_control_characters(text)), "a control character shown");
    return 0;
}
