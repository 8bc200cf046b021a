#pragma once

#include "runs/run_history.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The options file of every run, kept as it was run: once per content, named by its SHA-256,
// in "runs/options" of the state directory, and named in the run's history line. A file
// changed or gone since a run can so be shown, compared and written out again.
namespace kv {

inline constexpr std::string_view kKeptOptionsFolder = "runs/options";
// Under the state folder: the copies of kept options files opened as runs, one folder a run.
inline constexpr std::string_view kOpenedRunsFolder = "runs/opened";

// Takes the fingerprint of the run's options file and keeps its content, read once for both:
// sets `facts.options` and `facts.optionsKept`. An unreadable file leaves both empty; a copy
// that cannot be written (a read-only state directory) leaves the run without one, which
// does not stop the run.
void take_options_as_run(RunFacts& facts, const std::filesystem::path& stateDir);

// Where a run's kept copy lies; empty when the run has none (earlier versions kept none).
std::filesystem::path kept_options_path(const std::filesystem::path& stateDir,
                                        const RunRecord& record);

// The run a RUN argument names: a run's id, or "-N" for the N-th newest run (-1 the newest).
// Nullopt, with the reason in `error`, when it names none.
std::optional<RunRecord> find_run(const std::filesystem::path& historyFile, std::string_view run,
                                  std::string& error);

// The content of a run's kept copy, checked against its name; nullopt, with the reason in
// `error`, when the run has none or it is gone or damaged.
std::optional<std::string> read_kept_options(const std::filesystem::path& stateDir,
                                             const RunRecord& record, std::string& error);

struct PruneResult {
    std::size_t recordsRemoved = 0;
    std::size_t filesRemoved = 0;
    std::string error; // empty on success
};

// Removes the records of the runs started before `cutoff` from the history (damaged lines are
// kept as they are) and then every kept copy no remaining record names, unless it was kept
// or last used since the cutoff (its run may still be going on), and the copies opened as
// runs that were last written before the cutoff. The history is
// written anew beside itself and renamed into place, so it is never left half written; a
// run recorded meanwhile is not lost (the history is read again when it grew).
PruneResult prune_run_history(const std::filesystem::path& stateDir,
                              std::chrono::system_clock::time_point cutoff);

} // namespace kv
