#include "runs/slurm_batch.h"
#include "runs/stop_request.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Names a shell would take apart if they reached it unquoted.
const std::string kAwkwardFolder = "it's a \"batch\" $HOME `id` \\ 100%";

SlurmJob awkward_job(const TempDir& dir) {
    SlurmJob job;
    job.batchId = "20260712-200509-3fa9c1";
    job.dir = dir.path() / kAwkwardFolder;
    job.files = {dir.str() + "/a b.opt", dir.str() + "/it's \"$(touch pwned)\".opt",
                 dir.str() + "/ lead and trail \\n ", dir.str() + "/plain.opt"};
    job.kvopt = dir.str() + "/fake kvopt's";
    job.settings.modeldir = dir.str() + "/model dir";
    job.settings.datadir = dir.str() + "/data 'dir'";
    job.settings.modelexe = "model $1";
    job.submit = {"debug queue", "00:10:00", "proj's", {"--mem=1G", "--qos=low prio"}};
    return job;
}

// Task 1 of the job script, run by the shell, starts kvopt with exactly the arguments meant,
// its output in the task's log; kvopt leaving no status file, the script writes one with
// kvopt's exit status, not leaving an earlier attempt's in its place.
TEST(SlurmJobScript, QuotesEveryPathAndLeavesAStatusWhenKvoptDoesNot) {
    TempDir dir;
    const SlurmJob job = awkward_job(dir);
    dir.write("fake kvopt's",
              "#!/bin/sh\nprintf '%s\\n' \"$@\" >\"$0.args\"\necho kvopt ran\nexit 7\n");
    fs::permissions(job.kvopt, fs::perms::owner_all, fs::perm_options::add);
    ASSERT_EQ(write_slurm_batch_folder(job), "");
    const std::string status = task_status_path(job.dir, 1).string();
    TaskStatus earlier;
    earlier.outcome = BatchOutcome::Ok;
    ASSERT_EQ(write_task_status(status, earlier), "");

    const ProgramResult r = run_program(
        {"/usr/bin/env", "SLURM_ARRAY_TASK_ID=1", "SLURM_ARRAY_JOB_ID=4711",
         "SLURM_RESTART_COUNT=2", "/bin/sh", (job.dir / std::string(kJobScriptName)).string()},
        dir.str());
    EXPECT_EQ(r.exitCode, 7) << r.err;
    EXPECT_EQ(text_lines(read_file(job.kvopt + ".args")),
              (std::vector<std::string>{"--model-dir", job.settings.modeldir, "--data-dir",
                                        job.settings.datadir, "run", "--model-exe", "model $1",
                                        "--batch", job.batchId, "--job-id", "4711", "--attempt",
                                        "2", "--status-file", status, job.files[1]}));
    EXPECT_FALSE(fs::exists(dir.path() / "pwned"));
    EXPECT_EQ(read_file(task_log_path(job.dir, 1)), "kvopt ran\n");
    const auto parsed = parse_task_status(read_file(status));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->outcome, BatchOutcome::Failed);
    EXPECT_EQ(parsed->kvoptExitStatus, 7);
    EXPECT_EQ(parsed->batch, job.batchId);
    EXPECT_EQ(parsed->jobId, "4711");
    EXPECT_EQ(parsed->attempt, 2);
    EXPECT_EQ(read_file(job.dir / std::string(kFileListName)), job.files[0] + '\n' + job.files[1] +
                                                                   '\n' + job.files[2] + '\n' +
                                                                   job.files[3] + '\n');

    // Only a new or empty folder is taken: another batch's or a user's own files stay as
    // they are.
    EXPECT_NE(write_slurm_batch_folder(job).find("is not empty"), std::string::npos);
    SlurmJob mine = job;
    mine.dir = dir.path() / "mine";
    dir.write("mine/job.sh", "my own\n");
    EXPECT_NE(write_slurm_batch_folder(mine).find("is not empty"), std::string::npos);
    EXPECT_EQ(read_file(mine.dir / "job.sh"), "my own\n");
    fs::create_directories(dir.path() / "empty");
    mine.dir = dir.path() / "empty";
    EXPECT_EQ(write_slurm_batch_folder(mine), "");
}

