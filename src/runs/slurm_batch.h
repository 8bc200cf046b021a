#pragma once

#include "runs/batch.h"
#include "runs/run_history.h"
#include "shell/settings.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A batch on a Slurm cluster: after the same pre-flight as a batch on this machine, one job
// array with one task per options file, submitted with sbatch. Each task runs `kvopt run` on
// its file and leaves a status file in the batch folder, so the outcome of every file is
// known without the cluster's accounting database; kvopt watches the array with squeue and
// cancels it with scancel.
namespace kv {

class StopRequest;

// ---------------------------------------------------------------------------------------
// The way to Slurm's commands

struct CommandOutput {
    // false: no answer, the program could not be started or did not end in time (errorText
    // says why)
    bool started = false;
    bool interrupted = false; // ended early because a stop was asked for
    bool timedOut = false;    // ended because it took longer than its time limit
    int exitCode = -1;        // its exit status, 128 + the signal that ended it
    std::string out;          // what it wrote on standard output
    std::string err;          // on standard error
    std::string errorText;    // why there is no answer
};

// Runs sbatch, squeue and scancel. Everything the batch asks of Slurm goes through here, so
// the batch can be tried without a cluster.
class SlurmCommands {
public:
    virtual ~SlurmCommands() = default;
    // Runs the program argv[0] (found on PATH) with the rest as its arguments, no shell, and
    // waits for it; a request on `interruptOn` (when given) ends the wait and the program.
    virtual CommandOutput run(const std::vector<std::string>& argv,
                              const StopRequest* interruptOn) = 0;
};

// How long a Slurm command may take before it counts as not answering (a controller that
// hangs): it is ended then, and the batch tries again later as after a failure.
inline constexpr std::chrono::milliseconds kSlurmCommandTimeLimit{30000};

// The commands of the system, each in a process group of its own (a Ctrl-C at the terminal
// is kvopt's to handle, not theirs), standard input from /dev/null, ended (with their group)
// when they take longer than `timeLimit`.
std::unique_ptr<SlurmCommands>
system_slurm_commands(std::chrono::milliseconds timeLimit = kSlurmCommandTimeLimit);

// ---------------------------------------------------------------------------------------
// The batch folder: the job script, the list of files, a status file and a log per task

inline constexpr std::string_view kJobScriptName = "job.sh";
inline constexpr std::string_view kFileListName = "files.txt";
inline constexpr std::string_view kStatusFolderName = "status";
inline constexpr std::string_view kLogFolderName = "logs";

// "kvbatch-" and the batch's id: the batch folder's name beside the first options file.
std::string default_batch_folder_name(std::string_view batchId);

std::filesystem::path task_status_path(const std::filesystem::path& batchDir, std::size_t task);
std::filesystem::path task_log_path(const std::filesystem::path& batchDir, std::size_t task);

// What sbatch is given besides the job script.
struct SlurmSubmitOptions {
    std::string partition;               // --partition
    std::string timeLimit;               // --time, HH:MM:SS
    std::string account;                 // --account
    std::vector<std::string> sbatchArgs; // passed on as they are, before the script
};

// Everything the batch folder and the sbatch command are made of.
struct SlurmJob {
    std::string batchId;
    std::filesystem::path dir;      // the batch folder (a full path)
    std::vector<std::string> files; // task i runs files[i] (full paths)
    std::string kvopt;              // the kvopt program every task runs (full path)
    Settings settings;              // model directory, model executable, data directory
    SlurmSubmitOptions submit;
    // Where a final task's log is copied as its run's console log (runs/<id>.log); empty:
    // nowhere.
    std::filesystem::path stateDir;
};

// `text` as one word of a POSIX shell: in single quotes, each single quote written as '\''.
std::string shell_quote(std::string_view text);

// The job script: task N sends its output to its log, reads line N + 1 of the list of files,
// removes the status file an earlier attempt of the task left (a task requeued by Slurm runs
// again), runs kvopt run on that file with the installation's directories and model given
// explicitly (a node need not have the interface's settings), its status file named and the
// batch, job and attempt it belongs to; when kvopt leaves no status file (it could not start,
// or ended before the model ran), the script writes one with kvopt's exit status. Every path
// in it is quoted; the list is read, never run.
std::string slurm_job_script(const SlurmJob& job);

// The sbatch command as an argument vector: "sbatch", --parsable, the job's name, the array
// (0-N), --output=/dev/null (the job script writes its task's log itself: sbatch would read
// a "\" or "%" of the folder's name as part of a pattern), the working directory (the batch
// folder), the options given, then the job script.
std::vector<std::string> sbatch_command(const SlurmJob& job);

// An argument vector as a command line a shell takes back word for word (words with
// characters a shell would interpret are quoted).
std::string command_line_text(const std::vector<std::string>& argv);

// Writes the batch folder: the job script (executable), the list of files and empty status
// and log folders, each made anew (never over a file of the same name). The folder must be
// new or empty: a user's own files in it stay untouched, and no file left there is taken for
// this batch's. Refuses a file name holding a line break (the list has one name a line).
// Answers an error text, empty on success.
std::string write_slurm_batch_folder(const SlurmJob& job);

// ---------------------------------------------------------------------------------------
// The status file of a task: one JSON object

struct TaskStatus {
    // Ok, Failed or Stopped; the runs that could not start on the node are Failed.
    BatchOutcome outcome = BatchOutcome::Failed;
    std::optional<int> exitStatus; // the model's exit status
    std::optional<int> signal;     // the signal that ended the model
    std::string start;             // ISO 8601, when the model started; empty when it did not
    std::string end;
    double durationSeconds = 0;
    std::vector<std::string> messages; // why it failed before the model ran
    // The exit status of kvopt itself when the job script wrote the file: kvopt ended
    // without writing one.
    std::optional<int> kvoptExitStatus;
    // Whose status it is: the batch's id, the job array's id and the task's attempt (Slurm's
    // restart count: a requeued task runs again). A file of another batch or job is ignored;
    // a later attempt's status replaces an earlier one's.
    std::string batch;
    std::string jobId;
    int attempt = 0;
    std::string runId; // the id of the run's history line; empty: the model did not run
};

// The status of a run from its history record (with the messages shown before it ran).
TaskStatus task_status_of(const RunRecord& record, std::vector<std::string> messages = {});

// {"outcome": "failed", "exit_status": 3, "signal": null, "start": ..., "end": ...,
// "duration_s": 0.5, "messages": [...], "batch": ..., "job_id": ..., "attempt": 0}, one line
// with its line end.
std::string task_status_text(const TaskStatus& status);
// nullopt when the text is no such object or names no known outcome.
std::optional<TaskStatus> parse_task_status(std::string_view text);

// Writes the file whole or not at all (a temporary file renamed over it): the batch must
// never read half a status. Answers an error text, empty on success.
std::string write_task_status(const std::filesystem::path& path, const TaskStatus& status);

// ---------------------------------------------------------------------------------------
// What sbatch and squeue print

// What `sbatch --parsable` answers: the job id and, when the job went to another cluster than
// the default one ("123;cluster"), that cluster: squeue and scancel must ask it.
struct SubmittedJob {
    std::string id;
    std::string cluster;
    bool operator==(const SubmittedJob&) const = default;
};
// nullopt when the answer holds no job id.
std::optional<SubmittedJob> parse_sbatch_job_id(std::string_view out);

enum class QueueState { Pending, Running };

// The tasks `squeue --array --noheader --format "%K %T"` lists: task index and state
// (RUNNING, COMPLETING, CONFIGURING... count as running; PENDING and the others that wait
// as pending). Lines that name no single task are skipped, and so is the "CLUSTER: name"
// line squeue writes first when asked about another cluster.
std::map<std::size_t, QueueState> parse_squeue_tasks(std::string_view out);
// Whether squeue's answer lists nothing of the job (the "CLUSTER: name" line aside).
bool squeue_lists_nothing(std::string_view out);

// ---------------------------------------------------------------------------------------
// The batch on the cluster

// How often the batch looks at the status files and asks squeue. squeue is asked often at
// first and, while its answer stays the same, less and less often (a busy controller is
// not asked every second for hours); the status files are cheap to look at.
struct SlurmTiming {
    // Also the least time between two looks.
    std::chrono::milliseconds statusLook{200};
    std::chrono::milliseconds queueFirst{500};
    std::chrono::milliseconds queueMost{10000};
    // A task that has left the queue without a status file is waited for this long
    // (a file system shared by the nodes may show a new file late) before it counts as
    // failed.
    std::chrono::milliseconds statusGrace{30000};
    // squeue failing for this long (the controller down, or the job unknown to it from the
    // start) ends the wait.
    std::chrono::milliseconds queueFailureLimit{120000};
    // After scancel, how long the tasks may take to leave the queue.
    std::chrono::milliseconds cancelWait{60000};
};

class SlurmBatch {
public:
    // The files the pre-flight let through become the array's tasks, in order; refused ones
    // keep their record. `job` names the batch folder, kvopt and the installation; its files
    // are set from the pre-flight.
    SlurmBatch(BatchPreflight preflight, SlurmJob job, SlurmCommands& commands,
               SlurmTiming timing = {});
    ~SlurmBatch();
    SlurmBatch(const SlurmBatch&) = delete;
    SlurmBatch& operator=(const SlurmBatch&) = delete;

