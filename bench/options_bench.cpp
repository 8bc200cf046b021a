// Opening and saving a nationwide options file: every county of the demo's reference data at
// level COUNTY and 300 source categories, read and checked against the demo's reference
// database, then written with every managed packet regenerated.
#include "bench_session.h"
#include "optionsfile/reader.h"
#include "optionsfile/writer.h"
#include "shell/session.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <sstream>

namespace {

using namespace kv;

std::vector<std::string> csv_first_column(const std::string& path, bool countiesOnly) {
    std::ifstream in(path);
    std::vector<std::string> codes;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const std::string code = line.substr(0, line.find(','));
        if (!countiesOnly || code.substr(2) != "000")
            codes.push_back(code);
    }
    return codes;
}

// A complete options file at level COUNTY naming `countyCount` counties and 300 sources.
std::string nationwide_file(std::size_t countyCount) {
    static const auto counties = csv_first_column(KV_SOURCE_DIR "/demo/counties.csv", true);
    static const auto sccs = csv_first_column(KV_SOURCE_DIR "/demo/equipment_types.csv", false);
    std::ifstream demo(KV_SOURCE_DIR "/demo/model/demo.opt.in", std::ios::binary);
    std::stringstream buffer;
    buffer << demo.rdbuf();
    std::string text = buffer.str();

    std::string region = "/REGION/\r\nRegion Level       : COUNTY\r\n";
    for (std::size_t i = 0; i < countyCount; ++i)
        region += "County             : " + counties[i % counties.size()] + "\r\n";
    std::string sources = "/SOURCE CATEGORY/\r\n";
    for (std::size_t i = 0; i < 300; ++i)
        sources += "                   :" + sccs[i % sccs.size()] + "\r\n";

    auto replace_packet = [&text](const std::string& name, const std::string& packet) {
        const auto begin = text.find(name);
        const auto end = text.find("/END/\r\n", begin);
        text.replace(begin, end - begin, packet);
    };
    replace_packet("/REGION/", region);
    replace_packet("/SOURCE CATEGORY/", sources);
    return text;
}

using Fixture = kvbench::DemoSession;

void BM_ReadAndValidate(benchmark::State& state) {
    Fixture f;
    if (!f.session) {
        state.SkipWithError("no reference database back-end");
        return;
    }
    const std::string text = nationwide_file(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::istringstream in(text);
        const ReadOutcome outcome = read_options_stream(*f.session, in, "/tmp/nation.opt");
        if (outcome != ReadOutcome::Loaded || f.ui.messages != 0) {
            state.SkipWithError(("read failed: " + f.ui.lastMessage).c_str());
            return;
        }
    }
    state.counters["regions"] = static_cast<double>(f.session->scenario.regions.size());
    state.counters["sources"] = static_cast<double>(f.session->scenario.sourceCount());
}
BENCHMARK(BM_ReadAndValidate)->Arg(322)->Arg(3224)->Unit(benchmark::kMillisecond);

void BM_Write(benchmark::State& state) {
    Fixture f;
    if (!f.session) {
        state.SkipWithError("no reference database back-end");
        return;
    }
    const std::string text = nationwide_file(3224);
    std::istringstream in(text);
    read_options_stream(*f.session, in, "/tmp/nation.opt");
    Scenario& sc = f.session->scenario;
    sc.changed_options = sc.changed_period = sc.changed_region = sc.changed_pop = sc.changed_alloc =
        sc.changed_growth = sc.changed_emfac = true;
    for (auto _ : state) {
        std::istringstream templ(text);
        std::ostringstream out;
        const WriteResult result =
            write_options_stream(sc, templ, out, PathRules::posix(), "12/7/2026 8:15:09 PM");
        benchmark::DoNotOptimize(result.ok);
    }
}
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