// The sbatch command shown to the user is taken back by a shell word for word.
TEST(SlurmJobScript, SbatchCommandAndItsTextAgree) {
    TempDir dir;
    const SlurmJob job = awkward_job(dir);
    const std::vector<std::string> argv = sbatch_command(job);
    const std::string folder = job.dir.string();
    EXPECT_EQ(argv, (std::vector<std::string>{
                        "sbatch", "--parsable", "--job-name=kvbatch-20260712-200509-3fa9c1",
                        "--array=0-3", "--output=/dev/null", "--chdir=" + folder,
                        "--partition=debug queue", "--time=00:10:00", "--account=proj's",
                        "--mem=1G", "--qos=low prio", folder + "/job.sh"}));
    const ProgramResult echoed =
        run_program({"/bin/sh", "-c", "printf '%s\\n' " + command_line_text(argv)});
    EXPECT_EQ(text_lines(echoed.out), argv);
}

TEST(SlurmTaskStatus, ParsesWhatKvoptAndTheScriptWrite) {
    TaskStatus written;
    written.outcome = BatchOutcome::Stopped;
    written.signal = 15;
    written.start = "2026-07-12T20:05:09+02:00";
    written.end = "2026-07-12T20:05:11+02:00";
    written.durationSeconds = 1.5;
    written.messages = {"line one\nline \"two\""};
    written.batch = "b1";
    written.jobId = "4711";
    written.attempt = 1;
    const auto back = parse_task_status(task_status_text(written));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->outcome, BatchOutcome::Stopped);
    EXPECT_EQ(back->exitStatus, std::nullopt);
    EXPECT_EQ(back->signal, 15);
    EXPECT_EQ(back->start, written.start);
    EXPECT_EQ(back->end, written.end);
    EXPECT_DOUBLE_EQ(back->durationSeconds, 1.5);
    EXPECT_EQ(back->messages, written.messages);
    EXPECT_EQ(back->batch, "b1");
    EXPECT_EQ(back->jobId, "4711");
    EXPECT_EQ(back->attempt, 1);

    const struct {
        std::string text;
        std::optional<BatchOutcome> outcome;
        std::optional<int> exitStatus;
    } cases[] = {
        {R"({"outcome": "failed", "exit_status": 3, "duration_s": 0.5})", BatchOutcome::Failed, 3},
        {R"({"outcome": "ok", "exit_status": 0})", BatchOutcome::Ok, 0},
        {R"({"outcome": "failed", "kvopt_exit_status": 127})", BatchOutcome::Failed, {}},
        {R"({"outcome": "ok", "exit_status": "0"})", BatchOutcome::Ok, {}}, // not a number
        {R"({"outcome": "done"})", {}, {}},
        {R"({"exit_status": 0})", {}, {}},
        {R"({"outcome": "ok", "exit_st)", {}, {}}, // cut short
        {"", {}, {}},
    };
    for (const auto& c : cases) {
        const auto status = parse_task_status(c.text);
        ASSERT_EQ(status.has_value(), c.outcome.has_value()) << c.text;
        if (status) {
            EXPECT_EQ(status->outcome, *c.outcome) << c.text;
            EXPECT_EQ(status->exitStatus, c.exitStatus) << c.text;
        }
    }
}

TEST(SlurmOutput, JobIdsAndQueuedTasks) {
    EXPECT_EQ(parse_sbatch_job_id("1234\n"), (SubmittedJob{"1234", ""}));
    EXPECT_EQ(parse_sbatch_job_id("1234;cluster\n"), (SubmittedJob{"1234", "cluster"}));
    EXPECT_EQ(parse_sbatch_job_id("sbatch: error: Batch job submission failed\n"), std::nullopt);
    EXPECT_TRUE(squeue_lists_nothing("CLUSTER: b\n\n"));
    EXPECT_FALSE(squeue_lists_nothing("CLUSTER: b\nN/A PENDING\n"));
    EXPECT_EQ(parse_squeue_tasks("CLUSTER: b\n0 RUNNING\n1 COMPLETING\r\n6 PENDING\nN/A PENDING\n"),
              (std::map<std::size_t, QueueState>{
                  {0, QueueState::Running}, {1, QueueState::Running}, {6, QueueState::Pending}}));
    // Waiting tasks joined on one line still count one by one.
    EXPECT_EQ(parse_squeue_tasks("[2-3,5,7-11:2%4] PENDING\n4-4 RUNNING\n"),
              (std::map<std::size_t, QueueState>{{2, QueueState::Pending},
                                                 {3, QueueState::Pending},
                                                 {4, QueueState::Running},
                                                 {5, QueueState::Pending},
                                                 {7, QueueState::Pending},
                                                 {9, QueueState::Pending},
                                                 {11, QueueState::Pending}}));
}