    const SlurmJob& job() const;
    const std::vector<BatchRun>& runs() const;
    BatchProgress progress() const;
    double elapsedSeconds() const; // since the submission
    std::size_t tasks() const;

    // Writes the batch folder. Answers an error text, empty on success.
    std::string prepare();
    // Submits the array (after prepare()). Answers an error text, empty on success; the job id
    // is known afterwards. With no task to run, submits nothing and the batch is over. sbatch
    // is not interrupted by a stop: its job id is needed to cancel what it submitted.
    std::string submit();
    const std::string& jobId() const;
    // The cluster sbatch named with the job id; empty: the default one.
    const std::string& cluster() const;

    // One look: the new status files, and squeue when it is due (a request on `stop` ends a
    // squeue that does not answer). A task's status file is its outcome once squeue no longer
    // lists the task: a task Slurm requeues runs again, and its latest attempt counts. Answers
    // whether the batch is over.
    bool poll(const StopRequest* stop = nullptr);
    bool over() const;
    // How long to wait before the next poll().
    std::chrono::milliseconds nextPollIn() const;

    // scancel of the whole array (tried again at the next looks when it fails); the batch is
    // over once no task is left in the queue. Tasks that had started end "stopped" (as kvopt
    // run records a stop), the others "not started". `signal` is the signal that asked for it
    // (0: none). Before the submission it only marks every task "not started".
    void cancel(int signal = 0);
    bool cancelling() const;
    int stopSignal() const;

    // Polls until the batch is over; a request made on `stop` meanwhile cancels the array.
    // `onChange` is called after each poll that changed a run.
    void wait(const StopRequest* stop, const std::function<void()>& onChange = {});

    // What went wrong on the way that the runs do not show (scancel failed, squeue gave up).
    const std::vector<std::string>& problems() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kv
