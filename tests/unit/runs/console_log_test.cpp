#include "runs/console_log.h"
#include "runs/stop_request.h"
#include "support/temp_dir.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string script(const TempDir& dir, const std::string& body) {
    const std::string path = dir.write("model.sh", "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
    return path;
}

std::string numbered_lines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "out " + std::to_string(i) + "\nerr " + std::to_string(i) + "\n";
    return text;
}

// The log holds standard output and error in the order they were written, whether the output
// is teed (kvopt run on a terminal) or goes straight into the log (nobody to tee it to).
TEST(ConsoleLogTest, TheLogHoldsOutputAndErrorInOrder) {
    constexpr std::uintmax_t kBig = 50u << 20;
    struct Case {
        const char* what;
        const char* body;
        std::string expected; // empty: only the size is compared
        std::uintmax_t size;
    };
    const Case cases[] = {
        {"alternating",
         "i=1; while [ $i -le 300 ]; do echo out $i; echo err $i >&2; i=$((i+1)); "
         "done",
         numbered_lines(300), 0},
        {"no line end", "printf 'no newline'; printf ' at all' >&2", "no newline at all", 0},
        {"50 MB", "head -c 52428800 /dev/zero", "", kBig},
    };
    for (const Case& c : cases) {
        for (const bool teed : {true, false}) {
            TempDir dir;
            const std::string tee = (dir.path() / "terminal").string();
            const int teeFd = ::open(teed ? tee.c_str() : "/dev/null",
                                     O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            ASSERT_GE(teeFd, 0);
            LaunchRequest request{script(dir, c.body), {}, dir.str()};
            request.consoleFile = console_log_path(dir.path() / "state", "abc123").string();
            const LaunchResult r = run_with_console_log(request, teeFd, nullptr);
            ::close(teeFd);
            const std::string what = std::string(c.what) + (teed ? ", teed" : ", straight");
            EXPECT_TRUE(r.started && r.exitCode == 0) << what;
            EXPECT_EQ(request.consoleFile, dir.str() + "/state/runs/abc123.log");
            if (c.size != 0) {
                EXPECT_EQ(fs::file_size(request.consoleFile), c.size) << what;
                if (teed) {
                    EXPECT_EQ(fs::file_size(tee), c.size) << what;
                }
                continue;
            }
            EXPECT_EQ(read_file(request.consoleFile), c.expected) << what;
            if (teed) {
                EXPECT_EQ(read_file(tee), c.expected) << what;
            }
        }
    }
}

TEST(ConsoleLogTest, AStoppedRunKeepsWhatItWrote) {
    for (const bool teed : {true, false}) {
        TempDir dir;
        LaunchRequest request{script(dir, "echo before; sleep 30 & wait"), {}, dir.str()};
        request.consoleFile = (dir.path() / "runs" / "x.log").string();
        StopRequest stop;
        std::thread stopper([&] {
            while (!fs::exists(request.consoleFile) || read_file(request.consoleFile).empty())
                std::this_thread::sleep_for(10ms);
            stop.request();
        });
        const int teeFd = ::open(teed ? (dir.str() + "/terminal").c_str() : "/dev/null",
                                 O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        const LaunchResult r = run_with_console_log(request, teeFd, &stop);
        stopper.join();
        ::close(teeFd);
        EXPECT_TRUE(r.stopped) << teed;
        EXPECT_EQ(read_file(request.consoleFile), "before\n") << teed;
    }
}

TEST(ConsoleLogTest, OnlyLettersAndDigitsNameALog) {
    EXPECT_TRUE(is_run_id("7k2m9q4x1c"));
    for (const char* bad : {"", "../x", "a/b", "a.log", "a b"})
        EXPECT_FALSE(is_run_id(bad)) << bad;
}

} // namespace
} // namespace kv::test
