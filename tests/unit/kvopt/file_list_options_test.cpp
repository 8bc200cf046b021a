// kvopt save --alloc-add, --alloc-remove, --growth and --pop: the file-list dialogs' actions.
#include "support/demo_paths.h"
#include "support/options_text.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

// The body of a packet of an options file text ("" when it is missing).
std::string packet_body(const std::string& text, const std::string& name) {
    const auto begin = text.find(name + "\r\n");
    if (begin == std::string::npos)
        return "";
    const auto from = begin + name.size() + 2;
    return text.substr(from, text.find("/END/", from) - from);
}

// The text after its first line (the writer's header with the time of writing).
std::string after_header(const std::string& text) {
    return text.substr(text.find('\n') + 1);
}

TEST(KvoptFileLists, EditTheListsAsTheDialogsDo) {
    if (!demo_refdb_built())
        GTEST_SKIP() << "the demo's reference database is not built";
    TempDir dir;
    const std::string demo = dir.str() + "/demo.opt";
    fs::copy_file(kModel + "/demo.opt", demo);
    const std::string out = dir.str() + "/out.opt";
    const std::string alloc = kData + "/ALLOCATE/";
    const std::string extra = dir.write("local/ny_golf.alo", "x");
    const std::string grw = dir.write("local/b.grw", "x");
    dir.write("local/statewide.grw", "x");
    const auto save = [&](std::vector<std::string> options) {
        fs::remove(out);
        std::vector<std::string> argv = {kKvopt, "--model-dir", kModel, "save", demo, out};
        argv.insert(argv.end(), options.begin(), options.end());
        // Relative names are taken from the directory kvopt is started in.
        return run_program(argv, dir.str());
    };
    const ProgramResult base = save({});
    ASSERT_EQ(base.exitCode, 0) << base.err;
    const std::string unchanged = read_file(out);

    struct Case {
        std::vector<std::string> options;
        std::string err;
        std::string packet = {}; // empty: refused, nothing written
        std::string body = {};
        int refusedWith = 1;
    };
    // The allocation dialog's closing note goes to standard error like any message box.
    const std::string note = "Note: Any new Scenario>Region selection will override Allocation\n";
    const Case cases[] = {
        {{"--alloc-remove", alloc + "ca_pop.alo", "--alloc-add", "local/ny_golf.alo",
          "--alloc-remove", alloc + "TX_HOUSE.ALO", "--alloc-add", alloc + "ca_pop.alo"},
         note,
         "/ALLOC FILES/",
         "Family housing     :" + alloc + "ca_house.alo\r\nCensus population  :" + alloc +
             "tx_pop.alo\r\nGolf course estab. :" + extra + "\r\nCensus population  :" + alloc +
             "ca_pop.alo\r\n"},
        {{"--alloc-add", alloc + "tx_pop.alo"},
         "This key is already associated with an element of this collection\n"},
        {{"--alloc-add", "none_pop.alo"}, dir.str() + "/none_pop.alo does not exist.\n"},
        {{"--alloc-add", "none_pop.alo", "--alloc-remove", alloc + "ca_pop.alo", "--alloc-remove",
          alloc + "ca_house.alo", "--alloc-remove", alloc + "tx_house.alo", "--no-check"},
         note,
         "/ALLOC FILES/",
         "Census population  :" + alloc + "tx_pop.alo\r\nCensus population  :" + dir.str() +
             "/none_pop.alo\r\n"},
        {{"--alloc-remove", "ca_pop.alo"},
         "kvopt save: --alloc-remove: ca_pop.alo is not in "
         "the allocation files\n"},
        {{"--growth", "local/b.grw," + grw},
         "",
         "/GROWTH FILES/",
         "Growth FILE        : " + grw + "\r\nGrowth FILE        : " + grw + "\r\n"},
        {{"--growth", ""}, "", "/GROWTH FILES/", ""},
        {{"--growth", "local/statewide.grw"},
         "statewide\nFilename too long: Must be 8 characters max before period\n"},
        {{"--growth", "local/c.grw"}, dir.str() + "/local/c.grw does not exist.\n"},
        {{"--pop", kData + "/pop/tx.pop," + kData + "/pop/TX.POP"},
         kData + "/pop/TX.POP Already Selected\n"},
        // Each path is a line of the options file, even unchecked.
        {{"--pop", "a.pop\n/END/\nb.pop", "--no-check"},
         "kvopt save: --pop takes paths of a single line\n",
         {},
         {},
         2},
        {{"--pop", kData + "/pop/tx.pop"},
         "",
         "/POP FILES/",
         "Population file    :" + kData + "/pop/tx.pop\r\n"},
    };
    for (const Case& c : cases) {
        const std::string name = c.options[0] + " " + c.options[1];
        const ProgramResult r = save(c.options);
        EXPECT_EQ(r.err, c.err) << name;
        if (c.packet.empty()) {
            EXPECT_EQ(r.exitCode, c.refusedWith) << name;
            EXPECT_FALSE(fs::exists(out)) << name;
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << name;
        // Exactly the dialog's packet is regenerated.
        const std::string written = read_file(out);
        EXPECT_EQ(packet_body(written, c.packet), c.body) << name;
        EXPECT_EQ(after_header(written),
                  after_header(with_packet_body(unchanged, c.packet, c.body)))
            << name;
    }
}

} // namespace
} // namespace kv::test