// Slurm as a script: each squeue call answers the next line of `queue` (the last one stays),
// after running `onQueue` with the call's number; or fails with `squeueError`.
class ScriptedSlurm : public SlurmCommands {
public:
    CommandOutput run(const std::vector<std::string>& argv, const StopRequest* stop) override {
        calls.push_back(argv);
        CommandOutput out;
        out.started = true;
        out.exitCode = 0;
        if (argv.front() == "sbatch") {
            out.out = sbatchAnswer;
        } else if (argv.front() == "squeue") {
            // As the system's commands do: a stop asked for ends the command.
            if (stop != nullptr && stop->requested()) {
                out.started = false;
                out.interrupted = true;
                return out;
            }
            interruptible += stop != nullptr;
            const std::size_t n = squeueCalls++;
            if (onQueue)
                onQueue(n);
            out.out = queue.at(std::min(n, queue.size() - 1));
            if (!squeueError.empty()) {
                out.exitCode = 1;
                out.err = squeueError;
            }
        }
        return out;
    }
    std::vector<std::vector<std::string>> calls;
    std::string sbatchAnswer = "4711\n";
    std::vector<std::string> queue = {""};
    std::string squeueError;
    std::function<void(std::size_t)> onQueue;
    std::size_t squeueCalls = 0;
    std::size_t interruptible = 0; // squeue calls that would give way to a stop
};

class SlurmBatchTest : public ::testing::Test {
protected:
    SlurmBatch makeBatch(ScriptedSlurm& slurm, std::size_t files,
                         SlurmTiming timing = {1ms, 1ms, 4ms, 30ms, 10s, 10s}) {
        BatchPreflight preflight;
        for (std::size_t i = 0; i < files; ++i) {
            BatchFile file;
            file.run.optionsFile = dir.str() + "/run" + std::to_string(i) + ".opt";
            preflight.files.push_back(std::move(file));
        }
        SlurmJob job;
        job.batchId = "b1";
        job.dir = dir.path() / "batch";
        job.kvopt = "/usr/bin/kvopt";
        job.stateDir = dir.path() / "state";
        return SlurmBatch(std::move(preflight), std::move(job), slurm, timing);
    }
    void leaveStatus(const SlurmBatch& batch, std::size_t task, BatchOutcome outcome,
                     std::optional<int> exitStatus, std::optional<int> signal = {}, int attempt = 0,
                     std::string jobId = "4711") {
        TaskStatus status;
        status.outcome = outcome;
        status.exitStatus = exitStatus;
        status.signal = signal;
        status.durationSeconds = 0.5;
        status.batch = "b1";
        status.jobId = std::move(jobId);
        status.attempt = attempt;
        status.runId = "run" + std::to_string(task);
        ASSERT_EQ(write_task_status(task_status_path(batch.job().dir, task), status), "");
    }
    TempDir dir;
};

// Outcomes come from the status files; a task that leaves the queue without one fails once
// the grace period is over.
TEST_F(SlurmBatchTest, OutcomesFromStatusFilesAndTheQueue) {
    ScriptedSlurm slurm;
    SlurmBatch batch = makeBatch(slurm, 3);
    ASSERT_EQ(batch.prepare(), "");
    ASSERT_EQ(batch.submit(), "");
    EXPECT_EQ(batch.jobId(), "4711");
    slurm.queue = {"0 RUNNING\n1 RUNNING\n2 PENDING\n", "2 RUNNING\n", ""};
    slurm.onQueue = [&](std::size_t n) {
        if (n == 1) {
            dir.write("batch/logs/task-0.out", "model output\n");
            leaveStatus(batch, 0, BatchOutcome::Ok, 0);
            leaveStatus(batch, 1, BatchOutcome::Failed, 3);
        }
    };
    batch.wait(nullptr);

    const auto& runs = batch.runs();
    EXPECT_EQ(runs[0].outcome, BatchOutcome::Ok);
    // A final task's log is kept as its run's console log; one without a log has none.
    EXPECT_EQ(runs[0].consoleFile, dir.str() + "/state/runs/run0.log");
    EXPECT_EQ(read_file(runs[0].consoleFile), "model output\n");
    EXPECT_EQ(runs[1].consoleFile, "");
    EXPECT_EQ(runs[1].outcome, BatchOutcome::Failed);
    EXPECT_EQ(runs[1].exitStatus, 3);
    EXPECT_DOUBLE_EQ(runs[1].durationSeconds, 0.5);
    EXPECT_EQ(runs[2].outcome, BatchOutcome::Failed);
    ASSERT_EQ(runs[2].messages.size(), 1u);
    EXPECT_NE(runs[2].messages[0].find("without a status file"), std::string::npos);
    EXPECT_EQ(slurm.calls[1], (std::vector<std::string>{"squeue", "--array", "--noheader",
                                                        "--jobs=4711", "--format=%K %T"}));
    EXPECT_EQ(batch_exit_status(runs, 0), 1);
}

