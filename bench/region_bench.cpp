// Region dialog figures: a click on Texas at the County level, which lists its 254 counties
// from the demo's reports.sqlite; and committing a State-level selection of the 50 states
// with a data tree of 20 allocation files and one population file per state.
#include "advanced/alloc_tables.h"
#include "bench_session.h"
#include "editors/region_dialog.h"
#include "shell/text.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using kv::RegionDialog;

int line_of(const RegionDialog& dialog, const std::string& name) {
    const auto& names = dialog.stateLines();
    return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
}

void BM_ListTexasCounties(benchmark::State& state) {
    kvbench::DemoSession f;
    if (!f.session || !fs::exists(KV_DEMO_DIR "/model/reports/reports.sqlite")) {
        state.SkipWithError("the demo's reference database is not built");
        return;
    }
    f.session->scenario.regionlevel = RegionDialog::CountyLevel;
    RegionDialog dialog(*f.session);
    dialog.load();
    const int texas = line_of(dialog, "Texas");
    for (auto _ : state) {
        dialog.stateClicked(texas);
        benchmark::DoNotOptimize(dialog.countylist().size());
    }
    if (dialog.countylist().size() != 254 || f.ui.messages != 0)
        state.SkipWithError(("not the 254 counties of Texas: " + f.ui.lastMessage).c_str());
    state.counters["counties"] = static_cast<double>(dialog.countylist().size());
}
BENCHMARK(BM_ListTexasCounties)->Unit(benchmark::kMillisecond);

// A data tree in a temporary folder: ALLOCATE with 20 files for each of the 50 states (the
// 18 named allocation codes and two more), POP with one file per state.
class FiftyStateTree {
public:
    explicit FiftyStateTree(const kv::StateList& states)
        : root_(fs::temp_directory_path() /
                ("kvbench-data-" + std::to_string(std::random_device{}()))) {
        fs::create_directories(root_ / "ALLOCATE");
        fs::create_directories(root_ / "pop");
        for (const auto& s : states) {
            if (s->abbr == "DC" || s->abbr == "PR" || s->abbr == "VI")
                continue;
            const std::string abbr = kv::lower(s->abbr);
            for (int n = 1; n <= 18; ++n)
                touch(root_ / "ALLOCATE" / (abbr + std::string(kv::alloc_code(n))));
            touch(root_ / "ALLOCATE" / (abbr + "_extra1.alo"));
            touch(root_ / "ALLOCATE" / (abbr + "_extra2.alo"));
            touch(root_ / "pop" / (abbr + ".pop"));
        }
    }
    ~FiftyStateTree() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    std::string path() const { return root_.string(); }

private:
    static void touch(const fs::path& file) { std::ofstream(file) << "benchmark\n"; }
    fs::path root_;
};

void BM_CommitFiftyStates(benchmark::State& state) {
    kvbench::DemoSession f;
    if (!f.session) {
        state.SkipWithError("no reference database back-end");
        return;
    }
    const FiftyStateTree tree(f.session->statelist);
    f.session->settings.datadir = tree.path();
    f.session->scenario.regionlevel = RegionDialog::StateLevel;
    RegionDialog dialog(*f.session);
    dialog.load();
    for (int line = 0; line < static_cast<int>(dialog.stateLines().size()); ++line) {
        const std::string& name = dialog.stateLines()[static_cast<std::size_t>(line)];
        if (name == "Washington DC" || name == "Puerto Rico" || name == "U.S. Virgin Islands")
            continue;
        dialog.stateClicked(line);
        dialog.add();
    }
    // OK and the closing step: the regions are committed and both lists rebuilt.
    for (auto _ : state) {
        dialog.ok();
        dialog.unload();
    }
    const kv::Scenario& sc = f.session->scenario;
    if (sc.regions.size() != 50 || sc.allocfiles.size() != 1000 || sc.popfiles.size() != 50)
        state.SkipWithError("the lists were not rebuilt as expected");
    state.counters["allocfiles"] = static_cast<double>(sc.allocfiles.size());
}
BENCHMARK(BM_CommitFiftyStates)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
