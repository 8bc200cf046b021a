// kvopt's refdb commands run as a user runs them: exit status and standard output. POSIX
// only (popen and the wait status macros).
#ifndef _WIN32
#include "refdb_test_util.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace kv {
namespace {

namespace fs = std::filesystem;

const std::string kKvopt = std::string(KV_BINARY_DIR) + "/bin/kvopt";

struct KvoptRun {
    int status = -1;
    std::string out; // standard output only
};

// Runs kvopt with arguments that need no quoting beyond single quotes.
KvoptRun kvopt(const std::vector<std::string>& args) {
    std::string command = kKvopt;
    for (const auto& a : args)
        command += " '" + a + "'";
    command += " 2>/dev/null";
    KvoptRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        run.out.append(buf, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

class KvoptRefdb : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kKvopt))
            GTEST_SKIP() << "kvopt has not been built";
    }
};

TEST_F(KvoptRefdb, ExitStatusTellsSuccessFailureAndUsage) {
    const test::TempDir dir;
    const std::string out = test::path_in(dir, "reports.sqlite");
    EXPECT_EQ(kvopt({"refdb-from-csv", test::demo_csv("counties.csv"),
                     test::demo_csv("equipment_types.csv"), out})
                  .status,
              0);
    const KvoptRun exported = kvopt({"refdb-export", out, "EQUIPMENT TYPES"});
    EXPECT_EQ(exported.status, 0);
    EXPECT_EQ(exported.out, test::read_file(test::demo_csv("equipment_types.csv")));
    EXPECT_EQ(kvopt({"refdb-import", out, test::path_in(dir, "copy.sqlite")}).status, 0);
    EXPECT_EQ(kvopt({"refdb-export", test::path_in(dir, "copy.sqlite"), "Nope"}).status, 1);
    EXPECT_EQ(
        kvopt({"refdb-import", test::path_in(dir, "missing.mdb"), test::path_in(dir, "x.sqlite")})
            .status,
        1);
    EXPECT_FALSE(fs::exists(test::path_in(dir, "x.sqlite")));
    EXPECT_EQ(kvopt({"refdb-export", out}).status, 2);
}

// A file cut short after its catalog still yields whole tables, but libmdb prints a line of
// its own on standard output while reading it; the CSV must not contain it.
TEST_F(KvoptRefdb, LibraryNoiseStaysOutOfTheCsv) {
    KV_SKIP_WITHOUT_MDB_FIXTURES();
    const std::string nwind = test::mdb_fixture("nwind.mdb");
    const test::TempDir dir;
    const std::string cut = dir.write("cut.mdb", test::read_file(nwind).substr(0, 800 * 2048));
    const KvoptRun whole = kvopt({"refdb-export", nwind, "Categories"});
    const KvoptRun fromCut = kvopt({"refdb-export", cut, "Categories"});
    ASSERT_EQ(whole.status, 0);
    EXPECT_EQ(fromCut.status, 0);
    EXPECT_EQ(fromCut.out, whole.out);
}

} // namespace
} // namespace kv
#endif
