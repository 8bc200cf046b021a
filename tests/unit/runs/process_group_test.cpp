#include "runs/posix_launcher.h"
#include "runs/process_group.h"
#include "runs/stop_request.h"
#include "support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A stand-in model: a shell script that starts a child, notes its process id and waits.
std::string model_script(const TempDir& dir, const std::string& prelude) {
    const std::string path = dir.write("model.sh", "#!/bin/sh\n" + prelude +
                                                       "\nsleep 30 &\necho $! > child.pid.tmp\n"
                                                       "mv child.pid.tmp child.pid\nwait\n");
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
    return path;
}

// The child's process id, once the script has started it.
pid_t started_child(const TempDir& dir) {
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!fs::exists(dir.path() / "child.pid") && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(5ms);
    pid_t pid = -1;
    std::ifstream(dir.path() / "child.pid") >> pid;
    return pid;
}

// Ended: gone, or waiting to be reaped by init.
bool ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto paren = line.rfind(')');
    return !stat || (paren != std::string::npos && line.substr(paren + 2, 1) == "Z");
}

TEST(ProcessGroupTest, AStopEndsTheModelAndEveryProcessItStarted) {
    struct Case {
        const char* what;
        const char* prelude;
        int signal; // the signal that ended the script
        bool slow;  // the grace period has to run out
    };
    const Case cases[] = {
        {"a model that honours SIGTERM", "", SIGTERM, false},
        {"a model that ignores SIGTERM", "trap '' TERM", SIGKILL, true},
    };
    for (const auto& c : cases) {
        TempDir dir;
        GroupProcess process({model_script(dir, c.prelude), {}, dir.str()});
        ASSERT_TRUE(process.started());
        const pid_t child = started_child(dir);
        ASSERT_GT(child, 0) << c.what;
        EXPECT_EQ(::getpgid(child), process.pid()) << c.what; // the group of its own

        const auto t0 = std::chrono::steady_clock::now();
        process.stop();
        const LaunchResult r = process.wait();
        const auto took = std::chrono::steady_clock::now() - t0;
        EXPECT_TRUE(r.started && r.stopped && r.crashed) << c.what;
        EXPECT_EQ(r.signal, c.signal) << c.what;
        EXPECT_TRUE(ended(child)) << c.what;
        EXPECT_FALSE(process_group_alive(process.pid())) << c.what;
        if (c.slow) {
            EXPECT_GE(took, GroupProcess::kGracePeriod) << c.what;
        }
    }
}

TEST(ProcessGroupTest, AModelThatEndsByItselfIsNotStopped) {
    TempDir dir;
    const std::string path = dir.write("model.sh", "#!/bin/sh\nexit 7\n");
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
    GroupProcess process({path, {}, dir.str()});
    const LaunchResult r = process.wait();
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.stopped || r.crashed);
    EXPECT_EQ(r.exitCode, 7);

    GroupProcess missing({dir.str() + "/no-such-model", {}, dir.str()});
    EXPECT_FALSE(missing.started());
    EXPECT_EQ(missing.wait().errorText, "No such file or directory");
}

// kvopt's way: a stop request made from elsewhere (a signal handler) while the launcher
// waits, and one made before the start.
TEST(ProcessGroupTest, TheLaunchersStopRequestEndsItsWait) {
    TempDir dir;
    PosixLauncher launcher;
    const LaunchRequest request{model_script(dir, ""), {}, dir.str()};
    std::thread stopper([&] {
        started_child(dir);
        launcher.stop();
    });
    const LaunchResult r = launcher.runAndWait(request);
    stopper.join();
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.signal, SIGTERM);

    // The request stays made: the next program is stopped at once.
    fs::remove(dir.path() / "child.pid");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(launcher.runAndWait(request).stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, GroupProcess::kGracePeriod);
}

// The terminal closed: a stop like SIGTERM's, unless the hangup was ignored (nohup).
TEST(StopOnTerminationSignalsTest, AHangupStopsUnlessItIsIgnored) {
    for (const bool ignored : {false, true}) {
        const auto before = std::signal(SIGHUP, ignored ? SIG_IGN : SIG_DFL);
        StopRequest request;
        {
            const StopOnTerminationSignals handlers(request);
            std::raise(SIGHUP);
        }
        EXPECT_EQ(request.requested(), !ignored);
        EXPECT_EQ(request.signal(), ignored ? 0 : SIGHUP);
        EXPECT_EQ(std::signal(SIGHUP, before), ignored ? SIG_IGN : SIG_DFL) << "put back";
    }
}

} // namespace
} // namespace kv::test
