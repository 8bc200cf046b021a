// Stopping a model run: a stand-in model (a shell script that starts a child process and waits
// for it) is started in its own process group; once the child runs, the clock starts, the stop
// is asked for, and the clock stops when the whole group has ended. Only the stop is timed.
#include "runs/process_group.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct ScratchDir {
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "kv-stop-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
        std::ofstream(path / "model.sh") << "#!/bin/sh\nsleep 30 &\necho $! > started.tmp\n"
                                            "mv started.tmp started\nwait\n";
        fs::permissions(path / "model.sh", fs::perms::owner_all, fs::perm_options::add);
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

void BM_StopModelWithChild(benchmark::State& state) {
    const ScratchDir dir;
    const kv::LaunchRequest request{(dir.path / "model.sh").string(), {}, dir.path.string()};
    double slowest = 0;
    for (auto _ : state) {
        fs::remove(dir.path / "started");
        kv::GroupProcess process(request);
        while (!fs::exists(dir.path / "started"))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto t0 = Clock::now();
        process.stop();
        const kv::LaunchResult result = process.wait();
        const double took = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(took);
        slowest = std::max(slowest, took);
        if (!result.stopped || kv::process_group_alive(process.pid()))
            state.SkipWithError("the group did not end");
    }
    state.counters["slowest_ms"] = slowest * 1000;
}
BENCHMARK(BM_StopModelWithChild)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

BENCHMARK_MAIN();
