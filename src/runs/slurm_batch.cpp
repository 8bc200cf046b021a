#include "runs/slurm_batch.h"

#include "runs/console_log.h"
#include "runs/stop_request.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace kv {

namespace fs = std::filesystem;
using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------------------
// The batch folder

std::string default_batch_folder_name(std::string_view batchId) {
    return "kvbatch-" + std::string(batchId);
}

fs::path task_status_path(const fs::path& batchDir, std::size_t task) {
    return batchDir / std::string(kStatusFolderName) / ("task-" + std::to_string(task) + ".json");
}

fs::path task_log_path(const fs::path& batchDir, std::size_t task) {
    return batchDir / std::string(kLogFolderName) / ("task-" + std::to_string(task) + ".out");
}

std::string shell_quote(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string slurm_job_script(const SlurmJob& job) {
    const std::string dir = shell_quote(job.dir.string());
    std::string kvopt = shell_quote(job.kvopt) + " --model-dir " +
                        shell_quote(job.settings.modeldir) + " --data-dir " +
                        shell_quote(job.settings.datadir) + " run";
    if (!job.settings.modelexe.empty())
        kvopt += " --model-exe " + shell_quote(job.settings.modelexe);
    kvopt += " --batch \"$batch\" --job-id \"$job\" --attempt \"$attempt\" --status-file "
             "\"$status\" \"$file\"";
    const std::string list(kFileListName);
    const std::string statusFolder(kStatusFolderName);
    const std::string logFolder(kLogFolderName);
    return "#!/bin/sh\n"
           "# Batch " +
           job.batchId +
           " of the Kelvaro Model Interface, written by kvopt batch --slurm.\n"
           "# Task N of the job array runs the core model with kvopt on line N + 1 of " +
           list + "\n# and leaves its outcome in " + statusFolder + "/task-N.json, its output in " +
           logFolder +
           "/task-N.out.\n"
           "batch_dir=" +
           dir + "\nbatch=" + shell_quote(job.batchId) +
           "\n"
           "task=${SLURM_ARRAY_TASK_ID:?runs only as a task of a Slurm job array}\n"
           "job=${SLURM_ARRAY_JOB_ID:-}\n"
           "attempt=${SLURM_RESTART_COUNT:-0}\n"
           "# The task writes its own log: sbatch would read a \"\\\" or \"%\" in the folder's "
           "name as a pattern.\n"
           "exec >>\"$batch_dir/" +
           logFolder +
           "/task-$task.out\" 2>&1\n"
           "file=$(sed -n \"$((task + 1))p\" \"$batch_dir/" +
           list +
           "\")\n"
           "status=\"$batch_dir/" +
           statusFolder +
           "/task-$task.json\"\n"
           "# A task Slurm requeued runs again: an earlier attempt's outcome is not this one's.\n"
           "rm -f \"$status\"\n" +
           kvopt +
           "\n"
           "code=$?\n"
           "# kvopt writes the status itself; it has not when it could not start or ended\n"
           "# before the model ran.\n"
           "if [ ! -s \"$status\" ]; then\n"
           "    printf '{\"outcome\": \"failed\", \"kvopt_exit_status\": %d, \"batch\": \"%s\", "
           "\"job_id\": \"%s\", \"attempt\": %d}\\n' \\\n"
           "        \"$code\" \"$batch\" \"$job\" \"$attempt\" >\"$status.tmp\" &&\n"
           "        mv -f \"$status.tmp\" \"$status\"\n"
           "fi\n"
           "exit \"$code\"\n";
}

std::vector<std::string> sbatch_command(const SlurmJob& job) {
    std::vector<std::string> argv = {
        "sbatch",
        "--parsable",
        "--job-name=" + default_batch_folder_name(job.batchId),
        "--array=0-" + std::to_string(job.files.empty() ? 0 : job.files.size() - 1),
        "--output=/dev/null",
        "--chdir=" + job.dir.string(),
    };
    const SlurmSubmitOptions& s = job.submit;
    if (!s.partition.empty())
        argv.push_back("--partition=" + s.partition);
    if (!s.timeLimit.empty())
        argv.push_back("--time=" + s.timeLimit);
    if (!s.account.empty())
        argv.push_back("--account=" + s.account);
    argv.insert(argv.end(), s.sbatchArgs.begin(), s.sbatchArgs.end());
    argv.push_back((job.dir / std::string(kJobScriptName)).string());
    return argv;
}

std::string command_line_text(const std::vector<std::string>& argv) {
    const auto plain = [](const std::string& word) {
        return !word.empty() && std::all_of(word.begin(), word.end(), [](unsigned char c) {
            return std::isalnum(c) || std::string_view("_-+=:,./@%").find(static_cast<char>(c)) !=
                                          std::string_view::npos;
        });
    };
    std::string line;
    for (const std::string& word : argv) {
        if (!line.empty())
            line += ' ';
        line += plain(word) ? word : shell_quote(word);
    }
    return line;
}

namespace {

std::string write_text(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return out ? std::string() : "cannot write " + path.string();
}

// Writes a file that must not exist yet (not even as a link): the batch folder's files are
// never written over anything.
std::string write_new_file(const fs::path& path, const std::string& text, bool executable) {
#ifndef _WIN32
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, executable ? 0755 : 0644);
    if (fd < 0)
        return "cannot make " + path.string() + ": " + std::strerror(errno);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    const int closed = ::close(fd);
    if (written < text.size() || closed != 0)
        return "cannot write " + path.string();
    return {};
#else
    (void)executable;
    std::error_code ec;
    if (fs::exists(path, ec))
        return "cannot make " + path.string() + ": it exists already";
    return write_text(path, text);
#endif
}

} // namespace

