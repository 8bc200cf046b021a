#pragma once

#include "shell/ports.h"

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
    LaunchResult launch; // how the model ended, when it was started
};

// The two lines of kelvaro.bat, each ended by CR LF: "CD " and the model directory, then the
// model executable, a blank and the full path of the current options file.
std::string batch_file_text(const Session& session);

// The batch file's second line: what is started, in the order it is started.
std::string model_command(const Session& session);

// The start of the model as the batch file describes it: from the model directory, the
// executable with the options file's full path as its one argument, no shell.
LaunchRequest model_launch_request(const Session& session);

// Model > Run: saves the scenario over the current options file, writes kelvaro.bat into the
// model directory, runs the model and waits for it, then refreshes the status.
RunReport run_model(Session& session);

} // namespace kv
