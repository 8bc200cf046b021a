// The pre-flight of a batch: N copies of the demo's options file, each writing message and
// output data files of its own, read, validated against the demo's reports.sqlite and
// compared with each other (the same file named twice, two files writing one output, an
// output landing on an options file of the batch). Nothing runs: what the model does is no
// part of it.
#include "bench_session.h"
#include "runs/batch.h"
#include "runs/batch_runner.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// A folder of `count` options files in the temporary directory, removed at the end.
class BatchFolder {
public:
    explicit BatchFolder(int count)
        : root_(fs::temp_directory_path() /
                ("kvbench-batch-" + std::to_string(std::random_device{}()))) {
        fs::create_directories(root_ / "outputs");
        const std::string demo = read_text(KV_DEMO_DIR "/model/demo.opt");
        for (int i = 0; i < count; ++i) {
            const std::string name = "run" + std::to_string(i);
            std::string text = demo;
            replace_all(text, KV_DEMO_DIR "/model/outputs/demo.",
                        (root_ / "outputs" / name).string() + ".");
            const fs::path file = root_ / (name + ".opt");
            std::ofstream(file, std::ios::binary) << text;
            files_.push_back(file.string());
        }
    }
    ~BatchFolder() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    BatchFolder(const BatchFolder&) = delete;
    BatchFolder& operator=(const BatchFolder&) = delete;

    const std::vector<std::string>& files() const { return files_; }
    const fs::path& root() const { return root_; }

private:
    fs::path root_;
    std::vector<std::string> files_;
};

// Points the demo's session at its data tree; false (the benchmark skipped) when the demo's
// reference database is not built.
bool demo_ready(benchmark::State& state, kvbench::DemoSession& f) {
    if (!f.session || !fs::exists(KV_DEMO_DIR "/model/reports/reports.sqlite")) {
        state.SkipWithError("the demo's reference database is not built");
        return false;
    }
    f.session->settings.datadir = KV_DEMO_DIR "/data";
    return true;
}

void BM_BatchPreflight(benchmark::State& state) {
    kvbench::DemoSession f;
    if (!demo_ready(state, f))
        return;
    const BatchFolder folder(static_cast<int>(state.range(0)));
    const kv::BatchContext context = kv::batch_context(*f.session);
    std::size_t runnable = 0;
    for (auto _ : state) {
        const kv::BatchPreflight preflight = kv::preflight_batch(context, folder.files(), false);
        runnable = preflight.runnable();
        benchmark::DoNotOptimize(runnable);
    }
    if (runnable != folder.files().size())
        state.SkipWithError("not every file of the batch was found usable");
    state.counters["files"] = static_cast<double>(folder.files().size());
}
BENCHMARK(BM_BatchPreflight)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

// This thread's processor time: a slice's own work, whatever else the machine runs.
double thread_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The same check as the Batch window runs it: a slice at a time from its timer, the window's
// events between two slices. The figure is the whole check; "longest_slice_ms" is the longest
// the window waits for its turn (the last slice also compares the files), and
// "longest_slice_cpu_ms" that slice's own processor time.
void BM_BatchWindowCheck(benchmark::State& state) {
    kvbench::DemoSession f;
    if (!demo_ready(state, f))
        return;
    f.session->settings.modelexe = "demo-model"; // a model that ends at once
    const BatchFolder folder(static_cast<int>(state.range(0)));
    f.session->stateDir = folder.root(); // the runs' history goes with the folder
    double longest = 0;
    double longestCpu = 0;
    for (auto _ : state) {
        kv::BatchRunner runner(*f.session);
        runner.add(folder.files());
        runner.run();
        while (runner.checking()) {
            const auto start = std::chrono::steady_clock::now();
            const double startCpu = thread_cpu_ms();
            runner.advance();
            longest = std::max(longest, std::chrono::duration<double, std::milli>(
                                            std::chrono::steady_clock::now() - start)
                                            .count());
            longestCpu = std::max(longestCpu, thread_cpu_ms() - startCpu);
        }
        state.PauseTiming();
        runner.stop();
        while (runner.running())
            runner.advance();
        state.ResumeTiming();
    }
    state.counters["longest_slice_ms"] = longest;
    state.counters["longest_slice_cpu_ms"] = longestCpu;
}
BENCHMARK(BM_BatchWindowCheck)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