std::string write_slurm_batch_folder(const SlurmJob& job) {
    for (const std::string& file : job.files) {
        if (file.find_first_of("\r\n") != std::string::npos)
            return "the name of " + file +
                   " holds a line break, which the job's list of files cannot hold";
    }
    std::error_code ec;
    const bool made = fs::create_directories(job.dir, ec);
    if (ec)
        return "cannot make the batch folder " + job.dir.string() + ": " + ec.message();
    if (!made && (!fs::is_directory(job.dir, ec) || !fs::is_empty(job.dir, ec)))
        return "the batch folder " + job.dir.string() + " is not empty: give a new or empty folder";
    for (const auto& folder :
         {job.dir / std::string(kStatusFolderName), job.dir / std::string(kLogFolderName)}) {
        if (!fs::create_directory(folder, ec))
            return "cannot make the folder " + folder.string() + ": " +
                   (ec ? ec.message() : "it exists already");
    }
    std::string files;
    for (const std::string& file : job.files)
        files += file + '\n';
    std::string error =
        write_new_file(job.dir / std::string(kJobScriptName), slurm_job_script(job), true);
    if (error.empty())
        error = write_new_file(job.dir / std::string(kFileListName), files, false);
    return error;
}

// ---------------------------------------------------------------------------------------
// Status files

TaskStatus task_status_of(const RunRecord& record, std::vector<std::string> messages) {
    TaskStatus status;
    switch (record.outcome) {
    case HistoryOutcome::Ok:
        status.outcome = BatchOutcome::Ok;
        break;
    case HistoryOutcome::Stopped:
        status.outcome = BatchOutcome::Stopped;
        break;
    case HistoryOutcome::Failed:
    case HistoryOutcome::NotStarted:
        status.outcome = BatchOutcome::Failed;
        break;
    }
    status.exitStatus = record.exitStatus;
    status.signal = record.signal;
    if (record.outcome != HistoryOutcome::NotStarted) {
        status.start = record.start;
        status.end = record.end;
        status.durationSeconds = record.durationSeconds;
    }
    status.messages = std::move(messages);
    status.runId = record.id;
    return status;
}

