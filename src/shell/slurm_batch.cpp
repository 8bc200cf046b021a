#include "shell/slurm_batch.h"

#include "shell/stop_request.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <poll.h>
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

std::string slurm_pattern_literal(std::string_view path) {
    std::string literal;
    for (const char c : path) {
        literal += c;
        if (c == '%')
            literal += '%';
    }
    return literal;
}

std::string slurm_job_script(const SlurmJob& job) {
    const std::string dir = shell_quote(job.dir.string());
    std::string kvopt = shell_quote(job.kvopt) + " --model-dir " +
                        shell_quote(job.settings.modeldir) + " --data-dir " +
                        shell_quote(job.settings.datadir) + " run";
    if (!job.settings.modelexe.empty())
        kvopt += " --model-exe " + shell_quote(job.settings.modelexe);
    kvopt += " --batch " + shell_quote(job.batchId) + " --status-file \"$status\" \"$file\"";
    return "#!/bin/sh\n"
           "# Batch " +
           job.batchId +
           " of the Kelvaro Model Interface, written by kvopt batch --slurm.\n"
           "# Task N of the job array runs the core model with kvopt on line N + 1 of " +
           std::string(kFileListName) +
           "\n"
           "# and leaves its outcome in " +
           std::string(kStatusFolderName) +
           "/task-N.json.\n"
           "batch_dir=" +
           dir +
           "\n"
           "task=${SLURM_ARRAY_TASK_ID:?runs only as a task of a Slurm job array}\n"
           "file=$(sed -n \"$((task + 1))p\" \"$batch_dir/" +
           std::string(kFileListName) +
           "\")\n"
           "status=\"$batch_dir/" +
           std::string(kStatusFolderName) + "/task-$task.json\"\n" + kvopt +
           "\n"
           "code=$?\n"
           "# kvopt writes the status itself; it has not when it could not start or ended\n"
           "# before the model ran.\n"
           "if [ ! -s \"$status\" ]; then\n"
           "    printf '{\"outcome\": \"failed\", \"kvopt_exit_status\": %d}\\n' \"$code\" "
           ">\"$status.tmp\" &&\n"
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
        "--output=" + slurm_pattern_literal((job.dir / std::string(kLogFolderName)).string()) +
            "/task-%a.out",
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

} // namespace

