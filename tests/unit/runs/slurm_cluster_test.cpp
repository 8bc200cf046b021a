// kvopt batch --slurm against a real cluster: the one-node test cluster of
// scripts/slurm-cluster-start, found through SLURM_CONF. Without it these tests skip.
#include "runs/process_group.h"
#include "support/demo_paths.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>
#include <unistd.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Why the test cluster cannot be used; empty when it can. Only the cluster of
// scripts/slurm-cluster-start is used, never a cluster the machine happens to belong to.
std::string no_test_cluster() {
    const char* conf = std::getenv("SLURM_CONF");
    if (conf == nullptr || *conf == '\0')
        return "SLURM_CONF is not set (start the test cluster with scripts/slurm-cluster-start "
               "and source the env file it names)";
    if (read_file(conf).find("ClusterName=kvtest") == std::string::npos)
        return std::string(conf) + " is not the test cluster of scripts/slurm-cluster-start";
    const ProgramResult sinfo = run_program({"/usr/bin/env", "sinfo", "--noheader", "--format=%t"});
    if (sinfo.exitCode != 0)
        return "sinfo fails: " + sinfo.err;
    return {};
}

// A kvopt of its own (its history beside it), a copy of the demo's model directory with a
// model that fails on run3.opt, and options files run0.opt ... writing files of their own.
class SlurmClusterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = no_test_cluster(); !why.empty())
            GTEST_SKIP() << "Slurm tests skipped: " << why;
        if (!demo_refdb_built())
            GTEST_SKIP() << "the demo's reference database is not built";
        fs::create_directories(dir.path() / "bin");
        kvopt = dir.str() + "/bin/kvopt";
        fs::copy_file(kKvopt, kvopt);
        model = dir.str() + "/model";
        fs::copy(kModel, model, fs::copy_options::recursive);
        executable(dir.write("model/picky-model", "#!/bin/sh\n"
                                                  "case \"$1\" in *run3.opt) exit 3 ;; esac\n"
                                                  "exec ./demo-model \"$1\"\n"));
        executable(
            dir.write("model/slow-model", "#!/bin/sh\necho $$ >\"$1.started\"\nexec sleep 60\n"));
    }
    static void executable(const std::string& path) {
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
    }
    std::vector<std::string> optionsFiles(int count) const {
        const std::string demo = read_file(kModel + "/demo.opt");
        std::vector<std::string> files;
        for (int i = 0; i < count; ++i) {
            std::string text = demo;
            for (const std::string ext : {".msg", ".out"}) {
                const std::string from = kModel + "/outputs/demo" + ext;
                text.replace(text.find(from), from.size(),
                             model + "/outputs/run" + std::to_string(i) + ext);
            }
            files.push_back(dir.write("runs/run" + std::to_string(i) + ".opt", text));
        }
        return files;
    }
    std::vector<std::string> batch(const std::vector<std::string>& args) const {
        std::vector<std::string> argv = {kvopt, "--model-dir", model, "batch", "--slurm"};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
    TempDir dir;
    std::string kvopt, model;
};

// Eight runs in one array, one model failing: its outcome is reported for its file, every
// run is in the history with the batch's id, and no job is left in the queue.
TEST_F(SlurmClusterTest, AnArrayReportsEachFilesOutcome) {
    const std::vector<std::string> files = optionsFiles(8);
    const ProgramResult r =
        run_program(batch({"--model-exe", "picky-model", "--json", dir.str() + "/runs"}));
    ASSERT_EQ(r.exitCode, 1) << r.err;
    const auto summary = nlohmann::json::parse(r.out);
    ASSERT_EQ(summary["runs"].size(), 8u) << r.out;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& run = summary["runs"][i];
        EXPECT_EQ(run["file"], files[i]);
        EXPECT_EQ(run["outcome"], i == 3 ? "failed" : "ok") << r.err;
        EXPECT_EQ(run["exit_status"], i == 3 ? 3 : 0);
    }
    EXPECT_EQ(summary["counts"]["ok"], 7);
    EXPECT_EQ(summary["counts"]["failed"], 1);
    EXPECT_TRUE(fs::exists(model + "/outputs/run7.msg"));
    EXPECT_FALSE(fs::exists(model + "/kelvaro.bat")) << "each task of a batch would rewrite it";

    const ProgramResult history = run_program({kvopt, "history", "--json"});
    ASSERT_EQ(history.exitCode, 0) << history.err;
    const auto runs = nlohmann::json::parse(history.out);
    ASSERT_EQ(runs.size(), 8u);
    for (const auto& run : runs)
        EXPECT_EQ(run["batch"], summary["batch"]);
    // The batch folder lies beside the first file.
    EXPECT_TRUE(fs::exists(dir.path() / "runs" /
                           ("kvbatch-" + summary["batch"].get<std::string>()) / "job.sh"));
}

