// Read, save, read again. A file the reader accepts is saved twice: once with nothing edited
// and once with every packet edited. Each time:
// - every template line the writer does not own reaches the new file, in order;
// - the saved file opens again, and the scenario read from it equals the scenario that was
//   saved, in everything the file carries;
// - saving the saved file again gives the same file.
#include "fuzz_support.h"
#include "optionsfile/format.h"
#include "optionsfile/line_source.h"
#include "optionsfile/packet_bounds.h"
#include "optionsfile/writer.h"
#include "shell/text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

using namespace kv;
using format::Packet;

std::vector<std::string> lines_of(std::string_view text) {
    LineSource lines{std::string(text)};
    std::vector<std::string> out;
    std::string line;
    while (lines.next(line))
        out.push_back(line);
    return out;
}

// The template's lines that a save copies.
std::vector<std::string> copied_lines(std::string_view templ, const Scenario& sc) {
    LineSource lines{std::string(templ)};
    std::vector<std::string> kept;
    std::string line;
    while (lines.next(line)) {
        const auto start = packet_started_by(line);
        if (!start) {
            if (!is_old_header_line(line))
                kept.push_back(line);
            continue;
        }
        const bool owned = start->managed && regenerated_on_save(sc, *start->managed);
        PacketBody body(lines, start->managed);
        if (!owned)
            kept.push_back(line);
        std::string bodyLine;
        while (body.next(bodyLine)) {
            if (!owned)
                kept.push_back(bodyLine);
        }
        if (!owned && body.end() == PacketBody::End::Terminator)
            kept.push_back(body.terminator());
    }
    return kept;
}

bool is_subsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    std::size_t j = 0;
    for (const std::string& line : part) {
        while (j < whole.size() && whole[j] != line)
            ++j;
        if (j == whole.size())
            return false;
        ++j;
    }
    return true;
}

// The lines of two texts that differ, side by side.
std::string differences(const std::string& a, const std::string& b) {
    const auto linesA = lines_of(a);
    const auto linesB = lines_of(b);
    std::string out;
    for (std::size_t i = 0; i < std::max(linesA.size(), linesB.size()); ++i) {
        const std::string x = i < linesA.size() ? linesA[i] : "(none)";
        const std::string y = i < linesB.size() ? linesB[i] : "(none)";
        if (x != y)
            out += "  saved:     " + x + "\n  read back: " + y + "\n";
    }
    return out;
}

void edit_everything(Scenario& sc) {
    sc.changed_options = sc.changed_period = sc.changed_region = sc.changed_pop = true;
    sc.changed_alloc = sc.changed_growth = sc.changed_emfac = true;
}

void save_and_read_back(std::string_view templ, bool edited) {
    kv::fuzz::FuzzSession first;
    if (first.read(templ) != ReadOutcome::Loaded || !first.ui.dialogs.empty())
        return;
    if (edited)
        edit_everything(first.scenario());
    const std::string saved = first.write(templ);
    const std::string what = std::string(edited ? "every packet edited" : "nothing edited") +
                             "\n--- template ---\n" + std::string(templ) + "\n--- saved ---\n" +
                             saved;
    KV_FUZZ_CHECK(is_subsequence(copied_lines(templ, first.scenario()), lines_of(saved)),
                  "a template line the writer does not own is missing; " + what);

    kv::fuzz::FuzzSession second;
    KV_FUZZ_CHECK(second.read(saved) == ReadOutcome::Loaded && second.ui.dialogs.empty(),
                  "the saved file does not open; " + what);
    if (edited)
        edit_everything(second.scenario());
    const std::string expected = kv::fuzz::carried(first.scenario());
    const std::string readBack = kv::fuzz::carried(second.scenario());
    KV_FUZZ_CHECK(readBack == expected,
                  "read back differently:\n" + differences(expected, readBack) + what);
    // An empty MESSAGE or OUTPUT DATA value is read as the options file's directory, so the
    // second save names that directory where the first left the value empty.
    const Scenario& sc = first.scenario();
    if (sc.runfiles[kMessage].empty() || sc.runfiles[kOutputData].empty())
        return;
    std::vector<std::string> notes;
    const std::string again = second.write(saved, &notes);
    KV_FUZZ_CHECK(again == saved, "a second save differs:\n" + again + "\n" + what);
    KV_FUZZ_CHECK(notes.empty(), "a second save still has notes; " + what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    save_and_read_back(text, false);
    save_and_read_back(text, true);
    return 0;
}
