#include "runs/end_notice.h"

#include <filesystem>

namespace kv {

EndNotice run_end_notice(const RunRecord& record) {
    // The record's end is local time, "2026-07-12T20:05:09+02:00": its hours and minutes.
    const std::string clock = record.end.size() >= 16 ? record.end.substr(11, 5) : record.end;
    std::string text =
        "Run finished: " + std::filesystem::path(record.optionsFile).filename().string() + ", " +
        std::string(outcome_text(record.outcome));
    if (!clock.empty())
        text += ", " + clock;
    return {record.durationSeconds, text};
}

EndNotice batch_end_notice(const std::vector<BatchRun>& runs, double seconds) {
    const std::string over = batch_over_line(runs); // "3 finished: 2 ok, 1 failed"
    const auto counts = over.find(": ");
    return {seconds,
            "Batch finished: " + (counts == std::string::npos ? over : over.substr(counts + 2))};
}

bool end_notice_due(const EndNotice& notice, bool programActive) {
    return !programActive && notice.seconds > kEndNoticeAfterSeconds;
}

std::string run_outcome_text(const RunRecord& record) {
    if (record.outcome != HistoryOutcome::Failed)
        return std::string(outcome_text(record.outcome));
    if (record.signal)
        return "ended by signal " + std::to_string(*record.signal);
    if (record.exitStatus)
        return "failed with exit status " + std::to_string(*record.exitStatus);
    return "failed";
}

std::string running_status_text(const std::string& optionsFile, double seconds) {
    return "Running " + std::filesystem::path(optionsFile).filename().string() + " \u2014 " +
           clock_text(seconds);
}

} // namespace kv