// A stop cancels the whole array; the batch waits until nothing of it is left in the queue.
TEST_F(SlurmBatchTest, AStopCancelsTheArray) {
    ScriptedSlurm slurm;
    SlurmBatch batch = makeBatch(slurm, 3);
    ASSERT_EQ(batch.prepare(), "");
    ASSERT_EQ(batch.submit(), "");
    StopRequest stop;
    slurm.queue = {"0 RUNNING\n1 PENDING\n2 PENDING\n", "0 RUNNING\n1 PENDING\n2 PENDING\n",
                   "0 COMPLETING\n", ""};
    slurm.onQueue = [&](std::size_t n) {
        if (n == 1)
            stop.request(SIGINT);
        if (n == 2) // scancel's SIGTERM reached the model before kvopt could stop it
            leaveStatus(batch, 0, BatchOutcome::Failed, {}, SIGTERM);
    };
    batch.wait(&stop);

    EXPECT_EQ(slurm.calls[3], (std::vector<std::string>{"scancel", "4711"}));
    EXPECT_EQ(slurm.interruptible, 2u);
    EXPECT_EQ(slurm.squeueCalls, 4u) << "waited for the queue to be empty";
    const auto& runs = batch.runs();
    EXPECT_EQ(runs[0].outcome, BatchOutcome::Stopped);
    EXPECT_EQ(runs[1].outcome, BatchOutcome::NotStarted);
    EXPECT_EQ(runs[2].outcome, BatchOutcome::NotStarted);
    EXPECT_EQ(batch_exit_status(runs, batch.stopSignal()), 130);
}

// A task Slurm requeues (preempted, its node failed) is not over at its first attempt's
// status: the latest attempt's counts once the task has left the queue, and a status of
// another job, or a late one of an attempt replaced, is not taken.
TEST_F(SlurmBatchTest, ARequeuedTaskCountsItsLatestAttempt) {
    ScriptedSlurm slurm;
    SlurmBatch batch = makeBatch(slurm, 2);
    ASSERT_EQ(batch.prepare(), "");
    ASSERT_EQ(batch.submit(), "");
    const fs::path first = task_status_path(batch.job().dir, 0);
    slurm.queue = {"0 RUNNING\n1 RUNNING\n", "0 PENDING\n1 RUNNING\n", "0 RUNNING\n1 RUNNING\n",
                   "0 RUNNING\n1 RUNNING\n", "0 COMPLETING\n",         ""};
    slurm.onQueue = [&](std::size_t n) {
        if (n == 0) { // preempted: stopped, to run again
            leaveStatus(batch, 0, BatchOutcome::Stopped, {}, SIGTERM);
            leaveStatus(batch, 1, BatchOutcome::Ok, 0, {}, 0, "999");
        }
        if (n == 2) // the second attempt begins
            fs::remove(first);
        if (n == 3) {
            leaveStatus(batch, 0, BatchOutcome::Ok, 0, {}, 1);
            leaveStatus(batch, 1, BatchOutcome::Failed, 3);
        }
        if (n == 4)
            leaveStatus(batch, 0, BatchOutcome::Failed, 9, {}, 0);
    };
    batch.wait(nullptr);
    const auto& runs = batch.runs();
    EXPECT_EQ(runs[0].outcome, BatchOutcome::Ok);
    EXPECT_EQ(runs[1].outcome, BatchOutcome::Failed);
    EXPECT_EQ(runs[1].exitStatus, 3);
    EXPECT_EQ(slurm.squeueCalls, 6u);
}