std::string task_status_text(const TaskStatus& status) {
    const auto optional = [](const std::optional<int>& value) {
        return value ? json(*value) : json(nullptr);
    };
    json j = json::object();
    j["outcome"] = batch_outcome_text(status.outcome);
    j["exit_status"] = optional(status.exitStatus);
    j["signal"] = optional(status.signal);
    j["start"] = status.start;
    j["end"] = status.end;
    j["duration_s"] = status.durationSeconds;
    j["messages"] = status.messages;
    if (status.kvoptExitStatus)
        j["kvopt_exit_status"] = *status.kvoptExitStatus;
    j["batch"] = status.batch;
    j["job_id"] = status.jobId;
    j["attempt"] = status.attempt;
    if (!status.runId.empty())
        j["run_id"] = status.runId;
    return j.dump(-1, ' ', false, json::error_handler_t::replace) + '\n';
}

std::optional<TaskStatus> parse_task_status(std::string_view text) {
    const json j = json::parse(text, nullptr, false);
    if (!j.is_object() || !j.contains("outcome") || !j["outcome"].is_string())
        return std::nullopt;
    TaskStatus status;
    const std::string outcome = j["outcome"].get<std::string>();
    const auto known =
        std::find_if(kBatchOutcomes.begin(), kBatchOutcomes.end(),
                     [&](BatchOutcome o) { return batch_outcome_text(o) == outcome; });
    if (known == kBatchOutcomes.end())
        return std::nullopt;
    status.outcome = *known;
    const auto integer = [&](const char* key) -> std::optional<int> {
        const auto it = j.find(key);
        if (it == j.end() || !it->is_number_integer())
            return std::nullopt;
        return it->get<int>();
    };
    const auto text_of = [&](const char* key) {
        const auto it = j.find(key);
        return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    status.exitStatus = integer("exit_status");
    status.signal = integer("signal");
    status.kvoptExitStatus = integer("kvopt_exit_status");
    status.start = text_of("start");
    status.end = text_of("end");
    status.batch = text_of("batch");
    status.jobId = text_of("job_id");
    status.attempt = std::max(integer("attempt").value_or(0), 0);
    status.runId = text_of("run_id");
    if (const auto it = j.find("duration_s"); it != j.end() && it->is_number())
        status.durationSeconds = std::max(0.0, it->get<double>());
    if (const auto it = j.find("messages"); it != j.end() && it->is_array()) {
        for (const json& m : *it) {
            if (m.is_string())
                status.messages.push_back(m.get<std::string>());
        }
    }
    return status;
}

std::string write_task_status(const fs::path& path, const TaskStatus& status) {
    fs::path temporary = path;
    temporary += ".tmp";
    std::string error = write_text(temporary, task_status_text(status));
    std::error_code ec;
    if (error.empty()) {
        fs::rename(temporary, path, ec);
        if (ec)
            error = "cannot write " + path.string() + ": " + ec.message();
    }
    if (!error.empty())
        fs::remove(temporary, ec);
    return error;
}

// ---------------------------------------------------------------------------------------
// sbatch and squeue

std::optional<SubmittedJob> parse_sbatch_job_id(std::string_view out) {
    const auto trimmed = [](std::string_view text) {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        return text;
    };
    const std::string_view line = out.substr(0, out.find_first_of("\r\n"));
    const std::size_t semicolon = line.find(';');
    const std::string_view id = trimmed(line.substr(0, semicolon));
    if (id.empty() ||
        !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    SubmittedJob job{std::string(id), {}};
    if (semicolon != std::string_view::npos)
        job.cluster = std::string(trimmed(line.substr(semicolon + 1)));
    return job;
}

namespace {

std::optional<std::size_t> task_number(std::string_view text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// The task indices of "5", "2-5", "[2-5,7,9-13:2%4]" (squeue joins waiting tasks that way
// when not asked for one a line); nullopt for "N/A" and anything else.
std::optional<std::vector<std::size_t>> task_indices(std::string_view text) {
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    text = text.substr(0, text.find('%')); // the limit of tasks at once
    std::vector<std::size_t> indices;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view part = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        std::size_t step = 1;
        if (const std::size_t colon = part.find(':'); colon != std::string_view::npos) {
            const auto s = task_number(part.substr(colon + 1));
            if (!s || *s == 0)
                return std::nullopt;
            step = *s;
            part = part.substr(0, colon);
        }
        const std::size_t dash = part.find('-');
        const auto first = task_number(part.substr(0, dash));
        const auto last =
            dash == std::string_view::npos ? first : task_number(part.substr(dash + 1));
        if (!first || !last || *last < *first || *last - *first > 1000000)
            return std::nullopt;
        for (std::size_t i = *first; i <= *last; i += step)
            indices.push_back(i);
    }
    if (indices.empty())
        return std::nullopt;
    return indices;
}

} // namespace

namespace {

// The lines of squeue's answer that say something of the job: not blank, not the "CLUSTER:"
// line it writes first when asked about another cluster.
template <class Visit> void for_each_queue_line(std::string_view out, Visit visit) {
    std::size_t pos = 0;
    while (pos < out.size()) {
        std::size_t end = out.find('\n', pos);
        if (end == std::string_view::npos)
            end = out.size();
        std::string_view line = out.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        if (!line.empty() && !line.starts_with("CLUSTER:"))
            visit(line);
    }
}

} // namespace

bool squeue_lists_nothing(std::string_view out) {
    bool nothing = true;
    for_each_queue_line(out, [&](std::string_view) { nothing = false; });
    return nothing;
}

std::map<std::size_t, QueueState> parse_squeue_tasks(std::string_view out) {
    // States in which a task's processes run (or are being set up or ended).
    constexpr std::string_view kRunning[] = {"RUNNING",   "COMPLETING", "CONFIGURING", "STAGE_OUT",
                                             "SIGNALING", "STOPPED",    "SUSPENDED",   "RESIZING"};
    std::map<std::size_t, QueueState> tasks;
    for_each_queue_line(out, [&](std::string_view line) {
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            return;
        const auto indices = task_indices(line.substr(0, blank));
        if (!indices)
            return; // "N/A": no task
        const std::string_view state = line.substr(line.find_first_not_of(' ', blank));
        const bool running =
            std::find(std::begin(kRunning), std::end(kRunning), state) != std::end(kRunning);
        for (const std::size_t index : *indices)
            tasks[index] = running ? QueueState::Running : QueueState::Pending;
    });
    return tasks;
}

// ---------------------------------------------------------------------------------------
// The batch on the cluster

namespace {

std::optional<std::string> read_small_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text;
}

std::string first_line(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// The words that make a Slurm command ask the batch's cluster (none: the default one).
std::vector<std::string> cluster_arguments(const std::string& cluster) {
    if (cluster.empty())
        return {};
    return {"--clusters=" + cluster};
}

} // namespace

struct SlurmBatch::Impl {
    struct Task {
        std::size_t run = 0;      // index in runs
        bool seenRunning = false; // squeue has listed it as running
        bool listed = false;      // in squeue's last answer
        // The first answer of squeue that no longer listed it (or never found it there).
        std::optional<Clock::time_point> goneSince;
        // Its status file, of the latest attempt read: the outcome once squeue, asked after
        // it was read, no longer lists the task, since Slurm may run a task again (requeued
        // after a preemption or a node failure).
        std::optional<TaskStatus> status;
        Clock::time_point statusSince;
        int latestAttempt = 0; // the latest attempt a status file has named
    };

    SlurmJob job;
    SlurmCommands& commands;
    SlurmTiming timing;
    std::vector<BatchRun> runs;
    std::vector<Task> tasks;
    std::string jobId;
    std::string cluster;
    Clock::time_point started = Clock::now();
    Clock::time_point lastPoll;
    bool submitted = false;
    bool over = false;
    bool changed = false;
    bool cancelling = false;
    bool cancelSent = false; // scancel answered
    std::string cancelError; // why scancel failed last
    Clock::time_point nextCancelTry;
    std::chrono::milliseconds cancelInterval{0};
    int stopSignal = 0;
    Clock::time_point cancelledAt;
    bool queueEmpty = false;
    bool everListed = false;      // squeue has listed a task of the job
    Clock::time_point lastAnswer; // of squeue
    Clock::time_point nextQueueLook;
    std::chrono::milliseconds queueInterval{0};
    std::string lastQueueAnswer;
    std::optional<Clock::time_point> queueFailingSince;
    std::vector<std::string> problems;

    Impl(SlurmJob j, SlurmCommands& c, SlurmTiming t) : job(std::move(j)), commands(c), timing(t) {}

    std::chrono::milliseconds longer(std::chrono::milliseconds interval) const {
        return std::min(std::max(interval * 2, timing.queueFirst), timing.queueMost);
    }

    void finish(Task& task, BatchOutcome outcome, std::vector<std::string> messages = {}) {
        BatchRun& run = runs[task.run];
        run.state = BatchRunState::Finished;
        run.outcome = outcome;
        run.messages = std::move(messages);
        changed = true;
    }

    bool finished(const Task& task) const {
        return runs[task.run].state == BatchRunState::Finished;
    }

    // The run's outcome from its task's status file.
    void finishFromStatus(std::size_t index) {
        Task& task = tasks[index];
        const TaskStatus& status = *task.status;
        BatchRun& run = runs[task.run];
        run.exitStatus = status.exitStatus;
        run.signal = status.signal;
        run.durationSeconds = status.durationSeconds;
        std::vector<std::string> messages = status.messages;
        if (status.kvoptExitStatus)
            messages.push_back(
                "kvopt ended with status " + std::to_string(*status.kvoptExitStatus) +
                " before the model ran; see " + task_log_path(job.dir, index).string());
        // scancel signals the model and kvopt at once: a model that the signal reached
        // first ends "failed" by it, but was stopped all the same.
        BatchOutcome outcome = status.outcome;
        if (cancelling && outcome == BatchOutcome::Failed &&
            (status.signal || (status.kvoptExitStatus && *status.kvoptExitStatus > 128)))
            outcome = BatchOutcome::Stopped;
        // The task's log holds all it wrote (the job script's lines and kvopt's too): it is
        // kept as the run's console log. A run id is only a name here, never a path.
        if (!job.stateDir.empty() && is_run_id(status.runId)) {
            const fs::path console = console_log_path(job.stateDir, status.runId);
            if (copy_into_console_log(task_log_path(job.dir, index), console).empty())
                run.consoleFile = console.string();
        }
        finish(task, outcome, std::move(messages));
    }

    // Reads the status files of the open tasks: the folder is listed once, and only the files
    // found in it are opened (a shared file system is not asked for every task every time).
    void readStatuses(Clock::time_point now) {
        std::set<std::string> present;
        std::error_code ec;
        fs::directory_iterator it(job.dir / std::string(kStatusFolderName), ec);
        for (const fs::directory_iterator end; !ec && it != end; it.increment(ec))
            present.insert(it->path().filename().string());
        if (ec)
            return; // looked at again next time
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            Task& task = tasks[i];
            if (finished(task))
                continue;
            const fs::path path = task_status_path(job.dir, i);
            if (!present.contains(path.filename().string())) {
                task.status.reset(); // a new attempt has begun
                continue;
            }
            const auto text = read_small_file(path);
            const auto status = text ? parse_task_status(*text) : std::nullopt;
            // Damaged, or another batch's or job's: not this task's outcome.
            if (!status || status->batch != job.batchId || status->jobId != jobId)
                continue;
            if (status->attempt < task.latestAttempt)
                continue; // a late word of an attempt that was replaced
            task.latestAttempt = status->attempt;
            if (!task.status || task_status_text(*task.status) != task_status_text(*status)) {
                task.status = status;
                task.statusSince = now;
                // Whether it has left the queue is asked at once.
                nextQueueLook = std::min(nextQueueLook, now);
            }
        }
    }

    void lookAtQueue(Clock::time_point now, const StopRequest* stop) {
        std::vector<std::string> argv = {"squeue", "--array", "--noheader", "--jobs=" + jobId,
                                         "--format=%K %T"};
        const auto clusterArgs = cluster_arguments(cluster);
        argv.insert(argv.begin() + 1, clusterArgs.begin(), clusterArgs.end());
        const CommandOutput answer = commands.run(argv, stop);
        if (answer.interrupted)
            return; // the wait stops the batch now
        // A job squeue does not know has left the queue, once it was seen there or every task
        // has told its outcome. Right after the submission it is an error: asked on the wrong
        // cluster, say.
        const bool unknownJob = answer.err.find("Invalid job id") != std::string::npos &&
                                (everListed || allHaveStatus());
        if (!answer.started || (answer.exitCode != 0 && !unknownJob)) {
            queueInterval = longer(queueInterval);
            nextQueueLook = now + queueInterval;
            if (!queueFailingSince)
                queueFailingSince = now;
            if (now - *queueFailingSince >= timing.queueFailureLimit)
                giveUp(answer);
            return;
        }
        queueFailingSince.reset();
        lastAnswer = now;
        const std::string text = unknownJob ? std::string() : answer.out;
        const auto queued = parse_squeue_tasks(text);
        queueEmpty = squeue_lists_nothing(text);
        everListed = everListed || !queued.empty();
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            Task& task = tasks[i];
            const auto it = queued.find(i);
            task.listed = it != queued.end();
            if (finished(task))
                continue;
            BatchRun& run = runs[task.run];
            if (!task.listed) {
                if (!task.goneSince)
                    task.goneSince = now;
                continue;
            }
            task.goneSince.reset();
            const BatchRunState state =
                it->second == QueueState::Running ? BatchRunState::Running : BatchRunState::Waiting;
            task.seenRunning = task.seenRunning || state == BatchRunState::Running;
            if (run.state != state) {
                run.state = state;
                changed = true;
            }
        }
        // Asked less often while nothing moves; as often as at first once something does.
        queueInterval = text == lastQueueAnswer ? longer(queueInterval) : timing.queueFirst;
        lastQueueAnswer = text;
        nextQueueLook = now + queueInterval;
    }

    bool allHaveStatus() const {
        return std::all_of(tasks.begin(), tasks.end(),
                           [&](const Task& t) { return finished(t) || t.status.has_value(); });
    }

    void giveUp(const CommandOutput& answer) {
        const std::string why = first_line(answer.started ? answer.err : answer.errorText);
        problems.push_back("squeue has failed for " +
                           std::to_string(timing.queueFailureLimit.count() / 1000) +
                           " s, the batch is no longer watched: " + why);
        endTheRest([&](std::size_t i) {
            finish(tasks[i], BatchOutcome::Failed,
                   {"outcome unknown: the task may still run; its status file will be " +
                    task_status_path(job.dir, i).string()});
        });
    }

    // The batch is over: each task not finished yet ends by its status file when it left
    // one, else as `withoutStatus` ends it.
    void endTheRest(const std::function<void(std::size_t)>& withoutStatus) {
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            if (finished(tasks[i]))
                continue;
            if (tasks[i].status)
                finishFromStatus(i);
            else
                withoutStatus(i);
        }
        over = true;
    }

    // Whether a task that has left the queue without a status file had started: squeue saw it
    // running, or its log was opened.
    bool taskStarted(std::size_t index) const {
        std::error_code ec;
        return tasks[index].seenRunning || fs::exists(task_log_path(job.dir, index), ec);
    }

    void settleTasks(Clock::time_point now) {
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            Task& task = tasks[i];
            if (finished(task))
                continue;
            if (task.status) {
                // Final once squeue, asked after the file was read, no longer lists the task.
                if (queueEmpty || (!task.listed && lastAnswer >= task.statusSince))
                    finishFromStatus(i);
                continue;
            }
            if (!task.goneSince)
                continue;
            const bool late = now - *task.goneSince >= timing.statusGrace;
            if (cancelling) {
                if (!taskStarted(i))
                    finish(task, BatchOutcome::NotStarted);
                else if (late)
                    finish(task, BatchOutcome::Stopped);
            } else if (late) {
                finish(task, BatchOutcome::Failed,
                       {"the task left Slurm's queue without a status file (cancelled, out of "
                        "time, or its node failed); see " +
                        task_log_path(job.dir, i).string()});
            }
        }
    }

    bool allFinished() const {
        return std::all_of(tasks.begin(), tasks.end(), [&](const Task& t) { return finished(t); });
    }

    void sendCancel(Clock::time_point now) {
        std::vector<std::string> argv = {"scancel"};
        const auto clusterArgs = cluster_arguments(cluster);
        argv.insert(argv.end(), clusterArgs.begin(), clusterArgs.end());
        argv.push_back(jobId);
        const CommandOutput answer = commands.run(argv, nullptr);
        cancelSent = answer.started && answer.exitCode == 0;
        if (cancelSent)
            return;
        cancelError = first_line(answer.started ? answer.err : answer.errorText);
        cancelInterval = longer(cancelInterval);
        nextCancelTry = now + cancelInterval;
    }

    bool poll(const StopRequest* stop) {
        if (over)
            return true;
        const Clock::time_point now = Clock::now();
        lastPoll = now;
        if (cancelling && !cancelSent && now >= nextCancelTry)
            sendCancel(now);
        readStatuses(now);
        if (!allFinished() || (cancelling && !queueEmpty)) {
            // An array that has left the queue does not come back to it: the tasks still
            // open only wait for their status files.
            // Once the array is being cancelled, the stop has been served: squeue must answer.
            if (!queueEmpty && now >= nextQueueLook)
                lookAtQueue(now, cancelling ? nullptr : stop);
            if (over)
                return true;
            settleTasks(now);
        }
        if (cancelling && now - cancelledAt >= timing.cancelWait && !over) {
            if (!cancelSent)
                problems.push_back("scancel " + jobId + " failed: " + cancelError);
            if (!queueEmpty)
                problems.push_back("tasks of job " + jobId + " were still in Slurm's queue " +
                                   std::to_string(timing.cancelWait.count() / 1000) +
                                   " s after scancel");
            endTheRest([&](std::size_t i) {
                finish(tasks[i], taskStarted(i) ? BatchOutcome::Stopped : BatchOutcome::NotStarted);
            });
            return true;
        }
        // A cancelled batch is over once nothing of it is left in the queue.
        over = allFinished() && (!cancelling || queueEmpty);
        return over;
    }
};

