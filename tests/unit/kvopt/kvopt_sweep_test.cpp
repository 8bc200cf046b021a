// kvopt sweep: a scenario set written from the demo's options file.
#include "support/demo_paths.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

ProgramResult kvopt(std::vector<std::string> args) {
    args.insert(args.begin(), {kKvopt, "--model-dir", kModel, "--data-dir", kData});
    return run_program(args);
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

class KvoptSweep : public ::testing::Test {
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

TEST_F(KvoptSweep, WritesEveryCombinationNamedAfterItsValues) {
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

TEST_F(KvoptSweep, WritesOneFilePerTableRow) {
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

TEST_F(KvoptSweep, ARefusedVariationWritesNothingUnlessKeepGoing) {
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

TEST_F(KvoptSweep, RefusesMalformedOptionsBeforeReading) {
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

} // namespace
} // namespace kv::test
