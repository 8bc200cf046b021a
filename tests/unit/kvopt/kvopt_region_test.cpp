// kvopt save --region: the Region dialog from the command line, on the demo installation.
#include "support/demo_paths.h"
#include "support/options_text.h"
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
    // A whole state chosen at the county level, as the writer writes it.
    const std::string wholeState =
        dir.write("whole-state.opt", with_packet_body(read_file(in), "/REGION/",
                                                      "Region Level       : COUNTY\r\n"
                                                      "All California     : 06000\r\n"));
    using Names = std::vector<std::string>;
    // `region` is --region's value; "regionlevel=N" is given to --set, through the same dialog.
    struct Case {
        std::string region;
        int exitCode;
        std::string err;
        int level;
        Names codes, alloc, pop;
        std::string from = {}; // the demo when empty
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
        {"regionlevel=0", 0, "", 0, {}, {"us_farms.alo", "us_house.alo", "us_pop.alo"}, {"us.pop"}},
        {"regionlevel=1",
         0,
         "",
         1,
         {"06000"},
         {"ca_const.alo", "ca_house.alo", "ca_pop.alo"},
         {"ca.pop"},
         wholeState},
        {"state=CA,ZZ", 1, "State or county not found: ZZ\n", -1, {}, {}, {}},
        {"county=06999", 1, "State or county not found: 06999\n", -1, {}, {}, {}},
        {"state=06037", 2, "", -1, {}, {}, {}},
        {"50states=CA", 2, "", -1, {}, {}, {}},
        {"nation", 2, "", -1, {}, {}, {}},
    };
    for (const Case& c : cases) {
        const std::string out = dir.str() + "/out.opt";
        fs::remove(out);
        const ProgramResult r =
            kvopt({"save", c.from.empty() ? in : c.from, out,
                   c.region.starts_with("regionlevel=") ? "--set" : "--region", c.region});
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

} // namespace
} // namespace kv::test
