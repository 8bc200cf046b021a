#include "shell/dialog_helpers.h"
#include "shell/path_rules.h"
#include "shell/status.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

namespace kv::test {
namespace {

TEST(Check83Name, MeasuresOnlyThePartBeforeTheFirstPeriod) {
    struct Case {
        const char* path;
        bool accepted;
        const char* shownPart;
    };
    const Case cases[] = {
        {"C:\\RUNS\\LONGNAME1.OPT", false, "LONGNAME1"},
        {"/runs/SHORT.LONGEXT", true, ""},
        {"/runs/RUNFILE", true, ""},
        {"/runs/RUNFILES1", false, "RUNFILES1"},
        {"A.B.C.OPT", true, ""},
        {"/very/long/directory/name/x.opt", true, ""},
        {"EIGHTCHR.OPT", true, ""},
        {"\xC3\xA9t\xC3\xA9t\xC3\xA9.opt", true, ""},
        // UTF-8 names are measured in characters: 8 characters in 10 bytes pass.
        {"/runs/Größe123.opt", true, ""},
        {"/runs/Größe1234.opt", false, "Größe1234"},
        {"/runs/日本語.opt", true, ""},
        // A byte that is not UTF-8 counts as one character.
        {"/runs/ABCDEFG\xFF.opt", true, ""},
        {"/runs/ABCDEFG\xFF\xFE.opt", false, "ABCDEFG\xFF\xFE"},
    };
    for (const auto& c : cases) {
        ScriptedUserInterface ui;
        EXPECT_EQ(check_83_name(c.path, ui), c.accepted) << c.path;
        if (c.accepted) {
            EXPECT_TRUE(ui.messages.empty());
        } else {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].text, std::string(c.shownPart) +
                                               "\nFilename too long: Must be 8 characters max "
                                               "before period");
            EXPECT_EQ(ui.messages[0].title, "US XQB KELVARO MODEL");
            EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
        }
    }
}

TEST(PathParts, SplitAtTheLastSeparatorOfEitherKind) {
    struct Case {
        const char* path;
        const char* file;
        const char* dir;
    };
    const Case cases[] = {
        {"C:\\RUNS\\TEST1.OPT", "TEST1.OPT", "C:\\RUNS"},
        {"/home/ann/a.opt", "a.opt", "/home/ann"},
        {"plain.opt", "plain.opt", ""},
        {"/top.opt", "top.opt", ""},
        {"mixed\\dir/x", "x", "mixed\\dir"},
        {"trailing/", "", "trailing"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(file_name_part(c.path), c.file) << c.path;
        EXPECT_EQ(dir_part(c.path), c.dir) << c.path;
    }
}

TEST(SplitDialogPath, TakesTheDirectoryBeforeTheFileTitle) {
    struct Case {
        const char* path;
        const char* title;
        const char* dir;
    };
    const Case cases[] = {
        {"C:\\RUNS\\TEST1.OPT", "TEST1.OPT", "C:\\RUNS"},
        {"/home/ann/runs/a.opt", "a.opt", "/home/ann/runs"},
        // A directory named like the file does not cut the path short.
        {"/data/a.opt/a.opt", "a.opt", "/data/a.opt"},
        {"/x/run/run", "run", "/x/run"},
    };
    for (const auto& c : cases) {
        const DirAndFile split = split_dialog_path(c.path, c.title);
        EXPECT_EQ(split.dir, c.dir) << c.path;
        EXPECT_EQ(split.file, c.title);
    }
}

TEST(PathRules, BothPlatforms) {
    const PathRules win = PathRules::windows();
    const PathRules posix = PathRules::posix();
    EXPECT_EQ(win.join("C:\\MODEL", "TEST.OPT"), "C:\\MODEL\\TEST.OPT");
    EXPECT_EQ(posix.join("/model", "test.opt"), "/model/test.opt");
    EXPECT_EQ(posix.join("/model/", "test.opt"), "/model/test.opt");
    EXPECT_EQ(win.readPath("c:\\Runs\\a.opt"), "C:\\RUNS\\A.OPT");
    EXPECT_EQ(win.writePath("C:\\RUNS\\A.OPT"), "c:\\runs\\a.opt");
    EXPECT_EQ(posix.readPath("/home/Ann/Runs/A.OPT"), "/home/Ann/Runs/A.OPT");
    EXPECT_EQ(posix.writePath("/home/Ann/Runs/A.OPT"), "/home/Ann/Runs/A.OPT");
    EXPECT_TRUE(win.isAbsolute("C:\\MODEL"));
    EXPECT_TRUE(win.isAbsolute("\\\\server\\share"));
    EXPECT_FALSE(win.isAbsolute("OUTPUTS"));
    EXPECT_TRUE(posix.isAbsolute("/model"));
    EXPECT_FALSE(posix.isAbsolute("outputs"));
    EXPECT_FALSE(posix.isAbsolute("c:outputs"));
    EXPECT_EQ(posix.nativeSeparators("a\\b/c"), "a/b/c");
    EXPECT_EQ(win.nativeSeparators("a\\b/c"), "a\\b\\c");
}

TEST(FileExists, FindsPathsWhateverTheirCase) {
    TempDir dir;
    dir.write("Data/ALLOCATE/ca_pop.alo", "x");
    const std::string base = dir.str();
    EXPECT_TRUE(file_exists(base + "/Data/ALLOCATE/ca_pop.alo"));
    EXPECT_TRUE(file_exists(base + "/DATA/allocate/CA_POP.ALO"));
    EXPECT_TRUE(file_exists(base + "\\data\\allocate\\ca_pop.alo"));
    EXPECT_EQ(resolve_existing_path(base + "/data/allocate/CA_POP.ALO"),
              base + "/Data/ALLOCATE/ca_pop.alo");
    EXPECT_FALSE(file_exists(base + "/data/allocate/missing.alo"));
    EXPECT_FALSE(file_exists(""));
    // Directories count only when asked for.
    EXPECT_FALSE(file_exists(base + "/data"));
    EXPECT_TRUE(file_exists(base + "/data", kDirectoriesToo));
}

TEST(TempFileName, IsAFreshShortName) {
    const std::string a = temp_file_name();
    const std::string b = temp_file_name();
    EXPECT_TRUE(std::regex_match(a, std::regex("KV[0-9A-F]{4}\\.TMP"))) << a;
    EXPECT_NE(a, b);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::temp_directory_path() / a));
}

TEST(GeneralDateTime, ShortDateAndLongTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(general_date_time(0), "1/1/1970 12:00:00 AM");
    EXPECT_EQ(general_date_time(1796674509), "12/7/2026 8:15:09 PM");
    EXPECT_EQ(general_date_time(1796634000), "12/7/2026 9:00:00 AM");
    EXPECT_EQ(general_date_time(1796558400), "12/6/2026 12:00:00 PM");
    EXPECT_EQ(general_date_time(1796601600), "12/7/2026 12:00:00 AM");
}

} // namespace
} // namespace kv::test