std::string write_slurm_batch_folder(const SlurmJob& job) {
    for (const std::string& file : job.files) {
        if (file.find_first_of("\r\n") != std::string::npos)
            return "the name of " + file +
                   " holds a line break, which the job's list of files cannot hold";
    }
    std::error_code ec;
    const fs::path list = job.dir / std::string(kFileListName);
    if (fs::exists(list, ec))
        return job.dir.string() + " holds a batch already: choose another folder";
    for (const auto& folder :
         {job.dir / std::string(kStatusFolderName), job.dir / std::string(kLogFolderName)}) {
        fs::create_directories(folder, ec);
        if (ec)
            return "cannot make the folder " + folder.string() + ": " + ec.message();
    }
    std::string files;
    for (const std::string& file : job.files)
        files += file + '\n';
    const fs::path script = job.dir / std::string(kJobScriptName);
    std::string error = write_text(script, slurm_job_script(job));
    if (error.empty())
        error = write_text(list, files);
    if (!error.empty())
        return error;
    fs::permissions(script, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
    return ec ? "cannot make " + script.string() + " executable: " + ec.message() : std::string();
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

std::optional<std::string> parse_sbatch_job_id(std::string_view out) {
    const std::size_t end = out.find_first_of(";\r\n");
    std::string_view id = out.substr(0, end);
    while (!id.empty() && id.front() == ' ')
        id.remove_prefix(1);
    while (!id.empty() && id.back() == ' ')
        id.remove_suffix(1);
    if (id.empty() ||
        !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::string(id);
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

std::map<std::size_t, QueueState> parse_squeue_tasks(std::string_view out) {
    // States in which a task's processes run (or are being set up or ended).
    constexpr std::string_view kRunning[] = {"RUNNING",   "COMPLETING", "CONFIGURING", "STAGE_OUT",
                                             "SIGNALING", "STOPPED",    "SUSPENDED",   "RESIZING"};
    std::map<std::size_t, QueueState> tasks;
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
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            continue;
        const auto indices = task_indices(line.substr(0, blank));
        if (!indices)
            continue; // "N/A": no task
        const std::string_view state = line.substr(line.find_first_not_of(' ', blank));
        const bool running =
            std::find(std::begin(kRunning), std::end(kRunning), state) != std::end(kRunning);
        for (const std::size_t index : *indices)
            tasks[index] = running ? QueueState::Running : QueueState::Pending;
    }
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

} // namespace

struct SlurmBatch::Impl {
    struct Task {
        std::size_t run = 0;                        // index in runs
        bool seenRunning = false;                   // squeue has listed it as running
        std::optional<Clock::time_point> goneSince; // left the queue (or never found there)
    };

    SlurmJob job;
    SlurmCommands& commands;
    SlurmTiming timing;
    std::vector<BatchRun> runs;
    std::vector<Task> tasks;
    std::string jobId;
    Clock::time_point started = Clock::now();
    bool submitted = false;
    bool over = false;
    bool changed = false;
    bool cancelling = false;
    int stopSignal = 0;
    Clock::time_point cancelledAt;
    bool queueEmpty = false;
    Clock::time_point nextQueueLook;
    std::chrono::milliseconds queueInterval{0};
    std::string lastQueueAnswer;
    std::optional<Clock::time_point> queueFailingSince;
    std::vector<std::string> problems;

    Impl(SlurmJob j, SlurmCommands& c, SlurmTiming t) : job(std::move(j)), commands(c), timing(t) {}

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

    // A status file that has come: the run's outcome.
    bool readStatus(std::size_t index) {
        Task& task = tasks[index];
        const auto text = read_small_file(task_status_path(job.dir, index));
        if (!text)
            return false;
        const auto status = parse_task_status(*text);
        if (!status)
            return false; // being written by hand, or damaged: the queue decides later
        BatchRun& run = runs[task.run];
        run.exitStatus = status->exitStatus;
        run.signal = status->signal;
        run.durationSeconds = status->durationSeconds;
        std::vector<std::string> messages = status->messages;
        if (status->kvoptExitStatus)
            messages.push_back(
                "kvopt ended with status " + std::to_string(*status->kvoptExitStatus) +
                " before the model ran; see " + task_log_path(job.dir, index).string());
        // scancel signals the model and kvopt at once: a model that the signal reached
        // first ends "failed" by it, but was stopped all the same.
        BatchOutcome outcome = status->outcome;
        if (cancelling && outcome == BatchOutcome::Failed &&
            (status->signal || (status->kvoptExitStatus && *status->kvoptExitStatus > 128)))
            outcome = BatchOutcome::Stopped;
        finish(task, outcome, std::move(messages));
        return true;
    }

    void lookAtQueue(Clock::time_point now) {
        const CommandOutput answer =
            commands.run({"squeue", "--array", "--noheader", "--jobs=" + jobId, "--format=%K %T"});
        const bool unknownJob = answer.err.find("Invalid job id") != std::string::npos;
        if (!answer.started || (answer.exitCode != 0 && !unknownJob)) {
            queueInterval =
                std::min(std::max(queueInterval * 2, timing.queueFirst), timing.queueMost);
            nextQueueLook = now + queueInterval;
            if (!queueFailingSince)
                queueFailingSince = now;
            if (now - *queueFailingSince >= timing.queueFailureLimit)
                giveUp(answer);
            return;
        }
        queueFailingSince.reset();
        const std::string text = unknownJob ? std::string() : answer.out;
        const auto queued = parse_squeue_tasks(text);
        queueEmpty = text.find_first_not_of(" \r\n") == std::string::npos;
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            Task& task = tasks[i];
            if (finished(task))
                continue;
            const auto it = queued.find(i);
            BatchRun& run = runs[task.run];
            if (it == queued.end()) {
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
        queueInterval =
            text == lastQueueAnswer
                ? std::min(std::max(queueInterval * 2, timing.queueFirst), timing.queueMost)
                : timing.queueFirst;
        lastQueueAnswer = text;
        nextQueueLook = now + queueInterval;
    }

    void giveUp(const CommandOutput& answer) {
        const std::string why = answer.started ? answer.err : answer.errorText;
        problems.push_back("squeue has failed for " +
                           std::to_string(timing.queueFailureLimit.count() / 1000) +
                           " s, the batch is no longer watched: " + why);
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            if (!finished(tasks[i]))
                finish(tasks[i], BatchOutcome::Failed,
                       {"outcome unknown: the task may still run; its status file will be " +
                        task_status_path(job.dir, i).string()});
        }
        over = true;
    }

    // Whether a task that has left the queue without a status file had started: squeue saw it
    // running, or Slurm opened its log.
    bool taskStarted(std::size_t index) const {
        std::error_code ec;
        return tasks[index].seenRunning || fs::exists(task_log_path(job.dir, index), ec);
    }

    void settleGoneTasks(Clock::time_point now) {
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            Task& task = tasks[i];
            if (finished(task) || !task.goneSince)
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

    bool poll() {
        if (over)
            return true;
        const Clock::time_point now = Clock::now();
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            if (!finished(tasks[i]))
                readStatus(i);
        }
        if (!allFinished() || (cancelling && !queueEmpty)) {
            // An array that has left the queue does not come back to it: the tasks still
            // open only wait for their status files.
            if (!queueEmpty && now >= nextQueueLook)
                lookAtQueue(now);
            if (over)
                return true;
            settleGoneTasks(now);
        }
        if (cancelling && now - cancelledAt >= timing.cancelWait && !over) {
            if (!queueEmpty)
                problems.push_back("tasks of job " + jobId + " were still in Slurm's queue " +
                                   std::to_string(timing.cancelWait.count() / 1000) +
                                   " s after scancel");
            for (std::size_t i = 0; i < tasks.size(); ++i) {
                if (!finished(tasks[i]))
                    finish(tasks[i],
                           taskStarted(i) ? BatchOutcome::Stopped : BatchOutcome::NotStarted);
            }
            over = true;
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
            d.tasks.push_back({d.runs.size(), false, std::nullopt});
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
    const CommandOutput answer = d.commands.run(sbatch_command(d.job));
    const auto id =
        answer.started && answer.exitCode == 0 ? parse_sbatch_job_id(answer.out) : std::nullopt;
    if (!id) {
        std::string why = answer.started ? answer.err : answer.errorText;
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r'))
            why.pop_back();
        for (std::size_t i = 0; i < d.tasks.size(); ++i)
            d.finish(d.tasks[i], BatchOutcome::NotStarted);
        d.over = true;
        return "sbatch failed" + (why.empty() ? std::string() : ": " + why);
    }
    d.jobId = *id;
    d.submitted = true;
    d.started = Clock::now();
    d.nextQueueLook = d.started + d.timing.queueFirst;
    return {};
}

bool SlurmBatch::poll() {
    return impl_->poll();
}

std::chrono::milliseconds SlurmBatch::nextPollIn() const {
    const Impl& d = *impl_;
    const auto untilQueue =
        std::chrono::duration_cast<std::chrono::milliseconds>(d.nextQueueLook - Clock::now());
    return std::clamp(untilQueue, std::chrono::milliseconds(0), d.timing.statusLook);
}

void SlurmBatch::cancel(int signal) {
    Impl& d = *impl_;
    if (d.cancelling || d.over)
        return;
    d.cancelling = true;
    d.stopSignal = signal;
    d.cancelledAt = Clock::now();
    if (!d.submitted) {
        for (Impl::Task& task : d.tasks)
            d.finish(task, BatchOutcome::NotStarted);
        d.over = true;
        return;
    }
    const CommandOutput answer = d.commands.run({"scancel", d.jobId});
    if (!answer.started || answer.exitCode != 0)
        d.problems.push_back("scancel " + d.jobId +
                             " failed: " + (answer.started ? answer.err : answer.errorText));
    d.nextQueueLook = Clock::now();
}

void SlurmBatch::wait(const StopRequest* stop, const std::function<void()>& onChange) {
    Impl& d = *impl_;
    auto lastShown = Clock::now();
    while (!poll()) {
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
