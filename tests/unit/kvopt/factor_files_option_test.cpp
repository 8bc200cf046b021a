// kvopt save --emfac and --detfac: the Emission and Deterioration Factors dialogs' OK.
#include "support/options_text.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

const std::string kKvopt = KV_BINARY_DIR "/bin/kvopt";
const std::string kModel = KV_DEMO_DIR "/model";
const std::string kData = KV_DEMO_DIR "/data";

TEST(KvoptFactorFiles, SetRowsAsTheDialogsOkDoes) {
    if (!fs::exists(kModel + "/reports/reports.sqlite"))
        GTEST_SKIP() << "the demo's reference database is not built";
    TempDir dir;
    const std::string demo = read_file(kModel + "/demo.opt");
    const std::string in = dir.write("demo.opt", demo);
    const std::string noDeter =
        dir.write("nodeter.opt", without_packet(demo, "/DETERIORATE FILES/"));
    const std::string out = dir.str() + "/out.opt";
    const std::string vent = kData + "/emsfac/rmvent.emf";
    const std::string bsfc = kData + "/detfac/bsfc.det";
    const std::string thc = "THC exhaust        : " + kData + "/emsfac/exhthc.emf\r\n";
    const std::string emfacBody =
        demo.substr(demo.find(thc), demo.find("/END/", demo.find(thc)) - demo.find(thc));
    const std::string detBody = "THC exhaust        : " + kData + "/detfac/exhthc.det\r\n" +
                                "CO exhaust         : " + kData + "/detfac/exhco.det\r\n" +
                                "NOX exhaust        : " + kData + "/detfac/exhnox.det\r\n" +
                                "PM exhaust         : " + kData + "/detfac/exhpm.det\r\n";
    struct Case {
        std::string in;
        std::vector<std::string> args;
        int exitCode;
        std::string err;
        // The file expected: the demo with these packet bodies (empty: as it was).
        std::string emfac, deter;
    };
    const std::string keys = "KEY one of 0 \"THC EXHAUST\", 1 \"CO EXHAUST\", 2 \"NOX EXHAUST\", "
                             "3 \"PM EXHAUST\", 4 \"BSFC\", 5 \"CRANKCASE\", 6 \"SPILLAGE\", "
                             "7 \"DIURNAL\", 8 \"TANK PERM\", 9 \"NON-RM HOSE PERM\", 10 \"RM "
                             "FILL NECK PERM\", 11 \"RM SUPPLY/RETURN\", 12 \"RM VENT PERM\", 13 "
                             "\"HOT SOAKS\", 14 \"RUNINGLOSS\"";
    const Case cases[] = {
        // By key in any case and by row; an emptied row is left out of the packet.
        {in,
         {"--emfac", "rm vent perm=" + vent, "--emfac", "0="},
         0,
         "",
         emfacBody.substr(thc.size()) + "RM Vent Perm       : " + vent + "\r\n",
         {}},
        // Deterioration Factors has no edit flag: /EMFAC FILES/ is copied.
        {in,
         {"--detfac", "4=" + bsfc},
         0,
         "",
         {},
         detBody + "BSFC               : " + bsfc + "\r\n"},
        {in,
         {"--emfac", "2=nowhere.emf", "--emfac", "9=" + kData},
         1,
         "nowhere.emf does not exist\n",
         {},
         {}},
        {in,
         {"--emfac", "NOX EXHAUST=nowhere.emf", "--no-check"},
         0,
         "",
         [&] {
             std::string body = emfacBody;
             const auto at = body.find("NOX exhaust        : ") + 21;
             return body.replace(at, body.find("\r\n", at) - at, "nowhere.emf");
         }(),
         {}},
        {in,
         {"--emfac", "15=x"},
         2,
         "kvopt save: --emfac takes KEY=PATH, " + keys + "; not \"15=x\"\n",
         {},
         {}},
        {in,
         {"--detfac", "bsfc"},
         2,
         "kvopt save: --detfac takes KEY=PATH, " + keys + "; not \"bsfc\"\n",
         {},
         {}},
        {in,
         {"--emfac", "1=a.emf\n"},
         2,
         "kvopt save: --emfac takes a path of a single line\n",
         {},
         {}},
        {noDeter,
         {"--detfac", "4=" + bsfc},
         1,
         "kvopt save: --detfac: the options file has no /DETERIORATE FILES/ packet, so no "
         "deterioration factor file would be written\n",
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        fs::remove(out);
        std::vector<std::string> args = {kKvopt, "--model-dir", kModel, "save", c.in, out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramResult r = run_program(args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.err, c.err);
        if (c.exitCode != 0) {
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        std::string expected = demo;
        if (!c.emfac.empty())
            expected = with_packet_body(expected, "/EMFAC FILES/", c.emfac);
        if (!c.deter.empty())
            expected = with_packet_body(expected, "/DETERIORATE FILES/", c.deter);
        const std::string written = read_file(out);
        EXPECT_EQ(written.substr(written.find("\r\n") + 2), expected);
    }
}

} // namespace
} // namespace kv::test
