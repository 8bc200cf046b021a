#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {
class Session;
}

// `kvopt save --sources`: what the Sources dialog does to the scenario's list, run on the
// dialog's own logic, so its queries, rules and messages are the same.
namespace kvopt {

struct SourcesAction {
    enum Kind { All, None, Add };
    Kind kind = All;
    std::int16_t segment = 0;
    std::int16_t fuel = 0;
    std::int16_t button = 0; // 0 "Add Segment", 1 "Add Equipment"
};

// Adds the repeatable option to the save command.
void add_sources_option(CLI::App& save, std::vector<std::string>& values);

// The actions of the option's values, in order; nullopt after printing what is wrong with a
// value.
std::optional<std::vector<SourcesAction>>
parse_sources_actions(const std::vector<std::string>& values);

// Opens the dialog's logic on the scenario and runs the actions in order. False when an Add
// stopped on an error (the dialog's message is on standard error).
bool apply_sources_actions(kv::Session& session, const std::vector<SourcesAction>& actions);

} // namespace kvopt