SlurmBatch::SlurmBatch(BatchPreflight preflight, SlurmJob job, SlurmCommands& commands,
                       SlurmTiming timing)
    : impl_(std::make_unique<Impl>(std::move(job), commands, timing)) {
    Impl& d = *impl_;
    d.job.files.clear();
    const bool refused = preflight.refused();
    for (BatchFile& file : preflight.files) {
        if (!refused && file.run.state == BatchRunState::Waiting) {
            Impl::Task task;
            task.run = d.runs.size();
            d.tasks.push_back(std::move(task));
            d.job.files.push_back(file.run.optionsFile);
        }
        d.runs.push_back(std::move(file.run));
    }
    if (refused || d.tasks.empty())
        d.over = true;
}

SlurmBatch::~SlurmBatch() = default;

const SlurmJob& SlurmBatch::job() const {
    return impl_->job;
}
const std::vector<BatchRun>& SlurmBatch::runs() const {
    return impl_->runs;
}
std::size_t SlurmBatch::tasks() const {
    return impl_->tasks.size();
}
const std::string& SlurmBatch::jobId() const {
    return impl_->jobId;
}
const std::string& SlurmBatch::cluster() const {
    return impl_->cluster;
}
bool SlurmBatch::over() const {
    return impl_->over;
}
bool SlurmBatch::cancelling() const {
    return impl_->cancelling;
}
int SlurmBatch::stopSignal() const {
    return impl_->stopSignal;
}
const std::vector<std::string>& SlurmBatch::problems() const {
    return impl_->problems;
}

