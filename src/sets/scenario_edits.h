#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class Session;

// Changes of a scenario as a person makes them in the dialogs, for a command line (kvopt
// save's --set and --region) and for every file of a scenario set: values by their own names
// ("yearstr=2030"), then a region. Each goes through the dialog that edits it, with the
// checks of that dialog's OK.

// A region as the Region dialog makes it: a level, then the entries added in turn.
struct RegionRequest {
    std::int16_t level = 0;
    std::vector<std::string> entries; // as given, in order
};

// Reads LEVEL[=ENTRY,...]: LEVEL is 50states, state, county or ustotal; an ENTRY a state's
// abbreviation or two-digit code or, at the county level, a five-digit county code.
// Nullopt and the reason in `error` when it is malformed.
std::optional<RegionRequest> parse_region_request(const std::string& text, std::string& error);

// The request as parse_region_request reads it: "state=CA,NV".
std::string region_request_text(const RegionRequest& request);

struct ScenarioEdits {
    std::vector<std::string> sets; // NAME=VALUE, in order
    std::optional<RegionRequest> region;
};

// What is wrong with an assignment before anything is read: "--set takes NAME=VALUE", or why
// set_scenario_value refuses it. Empty when it may be set.
std::string assignment_error(const std::string& assignment);

// The Options dialog stores the altitude as one of its two buttons: every altitudestr value
// of `assignments` is taken as LOW or HIGH, trimmed and in any case. Answers the reason,
// leaving `assignments` as they were, when one names neither; empty on success.
std::string take_altitude_as_the_dialog_does(std::vector<std::string>& assignments);

// Applies the edits to the session's scenario, read already, as the dialogs would: each value
// set (a region level clicked in the Region dialog, whose level change keeps the entries and
// the file lists in step with it), then the single-file dialogs whose run files were set left
// with OK, then the OK checks of the Options and Period dialogs, then the region chosen and
// committed. With `check` false the values are stored without the dialogs' checks. The
// dialogs' messages go to the session's interface. False at the first refusal.
bool apply_scenario_edits(Session& session, const ScenarioEdits& edits, bool check);

// Replaces the scenario's region as a person would in the Region dialog: choose "50 States"
// (which empties the selection), then the level, add each entry in turn, OK. A repeated
// entry gives the dialog's message and is kept once. False, after "State or county not
// found: " and the entry, when an entry names no state or county.
bool apply_region_request(Session& session, const RegionRequest& request);

// A level button clicked in the Region dialog, then OK. The entries go as the dialog's level
// change drops them (all of them for 50 States, the counties on the way from County to State)
// and the allocation and population lists are rebuilt.
void apply_region_level(Session& session, std::int16_t level);

// Runs the OK checks of the Options and Period dialogs on the session's scenario, each dialog
// only when one of its values was set (`assignments` are NAME=VALUE): the Options dialog's
// fields and temperature cross-checks first, then the Period dialog's years, whatever the
// order of the names. Each dialog stops at its own first refusal, as its OK does; the
// messages go to the session's interface. The scenario is left as it was. True when every
// dialog checked accepted its values.
bool dialog_checks_pass(Session& session, const std::vector<std::string>& assignments);

// After the values are in the scenario: every single-file dialog whose OK checks its names and
// one of whose run files was set is opened on the scenario and left with OK, as a person would
// leave it, in the order of the Advanced options menu. Its OK checks all its rows in its own
// order (a relative name is taken from the program's folder) and stores them, an empty
// Activity name as the default. `check` false stores the rows without the check. Answers
// false after the dialog's message when a check fails.
bool run_file_dialogs_accept(Session& session, const std::vector<std::string>& assignments,
                             bool check);

} // namespace kv
