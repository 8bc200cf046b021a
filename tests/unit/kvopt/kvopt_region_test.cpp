// kvopt save --region: the Region dialog from the command line, on the demo installation.
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
    args.insert(args.begin(), {kKvopt, "--model-dir", kModel, "--data-dir", kData});
    return run_program(args);
}

std::vector<std::string> names(const nlohmann::json& list, const char* field) {
    std::vector<std::string> out;
    for (const auto& item : list) {
        const std::string value = item[field];
        out.push_back(value.substr(value.find_last_of('/') + 1));
    }
    return out;
}

TEST(KvoptRegion, ReplacesTheRegionAndRebuildsTheFileLists) {
    if (!demo_refdb_built())
        GTEST_SKIP() << "the demo's reference database is not built";
    TempDir dir;
    const std::string in = dir.str() + "/demo.opt";
    fs::copy_file(kModel + "/demo.opt", in);
    using Names = std::vector<std::string>;
    struct Case {
        std::string region;
        int exitCode;
        std::string err;
        int level;
        Names codes, alloc, pop;
    };
    const Case cases[] = {
        {"state=CA,nv,32",
         0,
         "Nevada already selected\n",
         1,
         {"06000", "32000"},
         {"ca_const.alo", "ca_house.alo", "ca_pop.alo", "nv_const.alo", "nv_house.alo",
          "nv_pop.alo"},
         {"ca.pop", "nv.pop"}},
        {"County=06037, az,06037",
         0,
         "Los Angeles County CA already selected\n",
         2,
         {"06037", "04000"},
         {"ca_const.alo", "ca_house.alo", "ca_pop.alo", "az_golf.alo", "az_house.alo",
          "az_pop.alo"},
         {"ca.pop", "az.pop"}},
        {"50states", 0, "", 0, {}, {"us_farms.alo", "us_house.alo", "us_pop.alo"}, {"us.pop"}},
        {"ustotal=TX",
         0,
         "",
         3,
         {"48000"},
         {"us_farms.alo", "us_house.alo", "us_pop.alo"},
         {"us.pop"}},
        {"state=CA,ZZ", 1, "State or county not found: ZZ\n", -1, {}, {}, {}},
        {"county=06999", 1, "State or county not found: 06999\n", -1, {}, {}, {}},
        {"state=06037", 2, "", -1, {}, {}, {}},
        {"50states=CA", 2, "", -1, {}, {}, {}},
        {"nation", 2, "", -1, {}, {}, {}},
    };
    for (const Case& c : cases) {
        const std::string out = dir.str() + "/out.opt";
        fs::remove(out);
        const ProgramResult r = kvopt({"save", in, out, "--region", c.region});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.region << r.err;
        if (c.exitCode != 0) {
            EXPECT_FALSE(fs::exists(out)) << c.region;
            if (c.exitCode == 1) {
                EXPECT_EQ(r.err, c.err);
            }
            continue;
        }
        EXPECT_EQ(r.err, c.err);
        const ProgramResult shown = kvopt({"show", out});
        ASSERT_EQ(shown.exitCode, 0) << shown.err;
        const auto j = nlohmann::json::parse(shown.out);
        EXPECT_EQ(j["regionlevel"], c.level) << c.region;
        EXPECT_EQ(names(j["regions"], "code"), c.codes) << c.region;
        EXPECT_EQ(names(j["allocfiles"], "allocfile"), c.alloc) << c.region;
        EXPECT_EQ(names(j["popfiles"], "allocfile"), c.pop) << c.region;
    }
}

// --set regionlevel is a click on the level in the dialog and OK. A whole state chosen at the
// county level reads back as that state, so it stays when the level goes to State.
TEST(KvoptRegion, SetRegionLevelChangesTheLevelAsTheDialogDoes) {
    if (!demo_refdb_built())
        GTEST_SKIP() << "the demo's reference database is not built";
    TempDir dir;
    using Names = std::vector<std::string>;
    const std::string countyLevel = dir.str() + "/step3.opt"; // written by the third case
    struct Case {
        std::string in;
        std::vector<std::string> args;
        int level;
        Names codes, alloc, pop;
    };
    const Case cases[] = {
        {kModel + "/demo.opt",
         {"--set", "regionlevel=0"},
         0,
         {},
         {"us_farms.alo", "us_house.alo", "us_pop.alo"},
         {"us.pop"}},
        {kModel + "/county.opt", {"--set", "regionlevel=1"}, 1, {}, {}, {}},
        {kModel + "/demo.opt",
         {"--region", "county=CA,06037"},
         2,
         {"06000", "06037"},
         {"ca_const.alo", "ca_house.alo", "ca_pop.alo"},
         {"ca.pop"}},
        {countyLevel,
         {"--set", "regionlevel=1"},
         1,
         {"06000"},
         {"ca_const.alo", "ca_house.alo", "ca_pop.alo"},
         {"ca.pop"}},
    };
    int step = 0;
    for (const Case& c : cases) {
        const std::string out = dir.str() + "/step" + std::to_string(++step) + ".opt";
        std::vector<std::string> args = {"save", c.in, out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramResult r = kvopt(args);
        ASSERT_EQ(r.exitCode, 0) << step << r.err;
        const ProgramResult shown = kvopt({"show", out});
        ASSERT_EQ(shown.exitCode, 0) << shown.err;
        const auto j = nlohmann::json::parse(shown.out);
        EXPECT_EQ(j["regionlevel"], c.level) << step;
        EXPECT_EQ(names(j["regions"], "code"), c.codes) << step;
        for (const auto& region : j["regions"])
            EXPECT_EQ(region["isState"], region["code"].get<std::string>().ends_with("000"));
        EXPECT_EQ(names(j["allocfiles"], "allocfile"), c.alloc) << step;
        EXPECT_EQ(names(j["popfiles"], "allocfile"), c.pop) << step;
    }
}

} // namespace
} // namespace kv::test
