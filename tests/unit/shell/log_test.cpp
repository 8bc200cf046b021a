#include "shell/log.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

TEST(Log, ARunStartsEmptyAndEndsWithAsterisks) {
    TempDir dir;
    dir.write("region.txt", "an older run\r\n");
    Log log;
    ASSERT_TRUE(start_run_log(log, dir.path()));
    log.write("Period selected");
    end_run_log(log);
    EXPECT_FALSE(log.isOpen());
    log.write("after the end: dropped");
    EXPECT_EQ(read_file(dir.path() / "region.txt"),
              "Starting new run\r\nPeriod selected\r\nEnding run\r\n"
              "****************************\r\n");
}

TEST(Log, AnUnopenableLogIsQuiet) {
    Log log;
    EXPECT_FALSE(start_run_log(log, "/nonexistent/directory"));
    log.write("nothing happens");
    end_run_log(log);
    EXPECT_FALSE(log.isOpen());
}

} // namespace
} // namespace kv::test