double SlurmBatch::elapsedSeconds() const {
    return std::chrono::duration<double>(Clock::now() - impl_->started).count();
}

BatchProgress SlurmBatch::progress() const {
    return batch_progress(impl_->runs, elapsedSeconds());
}

std::string SlurmBatch::prepare() {
    return impl_->tasks.empty() ? std::string() : write_slurm_batch_folder(impl_->job);
}

std::string SlurmBatch::submit() {
    Impl& d = *impl_;
    if (d.tasks.empty())
        return {};
    const CommandOutput answer = d.commands.run(sbatch_command(d.job), nullptr);
    const auto submitted =
        answer.started && answer.exitCode == 0 ? parse_sbatch_job_id(answer.out) : std::nullopt;
    if (!submitted) {
        std::string why = first_line(answer.started ? answer.err : answer.errorText);
        // sbatch is not tried again: a submission that only answered late would run twice.
        if (answer.timedOut)
            why += "; the array may have been submitted all the same, as the job " +
                   default_batch_folder_name(d.job.batchId);
        for (Impl::Task& task : d.tasks)
            d.finish(task, BatchOutcome::NotStarted);
        d.over = true;
        return "sbatch failed" + (why.empty() ? std::string() : ": " + why);
    }
    d.jobId = submitted->id;
    d.cluster = submitted->cluster;
    d.submitted = true;
    d.started = Clock::now();
    d.nextQueueLook = d.started + d.timing.queueFirst;
    return {};
}

