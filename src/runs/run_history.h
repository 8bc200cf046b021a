#pragma once

#include "shell/ports.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kv {

class Session;

// The run history: one JSON line per model run in "runs.jsonl" in the state directory,
// appended by every run (the main window, kvopt run, a batch), read back newest first.
inline constexpr std::string_view kRunHistoryFileName = "runs.jsonl";
inline constexpr std::string_view kOptionsChangedNote = "options changed since this run";

std::filesystem::path run_history_file(const Session& session);

enum class HistoryOutcome { Ok, Failed, Stopped, NotStarted };

// "ok", "failed", "stopped", "not started".
std::string_view outcome_text(HistoryOutcome outcome);

// A file a run wrote, with its size when the run ended (none when it was missing).
struct RecordedFile {
    std::string path;
    std::optional<std::uintmax_t> size;
};

// What identifies an options file's content. The interface's first line ("Written by Kelvaro
// interface at " and the time of the save) changes at every save, also when nothing else
// does, so the content is also hashed without it.
struct OptionsFingerprint {
    std::string sha256;         // of the whole file
    std::string sha256NoHeader; // of the file without the interface's first line
};

// The fingerprint of a file; nullopt when it cannot be read.
std::optional<OptionsFingerprint> fingerprint_options_file(const std::string& path);
OptionsFingerprint fingerprint_options_text(std::string_view content);

// The lower-case hex SHA-256 of the bytes.
std::string sha256_hex(std::string_view data);

// The bytes of a regular file; nothing when it cannot be read or is not a regular file.
std::optional<std::string> read_whole_file(const std::string& path);

// A run's id: ten letters and digits (Crockford's base 32, lower case) drawn at random, short
// enough to type and, with 50 bits, unique in any history people keep.
std::string new_run_id();

// One line of the history.
struct RunRecord {
    // Lines of earlier versions have none: theirs is made from the line's hash, so it stays
    // the same at every reading.
    std::string id;
    std::string start; // ISO 8601 local time with the UTC offset, "2026-07-12T20:05:09+02:00"
    std::string end;
    double durationSeconds = 0;
    std::string optionsFile; // full path
    OptionsFingerprint options;
    std::string optionsKept; // "runs/options/<sha256>.opt" in the state directory; empty: none
    std::string model;       // the executable's full path
    HistoryOutcome outcome = HistoryOutcome::NotStarted;
    std::optional<int> exitStatus;
    std::optional<int> signal;
    RecordedFile messageFile;
    RecordedFile outputFile;
    std::optional<std::string> batch; // the batch the run belonged to
    RecordedFile consoleFile;         // the model's output (runs/<id>.log); path empty: none
};

// What a run knows when it has ended (or could not start).
struct RunFacts {
    std::string id; // drawn when the run starts; empty: drawn for the record
    std::chrono::system_clock::time_point start;
    std::chrono::system_clock::time_point end;
    std::string optionsFile;
    std::optional<OptionsFingerprint> options; // as run: taken right before the start
    std::string optionsKept;                   // its copy (see runs/kept_options.h)
    std::string model;
    std::string messageFile;
    std::string outputFile;
    std::optional<std::string> batch;
    std::string consoleFile; // where the model's output went; empty: nowhere kept
};

// The record of a run: the outcome from how the model ended ("stopped" when a stop was asked
// for, "failed" for a status other than 0 or a signal), the files' sizes as they are now.
RunRecord run_record(const RunFacts& facts, const LaunchResult& launch);

// How a launched model ended: its outcome and its exit status or signal (neither when it
// did not start).
struct LaunchEnding {
    HistoryOutcome outcome = HistoryOutcome::NotStarted;
    std::optional<int> exitStatus;
    std::optional<int> signal;
};
LaunchEnding launch_ending(const LaunchResult& launch);

// The JSON line, without its line end.
std::string history_line(const RunRecord& record);
// The record of a line; nullopt when the line is damaged (not an object, or without its
// start time, options file or outcome).
std::optional<RunRecord> parse_history_line(std::string_view line);

// Appends one line. Safe when other processes append at the same time: the file is opened
// for appending and the line goes in one write. Answers an error text, empty on success.
std::string append_run_record(const std::filesystem::path& file, const RunRecord& record);

struct HistoryEntry {
    RunRecord record;
    std::string line; // as read
};

// The runs of the file, newest start first; damaged lines are skipped. No file: no runs.
std::vector<HistoryEntry> read_run_history(const std::filesystem::path& file);

// Which runs a listing shows: the newest `limit` (none: all) of those started at `since` or
// later.
struct HistorySelection {
    std::optional<std::size_t> limit;
    std::optional<std::chrono::system_clock::time_point> since;
};

// Hands each selected run of the file to `visit`, newest start first, damaged lines skipped,
// holding one run at a time however long the history. True when the limit left runs out.
bool visit_run_history(const std::filesystem::path& file, const HistorySelection& selection,
                       const std::function<void(HistoryEntry&&)>& visit);

// The time a listing's --since gives: "2026-07-12" (the start of that day), "2026-07-12
// 20:05" or "2026-07-12T20:05:09", local time, or a time with its UTC offset as the history
// records it. Nullopt for anything else.
std::optional<std::chrono::system_clock::time_point> parse_history_date(std::string_view text);

// Whether the options file has changed since the run: it is gone or unreadable, or its hash
// differs now. A difference in the interface's first line alone is no change.
bool options_changed_since(const RunRecord& record);

// The same for many runs, each options file read once: a history lists the same files over
// and over.
class OptionsChangeCheck {
public:
    bool changedSince(const RunRecord& record);

private:
    std::unordered_map<std::string, std::optional<OptionsFingerprint>> now_;
};

// A run as the history window and kvopt history list it.
struct HistoryRow {
    std::string id;
    std::string time; // "2026-07-12 20:05:09", the local time of the start
    std::string optionsFile;
    std::string duration; // "4.2 s", "12:05", "1:02:03"
    std::string outcome;  // "failed (exit status 3)", "failed (signal 9)", "ok", ...
    bool optionsChanged = false;
    std::string messageFile;
};

HistoryRow history_row(const RunRecord& record, OptionsChangeCheck& check);
HistoryRow history_row(const RunRecord& record);
// The row as one line of text, the run's id first, columns separated by two blanks, control
// characters in the file's name escaped.
std::string history_row_text(const HistoryRow& row);

// "0:12", "12:05", "1:02:03": a clock's reading of a time that runs on.
std::string clock_text(double seconds);

// A duration as the history shows it: "4.2 s" under a minute, then "12:05", "1:02:03".
std::string duration_text(double seconds);

// Time helpers of the history.
std::string iso8601_local(std::chrono::system_clock::time_point t);
std::optional<std::chrono::system_clock::time_point> parse_iso8601(std::string_view text);

} // namespace kv
