#pragma once

#include "runs/batch.h"
#include "runs/run_history.h"

#include <string>
#include <vector>

namespace kv {

// Word on the desktop that a long run or batch has ended, for a user who looks elsewhere
// while it runs: a run of minutes or hours is left alone, a short one is watched.
struct EndNotice {
    double seconds = 0; // how long the run or batch took
    std::string text;   // "Run finished: demo.opt, ok, 12:41", "Batch finished: 40 ok, 2 failed"
};

// Only what took longer than this is worth a word.
inline constexpr double kEndNoticeAfterSeconds = 30;

// The run's options file by name, its outcome and the local time it ended (hours:minutes).
EndNotice run_end_notice(const RunRecord& record);

// The batch's outcomes as its window's last line counts them, without the number finished.
EndNotice batch_end_notice(const std::vector<BatchRun>& runs, double seconds);

// True when the notice is due: the work took long enough and no window of the program is
// active (the user is busy elsewhere and would not see the window's own word).
bool end_notice_due(const EndNotice& notice, bool programActive);

// How a run ended, for the Run window: "ok", "failed with exit status 3", "ended by signal 9",
// "stopped", "not started".
std::string run_outcome_text(const RunRecord& record);

// The main window's status while a model runs: "Running demo.opt — 0:12".
std::string running_status_text(const std::string& optionsFile, double seconds);

} // namespace kv
