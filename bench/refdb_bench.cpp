// Reference database figures: the first load of a reference file, an open served from the
// cache, and the look-ups that validation runs for a nationwide options file (one per county
// and one per source category line).
#include "optionsfile/csv.h"
#include "optionsfile/reference_db.h"
#include "optionsfile/reference_files.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The demo data as a SQLite reference file, written once for the whole run.
class DemoFile {
public:
    DemoFile()
        : path_((fs::temp_directory_path() /
                 ("kvbench-reports-" + std::to_string(std::random_device{}()) + ".sqlite"))
                    .string()),
          counties_(kv::read_csv_file(KV_SOURCE_DIR "/demo/counties.csv").data),
          equipment_(kv::read_csv_file(KV_SOURCE_DIR "/demo/equipment_types.csv").data) {
        kv::reference_db_from_csv(KV_SOURCE_DIR "/demo/counties.csv",
                                  KV_SOURCE_DIR "/demo/equipment_types.csv", path_);
    }
    ~DemoFile() {
        std::error_code ec;
        fs::remove(path_, ec);
    }
    const std::string& path() const { return path_; }
    const kv::RecordSet& counties() const { return counties_; }
    const kv::RecordSet& equipment() const { return equipment_; }

private:
    std::string path_;
    kv::RecordSet counties_;
    kv::RecordSet equipment_;
};

const DemoFile& demo() {
    static const DemoFile file;
    return file;
}

kv::JetQuery region_lookup(const std::string& code) {
    kv::JetQuery q("SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=");
    q.appendQuoted(code).append(");");
    return q;
}

kv::JetQuery scc_lookup(const std::string& scc) {
    kv::JetQuery q("SELECT DISTINCTROW  [Equipment Types].SCC, [Equipment Types].EQUIP,[Equipment "
                   "Types].[Engine Type], [Equipment Types].Classification ");
    q.append("FROM [Equipment Types] WHERE (SCC=").appendQuoted(scc).append(");");
    return q;
}

void BM_FirstLoad(benchmark::State& state) {
    const std::string& path = demo().path();
    for (auto _ : state) {
        auto opener = kv::make_reference_db_opener();
        benchmark::DoNotOptimize(opener->open(path));
    }
}
BENCHMARK(BM_FirstLoad)->Unit(benchmark::kMillisecond);

void BM_CachedOpen(benchmark::State& state) {
    auto opener = kv::make_reference_db_opener();
    opener->open(demo().path());
    for (auto _ : state)
        benchmark::DoNotOptimize(opener->open(demo().path()));
}
BENCHMARK(BM_CachedOpen)->Unit(benchmark::kMicrosecond);

// 3,224 county look-ups: every county of the demo data (the state rows left out).
void BM_RegionLookups(benchmark::State& state) {
    auto db = kv::make_reference_db_opener()->open(demo().path());
    std::vector<kv::JetQuery> queries;
    for (const auto& row : demo().counties().rows) {
        if (!row[0].ends_with("000"))
            queries.push_back(region_lookup(row[0]));
    }
    for (auto _ : state) {
        for (const auto& q : queries)
            benchmark::DoNotOptimize(db->query(q));
    }
    state.counters["lookups"] = static_cast<double>(queries.size());
}
BENCHMARK(BM_RegionLookups)->Unit(benchmark::kMillisecond);

// 300 SCC look-ups: every code of the demo data, then codes that are not there.
void BM_SccLookups(benchmark::State& state) {
    auto db = kv::make_reference_db_opener()->open(demo().path());
    std::vector<kv::JetQuery> queries;
    for (const auto& row : demo().equipment().rows)
        queries.push_back(scc_lookup(row[0]));
    for (int i = 0; queries.size() < 300; ++i)
        queries.push_back(scc_lookup("99990000" + std::to_string(10 + i)));
    for (auto _ : state) {
        for (const auto& q : queries)
            benchmark::DoNotOptimize(db->query(q));
    }
    state.counters["lookups"] = static_cast<double>(queries.size());
}
BENCHMARK(BM_SccLookups)->Unit(benchmark::kMillisecond);

// One Add of the Sources dialog: three Like patterns over the equipment table.
void BM_SourcesLikeQuery(benchmark::State& state) {
    auto db = kv::make_reference_db_opener()->open(demo().path());
    kv::JetQuery q("SELECT DISTINCTROW SCC,EQUIP,CLASSIFICATION,[Engine Type] from [EQUIPMENT "
                   "TYPES] WHERE SCC LIKE ");
    q.appendQuoted("##[!8]#######").append(" OR SCC LIKE ").appendQuoted("22850#####");
    q.append(" OR SCC LIKE ").appendQuoted("22820#####").append(";");
    for (auto _ : state)
        benchmark::DoNotOptimize(db->query(q));
}
BENCHMARK(BM_SourcesLikeQuery)->Unit(benchmark::kMicrosecond);

#ifdef KV_MDB_FIXTURES
// The Access reader on a fixture file: open, check the catalog and read a 2,155-row table.
void BM_AccessReadTable(benchmark::State& state) {
    for (auto _ : state) {
        const kv::DatabaseFile file(KV_MDB_FIXTURES "/nwind.mdb");
        benchmark::DoNotOptimize(file.readTable("Order Details"));
    }
}
BENCHMARK(BM_AccessReadTable)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
