#include "runs/message_view.h"
#include "support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace kv::test {
namespace {

void append(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

TEST(LineIndexTest, LinesMarksAndFind) {
    TempDir dir;
    const std::string path = dir.write(
        "run.msg", "start\r\nWARNING: old data\nvalue 3\n*** Error 12 in packet\nlast, no end");
    LineIndex index;
    ASSERT_TRUE(index.open(path));
    ASSERT_EQ(index.lineCount(), 5u);
    EXPECT_EQ(index.line(0), "start");
    EXPECT_EQ(index.line(1), "WARNING: old data");
    EXPECT_EQ(index.line(4), "last, no end");
    EXPECT_EQ(index.markedLines(), (std::vector<std::size_t>{1, 3}));
    EXPECT_TRUE(index.marked(3));
    EXPECT_FALSE(index.marked(2));

    struct Case {
        const char* text;
        std::size_t from;
        bool forward;
        std::optional<std::size_t> found;
    };
    const Case cases[] = {
        {"VALUE", 0, true, 2},       {"error", 3, true, 3}, // the line itself comes last
        {"start", 2, true, 0},                              // wraps round
        {"data", 0, false, 1},       {"missing", 0, true, std::nullopt},
        {"", 0, true, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(index.find(c.text, c.from, c.forward), c.found) << c.text;
    EXPECT_FALSE(index.open(dir.str() + "/none.msg"));
}

TEST(LineIndexTest, FollowsAGrowingFileAndOneWrittenAnew) {
    TempDir dir;
    const std::string path = dir.write("run.log", "step 1\nstep");
    LineIndex index;
    ASSERT_TRUE(index.open(path));
    EXPECT_EQ(index.lineCount(), 2u);
    EXPECT_FALSE(index.refresh());
    append(path, " 2 warning\nstep 3\n");
    EXPECT_TRUE(index.refresh());
    EXPECT_EQ(index.lineCount(), 3u);
    EXPECT_EQ(index.line(1), "step 2 warning"); // the unended line completed
    EXPECT_EQ(index.markedLines(), (std::vector<std::size_t>{1}));
    dir.write("run.log", "new\n");
    EXPECT_TRUE(index.refresh());
    EXPECT_EQ(index.lineCount(), 1u);
    EXPECT_EQ(index.line(0), "new");
    EXPECT_TRUE(index.markedLines().empty());
}

TEST(MessageFileOpenerTest, TheViewerUnlessTheOutsideEditorWasChosen) {
    TempDir dir;
    EXPECT_EQ(read_message_file_opener(dir.path()), MessageFileOpener::Viewer);
    ASSERT_EQ(write_message_file_opener(dir.path(), MessageFileOpener::OutsideEditor), "");
    EXPECT_EQ(read_file(dir.path() / "kv-viewer.ini"), "editor=outside\n");
    EXPECT_EQ(read_message_file_opener(dir.path()), MessageFileOpener::OutsideEditor);
    ASSERT_EQ(write_message_file_opener(dir.path(), MessageFileOpener::Viewer), "");
    EXPECT_EQ(read_message_file_opener(dir.path()), MessageFileOpener::Viewer);
}

} // namespace
} // namespace kv::test
