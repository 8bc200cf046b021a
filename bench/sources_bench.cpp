// The Sources dialog's Add of "All Segments", "All Fuels", "Add Equipment": through the
// dialog's logic, on the demo's reference database (model/reports/reports.sqlite, built with
// the demo installation), from the click to the last line added.
#include "bench_session.h"
#include "editors/sources_dialog.h"
#include "shell/session.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

using kvbench::NoLauncher;
using kvbench::QuietInterface;

// Add onto a list that holds `state.range(0)` other codes beforehand.
void BM_SourcesAddAllSegmentsAllFuelsEquipment(benchmark::State& state) {
    QuietInterface ui;
    NoLauncher launcher;
    const auto opener = kv::make_reference_db_opener();
    kv::Session session(ui, launcher, *opener, fs::temp_directory_path(), kv::PathRules::posix());
    session.settings.modeldir = KV_DEMO_DIR "/model";
    kv::Scenario& sc = session.scenario;
    const auto fill = [&] {
        sc.resetSources();
        sc.sources_on = true;
        for (long i = 0; i < state.range(0); ++i)
            sc.appendSource({"X" + std::to_string(1000000000 + i).substr(1), "other"});
    };
    kv::SourcesDialog dialog(session);
    const auto add = [&] {
        dialog.segmentClick(kv::SourcesDialog::kAllSegments);
        dialog.fuelClick(0);
        return dialog.add(kv::SourcesDialog::AddEquipment);
    };
    // The first open loads the database file; an open dialog finds it loaded.
    fill();
    dialog.load();
    if (!add()) {
        state.SkipWithError(ui.lastMessage.c_str());
        return;
    }
    std::size_t added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fill();
        dialog.load();
        state.ResumeTiming();
        add();
        added = sc.sourceCount() - static_cast<std::size_t>(state.range(0));
    }
    state.counters["added"] = static_cast<double>(added);
}
BENCHMARK(BM_SourcesAddAllSegmentsAllFuelsEquipment)
    ->Arg(0)
    ->Arg(30000)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