// A job sent to another cluster is asked about and cancelled there; a job squeue does not
// know from the start has not left the queue: the batch says it cannot watch it.
TEST_F(SlurmBatchTest, AnotherClusterIsAskedByName) {
    ScriptedSlurm slurm;
    slurm.sbatchAnswer = "4711;north\n";
    SlurmBatch batch = makeBatch(slurm, 2);
    ASSERT_EQ(batch.prepare(), "");
    ASSERT_EQ(batch.submit(), "");
    EXPECT_EQ(batch.cluster(), "north");
    StopRequest stop;
    slurm.queue = {"CLUSTER: north\n0 RUNNING\n1 PENDING\n", "CLUSTER: north\n"};
    slurm.onQueue = [&](std::size_t n) {
        if (n == 0)
            stop.request(SIGTERM);
    };
    batch.wait(&stop);
    EXPECT_EQ(slurm.calls[1],
              (std::vector<std::string>{"squeue", "--clusters=north", "--array", "--noheader",
                                        "--jobs=4711", "--format=%K %T"}));
    EXPECT_EQ(slurm.calls[2], (std::vector<std::string>{"scancel", "--clusters=north", "4711"}));
    EXPECT_EQ(batch.runs()[1].outcome, BatchOutcome::NotStarted);

    ScriptedSlurm elsewhere;
    elsewhere.squeueError = "slurm_load_jobs error: Invalid job id specified\n";
    SlurmBatch lost = makeBatch(elsewhere, 1, {1ms, 1ms, 4ms, 30ms, 50ms, 10s});
    ASSERT_EQ(lost.submit(), "");
    lost.wait(nullptr);
    ASSERT_EQ(lost.problems().size(), 1u);
    EXPECT_EQ(lost.problems()[0], "squeue has failed for 0 s, the batch is no longer watched: "
                                  "slurm_load_jobs error: Invalid job id specified");
    EXPECT_TRUE(lost.runs()[0].messages.at(0).starts_with("outcome unknown"))
        << lost.runs()[0].messages[0];
}

// Once the array has left the queue, the status files still missing are looked for no more
// often than statusLook, not in a busy loop.
TEST_F(SlurmBatchTest, WaitsBetweenLooksAfterTheQueueIsEmpty) {
    ScriptedSlurm slurm;
    SlurmBatch batch = makeBatch(slurm, 1, {10s, 1ms, 4ms, 30s, 10s, 10s});
    ASSERT_EQ(batch.submit(), "");
    std::this_thread::sleep_for(5ms);
    EXPECT_FALSE(batch.poll());
    EXPECT_EQ(slurm.squeueCalls, 1u);
    EXPECT_GT(batch.nextPollIn(), 5s);
}

// The commands of the system are ended when they do not answer in time, or when a stop is
// asked for while one runs, with whatever they have started.
TEST(SlurmCommandsOfTheSystem, EndACommandThatHangsOrIsNoLongerWanted) {
    TempDir dir;
    const std::string pidFile = dir.str() + "/child";
    const CommandOutput hung = system_slurm_commands(1s)->run(
        {"/bin/sh", "-c", "sleep 60 & echo $! >'" + pidFile + "'; wait"}, nullptr);
    EXPECT_FALSE(hung.started);
    EXPECT_TRUE(hung.timedOut);
    EXPECT_EQ(hung.errorText, "/bin/sh did not answer within 1 s");
    // The signal ends the program's child too, a moment later.
    const int child = std::stoi(read_file(pidFile));
    const auto gone = [child] {
        return ::kill(child, 0) != 0 ||
               read_file("/proc/" + std::to_string(child) + "/stat").find(") Z ") !=
                   std::string::npos;
    };
    for (int i = 0; i < 200 && !gone(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(gone());

    StopRequest stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop.request(SIGINT);
    });
    const CommandOutput stopped = system_slurm_commands()->run({"sleep", "60"}, &stop);
    stopper.join();
    EXPECT_TRUE(stopped.interrupted);
    EXPECT_FALSE(stopped.started);
}

} // namespace
} // namespace kv::test
