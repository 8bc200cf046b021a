#pragma once

#include "runs/run_history.h"
#include "sets/scenario_diff.h"

#include <optional>
#include <string>
#include <vector>

// The window's side of comparing scenarios and of bringing back a run's options file: File >
// Compare With..., and Run History's Compare with Current and Open as Run.
namespace kv {

class Session;

struct Comparison {
    ScenarioDiff diff;
    std::string nameA;
    std::string nameB;
};

// One line of the comparison window: grouped by packet ("/PERIOD/", or kOtherLinesGroup),
// what differs and its A and B sides (a value side by side; an entry on the side that holds
// it; a line of the other lines' diff on the side it comes from, both for a line of context).
struct ComparisonRow {
    std::string group;
    std::string item;
    std::string a;
    std::string b;
};
inline constexpr std::string_view kOtherLinesGroup = "Lines outside the managed packets";
std::vector<ComparisonRow> comparison_rows(const ScenarioDiff& diff);

// The current scenario as a save would write it now, unsaved changes included. Nullopt, after
// a message, when there is no scenario to compare.
std::optional<ReadScenario> current_for_diff(Session& session);

// File > Compare With...: asks for an options file ("Compare with option file ") and compares
// the current scenario (A) with it as read (B). Nullopt when the choice was cancelled or the
// file was refused (its messages shown).
std::optional<Comparison> compare_with_file(Session& session);

// Run History's Compare with Current: the options file the run kept (A) with the current
// scenario (B). Nullopt, after a message, when the run kept none.
std::optional<Comparison> compare_run_with_current(Session& session, const RunRecord& record);

// Run History's Open as Run: the run's kept options file becomes the current scenario as an
// untitled copy (Save asks for a name, beside the run's own file); neither the kept copy nor
// the run's own file is touched. Asks about unsaved changes first. False when nothing was
// opened (the reason shown).
bool open_run_as_untitled(Session& session, const RunRecord& record);

// The run a Run History row names by its id, read from the history again.
std::optional<RunRecord> history_run(const Session& session, const std::string& id);

} // namespace kv
