#include "shell/slurm_batch.h"
#include "shell/stop_request.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

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

// Task 1 of the job script, run by the shell, starts kvopt with exactly the arguments meant;
// kvopt leaving no status file, the script writes one with kvopt's exit status.
TEST(SlurmJobScript, QuotesEveryPathAndLeavesAStatusWhenKvoptDoesNot) {
    TempDir dir;
    const SlurmJob job = awkward_job(dir);
    dir.write("fake kvopt's", "#!/bin/sh\nprintf '%s\\n' \"$@\" >\"$0.args\"\nexit 7\n");
    fs::permissions(job.kvopt, fs::perms::owner_all, fs::perm_options::add);
    ASSERT_EQ(write_slurm_batch_folder(job), "");

    const ProgramResult r = run_program({"/usr/bin/env", "SLURM_ARRAY_TASK_ID=1", "/bin/sh",
                                         (job.dir / std::string(kJobScriptName)).string()},
                                        dir.str());
    EXPECT_EQ(r.exitCode, 7) << r.err;
    const std::string status = task_status_path(job.dir, 1).string();
    EXPECT_EQ(
        text_lines(read_file(job.kvopt + ".args")),
        (std::vector<std::string>{"--model-dir", job.settings.modeldir, "--data-dir",
                                  job.settings.datadir, "run", "--model-exe", "model $1", "--batch",
                                  job.batchId, "--status-file", status, job.files[1]}));
    EXPECT_FALSE(fs::exists(dir.path() / "pwned"));
    const auto parsed = parse_task_status(read_file(status));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->outcome, BatchOutcome::Failed);
    EXPECT_EQ(parsed->kvoptExitStatus, 7);
    EXPECT_EQ(read_file(job.dir / std::string(kFileListName)), job.files[0] + '\n' + job.files[1] +
                                                                   '\n' + job.files[2] + '\n' +
                                                                   job.files[3] + '\n');

    // The folder of a batch is not taken for another one.
    EXPECT_NE(write_slurm_batch_folder(job).find("holds a batch already"), std::string::npos);
}

// The sbatch command shown to the user is taken back by a shell word for word.
TEST(SlurmJobScript, SbatchCommandAndItsTextAgree) {
    TempDir dir;
    const SlurmJob job = awkward_job(dir);
    const std::vector<std::string> argv = sbatch_command(job);
    const std::string folder = job.dir.string();
    std::string logs = folder;
    logs.replace(logs.find("100%"), 4, "100%%");
    EXPECT_EQ(argv, (std::vector<std::string>{
                        "sbatch", "--parsable", "--job-name=kvbatch-20260712-200509-3fa9c1",
                        "--array=0-3", "--output=" + logs + "/logs/task-%a.out",
                        "--chdir=" + folder, "--partition=debug queue", "--time=00:10:00",
                        "--account=proj's", "--mem=1G", "--qos=low prio", folder + "/job.sh"}));
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
    const auto back = parse_task_status(task_status_text(written));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->outcome, BatchOutcome::Stopped);
    EXPECT_EQ(back->exitStatus, std::nullopt);
    EXPECT_EQ(back->signal, 15);
    EXPECT_EQ(back->start, written.start);
    EXPECT_EQ(back->end, written.end);
    EXPECT_DOUBLE_EQ(back->durationSeconds, 1.5);
    EXPECT_EQ(back->messages, written.messages);

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
    EXPECT_EQ(parse_sbatch_job_id("1234\n"), "1234");
    EXPECT_EQ(parse_sbatch_job_id("1234;cluster\n"), "1234");
    EXPECT_EQ(parse_sbatch_job_id("sbatch: error: Batch job submission failed\n"), std::nullopt);
    EXPECT_EQ(parse_squeue_tasks("0 RUNNING\n1 COMPLETING\r\n6 PENDING\nN/A PENDING\n"),
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
// after running `onQueue` with the call's number.
class ScriptedSlurm : public SlurmCommands {
public:
    CommandOutput run(const std::vector<std::string>& argv) override {
        calls.push_back(argv);
        CommandOutput out;
        out.started = true;
        out.exitCode = 0;
        if (argv.front() == "sbatch") {
            out.out = "4711\n";
        } else if (argv.front() == "squeue") {
            const std::size_t n = squeueCalls++;
            if (onQueue)
                onQueue(n);
            out.out = queue.at(std::min(n, queue.size() - 1));
        }
        return out;
    }
    std::vector<std::vector<std::string>> calls;
    std::vector<std::string> queue;
    std::function<void(std::size_t)> onQueue;
    std::size_t squeueCalls = 0;
};

class SlurmBatchTest : public ::testing::Test {
protected:
    SlurmBatch makeBatch(ScriptedSlurm& slurm, std::size_t files) {
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
        return SlurmBatch(std::move(preflight), std::move(job), slurm,
                          {1ms, 1ms, 4ms, 30ms, 10s, 10s});
    }
    void leaveStatus(const SlurmBatch& batch, std::size_t task, BatchOutcome outcome,
                     std::optional<int> exitStatus, std::optional<int> signal = {}) {
        TaskStatus status;
        status.outcome = outcome;
        status.exitStatus = exitStatus;
        status.signal = signal;
        status.durationSeconds = 0.5;
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
            leaveStatus(batch, 0, BatchOutcome::Ok, 0);
            leaveStatus(batch, 1, BatchOutcome::Failed, 3);
        }
    };
    batch.wait(nullptr);

    const auto& runs = batch.runs();
    EXPECT_EQ(runs[0].outcome, BatchOutcome::Ok);
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
    EXPECT_EQ(slurm.squeueCalls, 4u) << "waited for the queue to be empty";
    const auto& runs = batch.runs();
    EXPECT_EQ(runs[0].outcome, BatchOutcome::Stopped);
    EXPECT_EQ(runs[1].outcome, BatchOutcome::NotStarted);
    EXPECT_EQ(runs[2].outcome, BatchOutcome::NotStarted);
    EXPECT_EQ(batch_exit_status(runs, batch.stopSignal()), 130);
}

} // namespace
} // namespace kv::test
