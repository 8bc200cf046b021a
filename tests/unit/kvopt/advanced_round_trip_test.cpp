// Every kind of data file changed as the Advanced options dialogs change it, then saved: the
// save rewrites exactly the packets holding what changed and copies every other one. The
// optional /DAILY FILES/ and /MODELYEAR OUT/ packets appear only where the file read has them.
#include "support/demo_paths.h"
#include "support/options_text.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

struct Change {
    std::vector<std::string> options;
    std::vector<std::string> packets; // the packets the save rewrites
};

TEST(KvoptAdvancedRoundTrip, ASaveRewritesExactlyThePacketsOfWhatChanged) {
    if (!demo_refdb_built())
        GTEST_SKIP() << "the demo's reference database is not built";
    TempDir dir;
    const std::string demo = read_file(kModel + "/demo.opt");
    // The same scenario without the two optional packets.
    const std::string bare =
        without_packet(without_packet(demo, "/DAILY FILES/"), "/MODELYEAR OUT/");
    dir.write("demo.opt", demo);
    dir.write("bare.opt", bare);

    const std::vector<Change> changes = {
        {{"--set", "runfiles.1="}, {"/RUNFILES/"}}, // the Activity default
        {{"--set", "runfiles.10=" + kData + "/RETROFIT/retrofit.dat", "--set",
          "runfiles.1=" + kData + "/TECH/tech-exh.dat"},
         {"/RUNFILES/"}},
        {{"--set", "runfiles.14=" + kData + "/DAILY/daytmp.txt"}, {"/DAILY FILES/"}},
        {{"--set", "bmy_on=1"}, {"/MODELYEAR OUT/"}},
        {{"--emfac", "NOX EXHAUST=" + kData + "/emsfac/bsfc.emf"}, {"/EMFAC FILES/"}},
        {{"--detfac", "0=" + kData + "/detfac/bsfc.det"}, {"/DETERIORATE FILES/"}},
        {{"--alloc-add", kData + "/ALLOCATE/az_golf.alo"}, {"/ALLOC FILES/"}},
        {{"--growth", kData + "/growth/nation.grw," + kData + "/growth/nation.grw"},
         {"/GROWTH FILES/"}},
        {{"--pop", kData + "/pop/az.pop"}, {"/POP FILES/"}},
    };
    for (const std::string in : {"demo.opt", "bare.opt"}) {
        const std::string before = read_file(dir.str() + "/" + in);
        for (const Change& change : changes) {
            std::vector<std::string> args = {kKvopt, "--model-dir",        kModel,
                                             "save", dir.str() + "/" + in, dir.str() + "/out.opt"};
            args.insert(args.end(), change.options.begin(), change.options.end());
            const ProgramResult r = run_program(args);
            ASSERT_EQ(r.exitCode, 0) << in << " " << change.options[1] << r.err;
            const std::string after = read_file(dir.str() + "/out.opt");
            std::vector<std::string> expected = change.packets;
            if (in == "bare.opt" &&
                (expected[0] == "/DAILY FILES/" || expected[0] == "/MODELYEAR OUT/"))
                expected.clear();
            EXPECT_EQ(changed_packets(before, after), expected) << in << " " << change.options[1];
            // Text outside the packets is copied as it was, after the writer's header line.
            const std::regex packet(R"(/[^/\r\n]+/\r?\n[\s\S]*?/END/\r?\n)");
            EXPECT_EQ(std::regex_replace(after.substr(after.find('\n') + 1), packet, ""),
                      std::regex_replace(before, packet, ""))
                << in << " " << change.options[1];
        }
    }
}

} // namespace
} // namespace kv::test
