#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {
class Session;
}

// kvopt save --region LEVEL[=ENTRY,...]: the Region dialog, run from the command line.
namespace kvopt {

struct RegionRequest {
    std::int16_t level = 0;
    std::vector<std::string> entries; // as given, in order
};

// Registers --region on the save command.
void add_region_option(CLI::App& save, std::string& value);

// Reads LEVEL[=ENTRY,...]: nullopt and the reason in `error` when it is malformed.
std::optional<RegionRequest> parse_region_option(const std::string& text, std::string& error);

// Replaces the scenario's region as a person would in the Region dialog: choose "50 States"
// (which empties the selection), then the level, add each entry in turn, OK. A repeated
// entry gives the dialog's message and is kept once. False, after "State or county not
// found: " and the entry on standard error, when an entry names no state or county.
bool apply_region_option(kv::Session& session, const RegionRequest& request);

// --set regionlevel=N: the level button N clicked in the Region dialog, then OK. The entries
// go as the dialog's level change drops them (all of them for 50 States, the counties on the
// way from County to State) and the allocation and population lists are rebuilt.
void apply_region_level(kv::Session& session, std::int16_t level);

} // namespace kvopt
