#pragma once

#include "optionsfile/scenario.h"
#include "runs/batch.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What differs between two options files as the program reads them: the values by the names
// kvopt save --set takes, the entries of the list packets, and the lines outside the managed
// packets.
namespace kv {

struct ValueChange {
    std::string name; // as --set takes it: "yearstr", "runfiles.6"
    std::string a;
    std::string b;
};

// One packet's differences: its values (A's and B's) or, for a list packet, its entries
// found in one file only (in the order of that file).
struct PacketDiff {
    std::string packet; // "/PERIOD/"
    std::vector<ValueChange> values;
    std::vector<std::string> removed; // in A, not in B
    std::vector<std::string> added;   // in B, not in A
};

struct ScenarioDiff {
    std::vector<PacketDiff> packets; // in the order the writer writes them; changed ones only
    // The lines outside the managed packets (the interface's header line aside) as a unified
    // diff of those lines alone; empty when they are the same.
    std::string otherLines;
    bool same() const { return packets.empty() && otherLines.empty(); }
};

// A file as read for a comparison: the scenario and the text it was read from.
struct ReadScenario {
    Scenario scenario;
    std::string text;
};

// Reads `path` on a session of its own, as kvopt check does, without writing or asking
// anything; the current directory is kept. Nullopt, with the reason in `errors` (its first
// line, then the reader's messages), when it cannot be read or is refused.
std::optional<ReadScenario> read_scenario_for_diff(const BatchContext& context,
                                                   const std::string& path,
                                                   std::vector<std::string>& errors);
// The same for a text held in memory (a kept copy of a run); `path` names it in messages.
std::optional<ReadScenario> read_scenario_text_for_diff(const BatchContext& context,
                                                        std::string text, const std::string& path,
                                                        std::vector<std::string>& errors);

ScenarioDiff diff_scenarios(const ReadScenario& a, const ReadScenario& b);

// The difference for a person: "--- A" and "+++ B", then each packet with "  NAME: A -> B",
// "  - entry" and "  + entry" lines, then the other lines' unified diff. Empty when the same.
std::string diff_text(const ScenarioDiff& diff, std::string_view nameA, std::string_view nameB);
// The same as a JSON object: {"a", "b", "same", "packets": [{"packet", "values": [{"name",
// "a", "b"}], "removed", "added"}], "other_lines"}.
std::string diff_json(const ScenarioDiff& diff, std::string_view nameA, std::string_view nameB);

} // namespace kv
