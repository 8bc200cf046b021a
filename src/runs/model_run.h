#pragma once

#include "runs/run_history.h"
#include "shell/ports.h"

#include <functional>
#include <optional>
#include <string>

namespace kv {

class Session;

inline constexpr std::string_view kBatchFileName = "kelvaro.bat";

// How a run of the core model ended.
enum class RunOutcome {
    Finished,   // the model was started and has ended; the status was refreshed
    SaveFailed, // the options file could not be saved first; nothing was started
    Failed,     // the batch file or the start failed; reported and logged
    Refused,    // a run is under way already
};

struct RunReport {
    RunOutcome outcome = RunOutcome::Failed;
    LaunchResult launch;      // how the model ended, when it was started
    std::string historyError; // why the run could not be recorded in the history; empty: it was
    std::optional<RunRecord> record; // the run's line in the history, once it was made
};

// A run that belongs to a batch (a task of a cluster's job array) writes no kelvaro.bat, which
// the runs of the batch would overwrite in turn, and carries the batch's id in its history line.
struct RunOptions {
    std::optional<std::string> batch;
    // Told right before the model starts: what the run is, where its output goes (the Run
    // window follows it from there).
    std::function<void(const RunFacts&)> started;
};

// The log line of a run ended by Model > Stop Run (or by kvopt on SIGINT or SIGTERM).
inline constexpr std::string_view kRunStoppedLine = "Run stopped by user";

// The two lines of kelvaro.bat, each ended by CR LF: "CD " and the model directory, then the
// model executable, a blank and the full path of the current options file.
std::string batch_file_text(const Session& session);

// The batch file's second line: what is started, in the order it is started.
std::string model_command(const Session& session);

// The start of the model as the batch file describes it: from the model directory, the
// executable with the options file's full path as its one argument, no shell.
LaunchRequest model_launch_request(const Session& session);

// Model > Run: saves the scenario over the current options file, writes kelvaro.bat into the
// model directory, runs the model and waits for it, then refreshes the status. Every run that
// was tried (not one refused because another is under way) is added to the run history.
RunReport run_model(Session& session, const RunOptions& options = {});

// Model > Stop Run: ends the model run under way with its whole process group (SIGTERM,
// SIGKILL 5 s later); run_model then logs "Run stopped by user" and refreshes the status as
// after any run. Answers false when no run is under way.
bool stop_model_run(Session& session);

// Asked when the main window is closed during a run, titled with the application's title.
inline constexpr std::string_view kStopRunQuestion =
    "The core model is still running. Stop the run and exit?";

// Closing the main window: during a run, asks kStopRunQuestion. True when the window may end
// (no run, or Yes: the caller stops the run and ends once it has), false for No.
bool may_end_during_run(Session& session);

} // namespace kv
