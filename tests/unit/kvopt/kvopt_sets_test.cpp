// kvopt sweep and diff: a scenario set written from the demo's options file, files compared.
#include "support/demo_paths.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

ProgramResult kvopt(std::vector<std::string> args) {
    return kvopt_on_demo(std::move(args));
}

std::vector<std::string> files_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool holds(const std::string& text, const std::string& line) {
    return text.find(line + "\r\n") != std::string::npos;
}

class KvoptSets : public ::testing::Test {
protected:
    void SetUp() override {
        if (!demo_refdb_built())
            GTEST_SKIP() << "the demo's reference database is not built";
        templ = (dir.path() / "my demo.opt").string();
        fs::copy_file(kModel + "/demo.opt", templ);
    }
    TempDir dir;
    std::string templ;
    fs::path set() const { return dir.path() / "set ü"; }
};

TEST_F(KvoptSets, WritesEveryCombinationNamedAfterItsValues) {
    const ProgramResult r = kvopt({"sweep", templ, "-o", set().string(), "--vary",
                                   "yearstr=2020..2030/5", "--each-region", "state=CA,NV"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> names = {
        "my_demo-yearstr-2020-region-CA.opt", "my_demo-yearstr-2020-region-NV.opt",
        "my_demo-yearstr-2025-region-CA.opt", "my_demo-yearstr-2025-region-NV.opt",
        "my_demo-yearstr-2030-region-CA.opt", "my_demo-yearstr-2030-region-NV.opt"};
    std::vector<std::string> expected = names;
    expected.push_back("sweep.csv");
    EXPECT_EQ(files_in(set()), expected);
    std::string listed;
    for (const std::string& name : names)
        listed += (set() / name).string() + "\n";
    EXPECT_EQ(r.out, listed);
    EXPECT_EQ(read_file(set() / "sweep.csv"),
              "file,yearstr,region\r\n"
              "my_demo-yearstr-2020-region-CA.opt,2020,state=CA\r\n"
              "my_demo-yearstr-2020-region-NV.opt,2020,state=NV\r\n"
              "my_demo-yearstr-2025-region-CA.opt,2025,state=CA\r\n"
              "my_demo-yearstr-2025-region-NV.opt,2025,state=NV\r\n"
              "my_demo-yearstr-2030-region-CA.opt,2030,state=CA\r\n"
              "my_demo-yearstr-2030-region-NV.opt,2030,state=NV\r\n");
    const std::string last = read_file(set() / names.back());
    EXPECT_TRUE(holds(last, "Year of episode    : 2030"));
    EXPECT_TRUE(holds(last, "Nevada             : 32000"));
    EXPECT_FALSE(holds(last, "California         : 06000"));
    // Named as Save as names a new file's outputs: no two files of the set write the same.
    const std::string base = (set() / "my_demo-yearstr-2030-region-NV.").string();
    EXPECT_TRUE(holds(last, "MESSAGE            : " + base + "MSG")) << last;
    EXPECT_TRUE(holds(last, "OUTPUT DATA        : " + base + "OUT"));
    // The set runs as it is: every file passes the batch's check.
    EXPECT_EQ(kvopt({"check", (set() / names.front()).string()}).exitCode, 0);
}

TEST_F(KvoptSets, WritesOneFilePerTableRow) {
    const std::string table = dir.write("cases.csv", "name,yearstr,title1str,region\r\n"
                                                     "Low case,2020,,state=TX\r\n"
                                                     ",2040,Second,\r\n"
                                                     "low CASE,,,\r\n");
    const ProgramResult r = kvopt({"sweep", templ, "-o", set().string(), "--table", table});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(files_in(set()),
              (std::vector<std::string>{"Low_case.opt", "low_CASE-2.opt",
                                        "my_demo-yearstr-2040-title1str-Second.opt", "sweep.csv"}));
    const std::string first = read_file(set() / "Low_case.opt");
    EXPECT_TRUE(holds(first, "Year of episode    : 2020"));
    EXPECT_TRUE(holds(first, "Title 1            : Demonstration run: California and Texas"));
    EXPECT_TRUE(holds(first, "Texas              : 48000"));
    EXPECT_FALSE(holds(first, "California         : 06000"));
    // An empty row is the template, under a name of its own.
    const std::string third = read_file(set() / "low_CASE-2.opt");
    EXPECT_TRUE(holds(third, "Year of episode    : 2026"));
    EXPECT_TRUE(holds(third, "California         : 06000"));
}

TEST_F(KvoptSets, ARefusedVariationWritesNothingUnlessKeepGoing) {
    const std::vector<std::string> args = {"sweep",        templ,       "-o",
                                           set().string(), "--vary",    "yearstr=2020,2060",
                                           "--name",       "y{yearstr}"};
    const ProgramResult refused = kvopt(args);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "Refused: " + (set() / "y2060.opt").string() +
                               "\n  Episode year 2060 is outside allowed range 1970-2050.\n"
                               "kvopt sweep: nothing was written\n");
    EXPECT_FALSE(fs::exists(set()));

    std::vector<std::string> keepGoing = args;
    keepGoing.push_back("--keep-going");
    const ProgramResult kept = kvopt(keepGoing);
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_TRUE(kept.err.starts_with("Left out: " + (set() / "y2060.opt").string() + "\n"))
        << kept.err;
    EXPECT_EQ(files_in(set()), (std::vector<std::string>{"sweep.csv", "y2020.opt"}));

    // A folder that holds files is refused, then written over with --force.
    EXPECT_EQ(kvopt(args).exitCode, 1);
    const ProgramResult again = kvopt({"sweep", templ, "-o", set().string(), "--vary",
                                       "yearstr=2020,2021", "--name", "y{yearstr}"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("holds files already"), std::string::npos) << again.err;
    const ProgramResult forced = kvopt({"sweep", templ, "-o", set().string(), "--vary",
                                        "yearstr=2020,2021", "--name", "y{yearstr}", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(files_in(set()), (std::vector<std::string>{"sweep.csv", "y2020.opt", "y2021.opt"}));
}

TEST_F(KvoptSets, RefusesMalformedOptionsBeforeReading) {
    struct Case {
        std::vector<std::string> options;
        std::string err;
    };
    const Case cases[] = {
        {{"--vary", "nosuch=1,2"}, "kvopt sweep: --vary: unknown scenario item: nosuch\n"},
        {{"--vary", "yearstr=2030..2020/5"},
         "kvopt sweep: a range is FIRST..LAST/STEP in whole numbers, FIRST up to LAST, STEP "
         "above 0\n"},
        {{"--each-region", "state"}, "kvopt sweep: --each-region takes LEVEL=ENTRY,...\n"},
        {{"--vary", "yearstr=2020", "--name", "{nosuch}"},
         "kvopt sweep: --name: {nosuch} names nothing (placeholders: {template}, {n}, {name}, "
         "{region} and value names)\n"},
        {{"--vary", "yearstr=2020", "--table", "x.csv"},
         "kvopt sweep: --table is given instead of --vary and --each-region\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"sweep", templ, "-o", set().string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProgramResult r = kvopt(args);
        EXPECT_EQ(r.exitCode, 2) << c.options.front();
        EXPECT_EQ(r.err, c.err);
        EXPECT_FALSE(fs::exists(set()));
    }
}

// Each packet kind and the lines outside them, changed in a copy of the demo, compared by
// meaning; the files are left as they were.
TEST_F(KvoptSets, DiffNamesEachChangeByPacket) {
    const std::string demo = read_file(templ);
    struct Case {
        std::string from, to;
        std::string packet;
        std::string value = {}, removed = {}, added = {}; // a value's name; entries' fragments
    };
    const Case cases[] = {
        {"Year of episode    : 2026", "Year of episode    : 2030", "/PERIOD/", "yearstr"},
        {"Altitude of region : LOW", "Altitude of region : HIGH", "/OPTIONS/", "altitudestr"},
        {"OUTPUT DATA        : ", "OUTPUT DATA        : /x", "/RUNFILES/", "runfiles.7"},
        {"Texas              : 48000", "Nevada             : 32000", "/REGION/", "", "48000 Texas",
         "32000 Nevada"},
        {"                   :2265004010\r\n", "", "/SOURCE CATEGORY/", "", "2265004010"},
        {"pop/tx.pop\r\n", "pop/tx.pop\r\nPopulation File    : /p/nv.pop\r\n", "/POP FILES/", "",
         "", "Population File    : /p/nv.pop"},
        {"ALLOCATE/tx_house.alo", "ALLOCATE/nv_house.alo", "/ALLOC FILES/", "", "tx_house.alo",
         "nv_house.alo"},
        {"growth/nation.grw", "growth/state.grw", "/GROWTH FILES/", "", "nation.grw", "state.grw"},
        {"emsfac/diurnal.emf", "emsfac/d2.emf", "/EMFAC FILES/", "", "Diurnal: ", "Diurnal: "},
        {"detfac/exhpm.det", "detfac/pm2.det", "/DETERIORATE FILES/", "",
         "PM exhaust: ", "PM exhaust: "},
        {"for inventory work.", "for any work.", ""},
    };
    for (const Case& c : cases) {
        std::string changed = demo;
        const auto at = changed.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        changed.replace(at, c.from.size(), c.to);
        const std::string other = dir.write("other.opt", changed);
        const ProgramResult r = kvopt({"diff", templ, other, "--json"});
        ASSERT_EQ(r.exitCode, 1) << c.from << r.err;
        const auto j = nlohmann::json::parse(r.out);
        EXPECT_EQ(j["same"], false);
        EXPECT_EQ(read_file(other), changed);
        if (c.packet.empty()) {
            EXPECT_EQ(j["packets"].size(), 0u);
            EXPECT_NE(
                j["other_lines"].get<std::string>().find("-for inventory work.\n+for any work.\n"),
                std::string::npos)
                << j["other_lines"];
            continue;
        }
        EXPECT_EQ(j["other_lines"], "") << c.from;
        ASSERT_EQ(j["packets"].size(), 1u) << c.from << j.dump();
        const auto& packet = j["packets"][0];
        EXPECT_EQ(packet["packet"], c.packet);
        const auto holdsFragment = [](const nlohmann::json& list, const std::string& fragment) {
            if (fragment.empty())
                return list.empty();
            return list.size() == 1 &&
                   list[0].get<std::string>().find(fragment) != std::string::npos;
        };
        EXPECT_TRUE(holdsFragment(packet["removed"], c.removed)) << c.from << packet.dump();
        EXPECT_TRUE(holdsFragment(packet["added"], c.added)) << c.from << packet.dump();
        EXPECT_EQ(packet["values"].size(), c.value.empty() ? 0u : 1u) << c.from;
        if (!c.value.empty()) {
            EXPECT_EQ(packet["values"][0]["name"], c.value);
        }
    }
    EXPECT_EQ(read_file(templ), demo);
}

TEST_F(KvoptSets, DiffExitsAsDiffDoes) {
    const std::string copy = dir.write("copy ü.opt", read_file(templ));
    const ProgramResult same = kvopt({"diff", templ, copy});
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_EQ(same.out, "");
    const ProgramResult changed =
        kvopt({"diff", templ, dir.write("b.opt", read_file(templ).replace(0, 7, "Another"))});
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_EQ(changed.out, "--- " + templ + "\n+++ " + dir.str() +
                               "/b.opt\nLines outside the managed packets:\n@@ -1,4 +1,4 @@\n"
                               "-Kelvaro Model Interface demonstration scenario.\n"
                               "+Another Model Interface demonstration scenario.\n"
                               " Every data file named below lies in the demo installation's "
                               "data tree. The\n"
                               " figures in those files are placeholders for trying the "
                               "interface, not data\n"
                               " for inventory work.\n");
    const ProgramResult missing = kvopt({"diff", templ, dir.str() + "/none.opt"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err, "kvopt diff: Cannot read " + dir.str() + "/none.opt\n");
}

} // namespace
} // namespace kv::test