bool SlurmBatch::poll(const StopRequest* stop) {
    return impl_->poll(stop);
}

std::chrono::milliseconds SlurmBatch::nextPollIn() const {
    const Impl& d = *impl_;
    if (d.over)
        return std::chrono::milliseconds(0);
    // Never sooner than statusLook after the last look, whatever is due.
    const auto sinceLast =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - d.lastPoll);
    return std::clamp(d.timing.statusLook - sinceLast, std::chrono::milliseconds(0),
                      d.timing.statusLook);
}

void SlurmBatch::cancel(int signal) {
    Impl& d = *impl_;
    if (d.cancelling || (d.submitted && d.over))
        return;
    d.cancelling = true;
    d.stopSignal = signal;
    d.cancelledAt = Clock::now();
    if (!d.submitted) {
        for (Impl::Task& task : d.tasks) {
            if (!d.finished(task))
                d.finish(task, BatchOutcome::NotStarted);
        }
        d.over = true;
        return;
    }
    d.sendCancel(d.cancelledAt);
    d.nextQueueLook = Clock::now();
}

void SlurmBatch::wait(const StopRequest* stop, const std::function<void()>& onChange) {
    Impl& d = *impl_;
    auto lastShown = Clock::now();
    while (!poll(stop)) {
        if (stop != nullptr && stop->requested() && !d.cancelling) {
            cancel(stop->signal());
            continue;
        }
        if (onChange && (std::exchange(d.changed, false) ||
                         Clock::now() - lastShown >= std::chrono::seconds(1))) {
            onChange();
            lastShown = Clock::now();
        }
        const auto pause = nextPollIn();
#ifndef _WIN32
        if (stop != nullptr && !d.cancelling) {
            pollfd fd{stop->fd(), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(pause.count()));
            continue;
        }
#endif
        std::this_thread::sleep_for(pause);
    }
    if (onChange)
        onChange();
}

} // namespace kv