// Ctrl-C while tasks run: the array is cancelled, nothing of it stays in the queue, the
// models end, and kvopt ends with 130 after the summary. The batch folder's name holds what
// sbatch would read as a pattern.
TEST_F(SlurmClusterTest, CtrlCCancelsTheArray) {
    const std::vector<std::string> files = optionsFiles(4);
    const std::string folder = dir.str() + "/batch \\ 100%";
    const std::string err = dir.str() + "/err.txt";
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const std::string out = dir.str() + "/out.txt";
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(errFd, 0);
    ASSERT_GE(outFd, 0);
    const std::vector<std::string> argv =
        batch({"--model-exe", "slow-model", "--json", "--batch-dir", folder, dir.str() + "/runs"});
    LaunchRequest request{argv.front(), {argv.begin() + 1, argv.end()}, dir.str()};
    const Spawned child =
        spawn_program(request, {.stdoutFd = outFd, .nullStdin = true, .stderrFd = errFd});
    ::close(errFd);
    ::close(outFd);
    ASSERT_GT(child.pid, 0);

    const std::string started = files[0] + ".started";
    const auto limit = Clock::now() + std::chrono::seconds(60);
    while (!fs::exists(started) && Clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(fs::exists(started)) << read_file(err);
    const pid_t model = std::stoi(read_file(started));
    const auto sent = Clock::now();
    ::kill(child.pid, SIGINT);
    const LaunchResult ended = wait_for_child(child.pid);
    EXPECT_LT(Clock::now() - sent, std::chrono::seconds(30));
    EXPECT_EQ(ended.exitCode, 130) << read_file(err);

    const std::string text = read_file(err);
    const auto at = text.find("job array ");
    ASSERT_NE(at, std::string::npos) << text;
    const std::string jobId = text.substr(at + 10, text.find(' ', at + 10) - at - 10);
    EXPECT_NE(text.find("Batch stopped: job array " + jobId + " cancelled"), std::string::npos)
        << text;
    const ProgramResult queue =
        run_program({"/usr/bin/env", "squeue", "--noheader", "--jobs=" + jobId});
    EXPECT_EQ(queue.out, "") << "still queued";
    EXPECT_TRUE(::kill(model, 0) != 0 ||
                read_file("/proc/" + std::to_string(model) + "/stat").find(") Z ") !=
                    std::string::npos)
        << "the model still runs";

    const auto summary = nlohmann::json::parse(read_file(out));
    ASSERT_EQ(summary["runs"].size(), 4u);
    EXPECT_EQ(summary["runs"][0]["outcome"], "stopped");
    EXPECT_EQ(summary["counts"]["ok"], 0);
    EXPECT_TRUE(fs::exists(folder + "/logs/task-0.out"));
}

// A stop that comes while sbatch runs cancels the array sbatch submitted, also when kvopt
// would not wait for it. Slurm's commands are stand-ins here: sbatch signals kvopt as the
// user would, and scancel notes what it is asked.
TEST(SlurmStandIns, AStopWhileSbatchRunsCancelsTheArray) {
    if (!demo_refdb_built())
        GTEST_SKIP() << "the demo's reference database is not built";
    TempDir dir;
    const std::string demo = read_file(kModel + "/demo.opt");
    dir.write("runs/one.opt", demo);
    for (const auto& [name, body] : {std::pair{"sbatch", "kill -INT $PPID\necho 4711\n"},
                                     std::pair{"scancel", "echo \"$@\" >>\"$0.calls\"\n"}}) {
        const std::string path =
            dir.write(std::string("bin/") + name, std::string("#!/bin/sh\n") + body);
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
    }
    const ProgramResult r =
        run_program({"/usr/bin/env", "PATH=" + dir.str() + "/bin:/usr/bin:/bin", kKvopt,
                     "--model-dir", kModel, "batch", "--slurm", "--no-wait", dir.str() + "/runs"});
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_EQ(read_file(dir.str() + "/bin/scancel.calls"), "4711\n");
    EXPECT_NE(r.err.find("Batch stopped: job array 4711 cancelled"), std::string::npos) << r.err;
}

// --dry-run needs no cluster: it writes the folder and prints the command without submitting.
TEST(SlurmDryRun, WritesTheFolderAndPrintsTheCommand) {
    if (!demo_refdb_built())
        GTEST_SKIP() << "the demo's reference database is not built";
    TempDir dir;
    const std::string demo = read_file(kModel + "/demo.opt");
    dir.write("a b/one.opt", demo);
    const std::string folder = dir.str() + "/batch folder";
    const ProgramResult r = run_program(
        {kKvopt, "--model-dir", kModel, "batch", "--slurm", "--dry-run", "--partition", "short",
         "--time", "00:05:00", "--sbatch-arg=--mem=1G", "--batch-dir", folder, dir.str() + "/a b"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "sbatch --parsable --job-name=kvbatch-" +
                         r.err.substr(r.err.find("Batch ") + 6, 22) +
                         " --array=0-0 --output=/dev/null '--chdir=" + folder +
                         "' --partition=short --time=00:05:00 --mem=1G '" + folder + "/job.sh'\n");
    EXPECT_EQ(read_file(folder + "/files.txt"), dir.str() + "/a b/one.opt\n");
    EXPECT_NE(fs::status(folder + "/job.sh").permissions() & fs::perms::owner_exec,
              fs::perms::none);
    EXPECT_TRUE(fs::is_directory(folder + "/status"));

    // Options that only make sense with --slurm are refused without it.
    EXPECT_EQ(run_program({kKvopt, "--model-dir", kModel, "batch", "--dry-run", folder}).exitCode,
              2);
}

} // namespace
} // namespace kv::test
