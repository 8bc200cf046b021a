// kvopt save --emfac and --detfac: the Emission and Deterioration Factors dialogs' OK.
#include "support/demo_paths.h"
#include "support/options_text.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <tuple>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

// The body of packet `name` in `text`, without its name and "/END/" lines.
std::string body(const std::string& text, const std::string& name) {
    const auto begin = text.find(name + "\r\n") + name.size() + 2;
    return text.substr(begin, text.find("/END/", begin) - begin);
}

TEST(KvoptFactorFiles, SetRowsAsTheDialogsOkDoes) {
    if (!demo_refdb_built())
        GTEST_SKIP() << "the demo's reference database is not built";
    TempDir dir;
    const std::string demo = read_file(kModel + "/demo.opt");
    const std::string in = dir.write("demo.opt", demo);
    const std::string out = dir.str() + "/out.opt";
    const std::string vent = kData + "/emsfac/rmvent.emf";
    const std::string bsfc = kData + "/detfac/bsfc.det";
    const std::string emfac = body(demo, "/EMFAC FILES/");
    const std::string nox = kData + "/emsfac/exhnox.emf";
    const auto run = [&](const std::string& file, std::vector<std::string> args) {
        fs::remove(out);
        args.insert(args.begin(), {kKvopt, "--model-dir", kModel, "save", file, out});
        return run_program(args);
    };

    // Written: the demo with these packet bodies (empty: copied as it was).
    struct Written {
        std::vector<std::string> args;
        std::string emfac, deter;
    };
    const Written written[] = {
        // By key in any case and by row; an emptied row is left out of the packet.
        {{"--emfac", "rm vent perm=" + vent, "--emfac", "0="},
         emfac.substr(emfac.find("\r\n") + 2) + "RM Vent Perm       : " + vent + "\r\n",
         {}},
        // Deterioration Factors has no edit flag: /EMFAC FILES/ is copied.
        {{"--detfac", "4=" + bsfc},
         {},
         body(demo, "/DETERIORATE FILES/") + "BSFC               : " + bsfc + "\r\n"},
        {{"--emfac", "NOX EXHAUST=nowhere.emf", "--no-check"},
         std::string(emfac).replace(emfac.find(nox), nox.size(), "nowhere.emf"),
         {}},
    };
    for (const Written& w : written) {
        SCOPED_TRACE(w.args[1]);
        const ProgramResult r = run(in, w.args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, "");
        std::string expected = demo;
        if (!w.emfac.empty())
            expected = with_packet_body(expected, "/EMFAC FILES/", w.emfac);
        if (!w.deter.empty())
            expected = with_packet_body(expected, "/DETERIORATE FILES/", w.deter);
        const std::string text = read_file(out);
        EXPECT_EQ(text.substr(text.find("\r\n") + 2), expected);
    }

    // A file read without /DETERIORATE FILES/ gets the packet at its end.
    const std::string noDeter = without_packet(demo, "/DETERIORATE FILES/");
    const ProgramResult added = run(dir.write("nodeter.opt", noDeter), {"--detfac", "4=" + bsfc});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    const std::string text = read_file(out);
    EXPECT_EQ(text.substr(text.find("\r\n") + 2),
              noDeter + "/DETERIORATE FILES/\r\nBSFC               : " + bsfc + "\r\n/END/\r\n");

    // Refused: the message, the exit status and no file.
    const std::tuple<std::string, std::vector<std::string>, int, std::string> refused[] = {
        {in,
         {"--emfac", "2=nowhere.emf", "--emfac", "9=" + kData},
         1,
         "nowhere.emf does not exist\n"},
        {in,
         {"--emfac", "15=x"},
         2,
         "kvopt save: --emfac takes KEY=PATH, KEY one of 0 \"THC EXHAUST\", 1 "},
        {in, {"--detfac", "bsfc"}, 2, "kvopt save: --detfac takes KEY=PATH, KEY one of 0 "},
        {in, {"--emfac", "1=a.emf\n"}, 2, "kvopt save: --emfac takes a path of a single line\n"},
    };
    for (const auto& [file, args, exitCode, err] : refused) {
        SCOPED_TRACE(args[1]);
        const ProgramResult r = run(file, args);
        EXPECT_EQ(r.exitCode, exitCode);
        EXPECT_TRUE(r.err.starts_with(err)) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

} // namespace
} // namespace kv::test
