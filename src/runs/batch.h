#pragma once

#include "optionsfile/scenario.h"
#include "runs/batch_claims.h"
#include "shell/path_rules.h"
#include "shell/ports.h"
#include "shell/settings.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A batch: several options files, each run as Model > Run runs one (saved in place, the model
// started from the model directory with the file's full path as its one argument), checked
// together before anything starts. This header holds what every way of running a batch shares
// (here several at a time, or on a cluster): the pre-flight, the record of each file's run,
// the summary, the exit status and the progress line.
namespace kv {

class ReferenceDbOpener;
class Session;

// ---------------------------------------------------------------------------------------
// Identity and arguments

// A batch's identifier, "20260712-200509-3fa9c1": the local time it was made and six random
// hex digits. Recorded in "batch" of every run's history line; safe as a file name.
std::string new_batch_id(std::chrono::system_clock::time_point now);

// The options files a list of arguments names: a file as it is, a folder as its files whose
// names end in ".opt" in any case, sorted by name (not its subfolders). A name that names
// nothing is kept, so the pre-flight refuses it with the reader's message. Relative names are
// taken from `base`; the answer holds full, lexically normal paths.
std::vector<std::string> batch_files_of(const std::vector<std::string>& arguments,
                                        const std::filesystem::path& base);

// ---------------------------------------------------------------------------------------
// The record of one file's run

// How a file of the batch ended, as the summary, the JSON and the history words it.
enum class BatchOutcome { Ok, Failed, Refused, Stopped, NotStarted };
inline constexpr std::array<BatchOutcome, 5> kBatchOutcomes = {
    BatchOutcome::Ok, BatchOutcome::Failed, BatchOutcome::Refused, BatchOutcome::Stopped,
    BatchOutcome::NotStarted};

// "ok", "failed", "refused", "stopped", "not started".
std::string_view batch_outcome_text(BatchOutcome outcome);

enum class BatchRunState { Waiting, Running, Finished };

struct BatchRun {
    std::string optionsFile; // full path
    BatchRunState state = BatchRunState::Waiting;
    // Meaningful once Finished. A file refused by the pre-flight is Finished and Refused from
    // the start; the files a stop or a refused batch leaves unstarted are NotStarted.
    BatchOutcome outcome = BatchOutcome::NotStarted;
    std::optional<int> exitStatus; // the model's exit status; none: not run, or a signal
    std::optional<int> signal;     // the signal that ended the model
    double durationSeconds = 0;    // the model's run, start to end; 0 when it did not run
    std::string messageFile;       // full path from the file's /RUNFILES/; empty: not known
    std::string outputFile;        // likewise, the OUTPUT DATA file
    std::string consoleFile;       // the model's output, once it started; empty: none kept
    // The messages of a refusal, as the interface words them, or why the run failed before
    // the model ran (the save, the start).
    std::vector<std::string> messages;
};

// What a window shows in its state column: "waiting", "running", "done" (ok), "failed",
// "refused", "stopped", "not started".
std::string_view batch_state_text(const BatchRun& run);

// Makes `run` Finished with the outcome of how its model ended: Stopped when a stop was asked
// for, Failed when it did not start, ended by a signal or with a status other than 0, else
// Ok. Sets the exit status or signal and the duration.
void finish_batch_run(BatchRun& run, const LaunchResult& launch, double durationSeconds);

// ---------------------------------------------------------------------------------------
// The pre-flight

// What the batch needs of the installation: where the model, the data and the reference
// database are, and where the run history is kept. Taken from a session (the main window's,
// kvopt's), which the batch never changes: it reads and saves the files on sessions of its
// own.
struct BatchContext {
    Settings settings; // model directory and executable, data directory
    std::filesystem::path programDir;
    std::filesystem::path configDir;
    std::filesystem::path stateDir; // runs.jsonl is here
    PathRules rules = PathRules::native();
    ReferenceDbOpener* refdbs = nullptr; // outlives the batch
};

BatchContext batch_context(const Session& session);

// A file as the pre-flight left it: its record (Waiting when it may run, Refused when not)
// and the scenario read from it, which its run saves in place.
struct BatchFile {
    BatchRun run;
    Scenario scenario;
    // The SHA-256 of the file's content, taken before it was read; empty when it could not be
    // read. Just before its run the file is hashed again: a file changed since is read anew.
    std::string sha256;
};

// Reads and validates one file as `kvopt check` does, on a session of its own. The process's
// current directory is as it was afterwards.
BatchFile read_batch_file(const BatchContext& context, const std::string& path);

// The SHA-256 of a file's content; empty when it cannot be read.
std::string file_sha256(const std::string& path);

struct BatchPreflight {
    std::vector<BatchFile> files; // in the order given; a file named twice is kept once
    // Why the whole batch is refused (two files naming one output file; a refused file with
    // --strict). When there is one, nothing may start: the files it names are Refused, every
    // other one NotStarted.
    std::vector<std::string> errors;
    // The outputs each usable file writes and the batch's options files, so that a file read
    // again before its run is compared with the others as the pre-flight compared it.
    BatchClaims claims;
    // A stop came before every file was read: the files not read are NotStarted.
    bool stopped = false;

