// The Add Variations dialog's logic and the rows of a comparison, on a scripted interface.
#include "sets/comparison.h"
#include "sets/sweep.h"
#include "sets/variations_dialog.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class VariationsTest : public SessionTest {
protected:
    void SetUp() override {
        ASSERT_EQ(readText(read_file(writeFile("test1.opt", complete_options_file()))),
                  ReadOutcome::Loaded);
    }
};

TEST_F(VariationsTest, CountsTheFilesOrSaysWhyNot) {
    struct Case {
        std::string name, values, regions;
        std::string count;
    };
    const Case cases[] = {
        {"", "", "", "choose a value to vary"},
        {"yearstr", "2020", "", "1 file"},
        {"yearstr", "2020..2050/10", "state=CA,NV,AZ", "12 files"},
        {"", "", "state=CA,NV", "2 files"},
        {"yearstr", "2030..2020", "",
         "a range is FIRST..LAST/STEP in whole numbers, FIRST up to "
         "LAST, STEP above 0"},
        {"", "", "state", "the regions are LEVEL=ENTRY,..."},
        {"", "", "planet=earth",
         "--region: the level is one of 50states, state, county, ustotal, not \"planet\""},
    };
    for (const Case& c : cases) {
        VariationsDialog dialog(*session);
        dialog.setRow(1, c.name, c.values);
        dialog.setEachRegion(c.regions);
        EXPECT_EQ(dialog.countText(), c.count) << c.name << c.values << c.regions;
    }
}

TEST_F(VariationsTest, ARefusedVariationWritesNothing) {
    VariationsDialog dialog(*session);
    EXPECT_EQ(dialog.folder(), dir.str() + "/test1-set");
    dialog.setRow(0, "yearstr", "2020,2060");
    EXPECT_FALSE(dialog.create());
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"No files were written.\n\n" + dir.str() +
                                       "/test1-set/test1-yearstr-2060.opt was refused:\nEpisode "
                                       "year 2060 is outside allowed range 1970-2050."});
    EXPECT_FALSE(fs::exists(dir.path() / "test1-set"));

    dialog.setRow(0, "yearstr", "2020,2050");
    const auto written = dialog.create();
    ASSERT_TRUE(written);
    EXPECT_EQ(*written,
              (std::vector<std::string>{dir.str() + "/test1-set/test1-yearstr-2020.opt",
                                        dir.str() + "/test1-set/test1-yearstr-2050.opt"}));
}

// Names fit for any file system, one file each even where case is ignored.
TEST(SetNames, AreSafeAndUniqueWhateverTheCase) {
    std::vector<SetMember> members;
    for (const char* name : {"Été 2030", "été/2030", "ÉTÉ.2030", "-rf", "a\tb", ""})
        members.push_back({{}, std::nullopt, name});
    std::string error;
    EXPECT_EQ(
        member_file_names(members, "t", "{name}", error),
        (std::vector<std::string>{"Été_2030", "été_2030-2", "ÉTÉ_2030-3", "_-rf", "a_b", "_"}));
    EXPECT_EQ(safe_file_name(std::string(200, 'x')).size(), 120u);
}

TEST(ComparisonRows, GroupValuesEntriesAndOtherLines) {
    ScenarioDiff diff;
    diff.packets.push_back({"/PERIOD/", {{"yearstr", "2026", "2030"}}, {"old"}, {"new"}});
    diff.otherLines = "@@ -1,2 +1,2 @@\n-before\n+after\n same\n";
    const std::string other(kOtherLinesGroup);
    const std::vector<std::vector<std::string>> expected = {
        {"/PERIOD/", "yearstr", "2026", "2030"},
        {"/PERIOD/", "removed", "old", ""},
        {"/PERIOD/", "added", "", "new"},
        {other, "@@ -1,2 +1,2 @@", "", ""},
        {other, "removed", "before", ""},
        {other, "added", "", "after"},
        {other, "", "same", "same"},
    };
    std::vector<std::vector<std::string>> shown;
    for (const ComparisonRow& row : comparison_rows(diff))
        shown.push_back({row.group, row.item, row.a, row.b});
    EXPECT_EQ(shown, expected);
}

} // namespace
} // namespace kv::test