    bool refused() const { return !errors.empty(); }
    std::size_t runnable() const; // files Waiting
    std::vector<BatchRun> runs() const;
};

// The message of two files that would write the same output file: "Batch refused: " A
// " and " B " both write " PATH " (MESSAGE)".
std::string output_clash_message(std::string_view first, std::string_view second,
                                 std::string_view path, std::string_view descriptor);
// The message of a file whose output is another options file of the batch: "Batch refused: "
// A " writes its MESSAGE file over " B ", another options file of the batch".
std::string options_clash_message(std::string_view writer, std::string_view optionsFile,
                                  std::string_view descriptor);
// A clash as a file read again before its run meets it: the text of the two messages above
// without "Batch refused: ", naming the clash's writer and other file by these paths.
std::string clash_text(const BatchClaims::Clash& clash, std::string_view writer,
                       std::string_view other);
// The batch's message with --strict: "Batch refused: " FILE " was refused (--strict)".
std::string strict_refusal_message(std::string_view file);

// The first message of a file that changed after the pre-flight and was refused when read
// again (its reasons follow), or whose new outputs clash with the batch's.
inline constexpr std::string_view kChangedSinceCheck = "changed since the check";

// The pre-flight one file at a time, so that a window can stay responsive and a stop can
// come between two files: readNext() until it answers false, then finish().
class BatchPreflighter {
public:
    BatchPreflighter(BatchContext context, std::vector<std::string> files, bool strict);

    // Reads the next file not read yet; false when there is none left.
    bool readNext();
    std::size_t filesRead() const { return next_; }
    std::size_t filesGiven() const { return files_.size(); }
    // Compares the files read (outputs, options files): the pre-flight. A file not read yet
    // counts as stopped before its check.
    BatchPreflight finish();

private:
    BatchContext context_;
    std::vector<std::string> files_;
    bool strict_ = false;
    std::size_t next_ = 0;
    BatchPreflight preflight_;
    DistinctFiles named_; // the files read
    // The first output that clashes, found as the files are read (each file's outputs with
    // the files read before it).
    std::optional<BatchClaims::Clash> clash_;
};

// Reads and validates every file as `kvopt check` does, on the reader's own code: a refused
// file keeps the reader's messages and is left out (with `strict`, it refuses the batch). Then
// no two usable files may name the same MESSAGE, OUTPUT DATA or by-model-year output file,
// and no output may be another options file of the batch: when one does, the batch is refused
// naming both. Starts nothing, writes nothing; the process's current directory is as it was
// afterwards. `stopRequested` is asked before each file: true leaves the rest unread.
BatchPreflight preflight_batch(const BatchContext& context, const std::vector<std::string>& files,
                               bool strict, const std::function<bool()>& stopRequested = {});

// ---------------------------------------------------------------------------------------
// Summary, exit status, progress

// How many files ended each way, indexed by BatchOutcome.
std::array<int, kBatchOutcomes.size()> batch_counts(const std::vector<BatchRun>& runs);

// The summary table: a header line and one line per file (file, outcome, exit status,
// duration, message file), columns aligned. Paths under `relativeTo` are shown relative to
// it (empty: full paths).
std::string batch_summary_table(const std::vector<BatchRun>& runs,
                                const std::filesystem::path& relativeTo = {});

// The summary as one JSON object, pretty-printed, with a final line end:
// {"batch": id, "runs": [{"file", "outcome", "exit_status", "signal", "duration_s",
// "message_file"}], "counts": {"ok": n, "failed": n, "refused": n, "stopped": n,
// "not started": n}}. Missing values are null ("exit_status" of a run that did not end by
// itself, "message_file" when unknown).
std::string batch_summary_json(std::string_view batchId, const std::vector<BatchRun>& runs);

// The batch's exit status: 128 + `stopSignal` when a signal stopped it (130 for SIGINT, 143
// for SIGTERM); else 0 when every file ran and its model ended with status 0; else 1 (a
// refused file, a failure, a stop without a signal, a file not started).
int batch_exit_status(const std::vector<BatchRun>& runs, int stopSignal);

struct BatchProgress {
    int total = 0;   // runs the batch starts: every file not refused
    int done = 0;    // of those, finished (whatever the outcome)
    int running = 0; // running now
    int failed = 0;  // of those done, failed
    double elapsedSeconds = 0;
    std::optional<double> remainingSeconds; // an estimate once a run has finished, until all have
};

BatchProgress batch_progress(const std::vector<BatchRun>& runs, double elapsedSeconds);

// "5/16 done, 2 running, 1 failed, 0:12 elapsed, about 0:27 left" (the estimate once there
// is one; no trailing line end).
std::string batch_progress_line(const BatchProgress& progress);

// How a batch that is over ended: "2 finished: 1 ok, 1 failed", the runs stopped, not started
// and refused added when there are any ("3 finished: 1 ok, 0 failed, 2 stopped, 1 not
// started").
std::string batch_over_line(const std::vector<BatchRun>& runs);

// A path as the summary shows it: relative to `relativeTo` when it lies under it (empty:
// always the full path), control characters escaped.
std::string batch_shown_path(const std::string& path, const std::filesystem::path& relativeTo);

// The line of one finished run where no progress line can be redrawn (not a terminal):
// "ok  a.opt  exit status 0  0.5 s", a refusal's or failure's first message appended.
std::string batch_finished_line(const BatchRun& run, const std::filesystem::path& relativeTo = {});

} // namespace kv
