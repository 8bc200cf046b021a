#include "shell/dialog_filters.h"
#include "shell/info_texts.h"
#include "shell/status.h"
#include "support/shell_fixture.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kv::test {
namespace {

TEST_F(ShellTest, CurrentWindowListsSettingsAndFilesInLowerCase) {
    session->settings = {"/Model/Dir", "Model.EXE", "/Data", "/usr/bin/Access", "/p/kv-gui.ini"};
    sc().optdir = "/Runs";
    sc().optfile = "Test1.OPT";
    sc().outdir = "/Runs/OUTPUTS";
    sc().outfile = "TEST1.OUT";
    sc().msgdir = "/Runs/OUTPUTS";
    sc().msgfile = "TEST1.MSG";
    std::vector<std::string> lines;
    for (const auto& l : current_window_labels(*session))
        lines.push_back(l.name + "=" + l.text);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Modellbl=Model Directory /model/dir",
                         "executlbl=Model executable model.exe",
                         "inputoptlbl=Input option file test1.opt",
                         "datadirlbl=Data directory /data",
                         "Accesslbl=Access executable /usr/bin/access",
                         "Optionlbl=Option file /runs/test1.opt",
                         "Outputlbl=Output file /runs/outputs/test1.out",
                         "Messagelbl=Message file /runs/outputs/test1.msg",
                     }));
}

TEST_F(ShellTest, ShowStatusLeavesTheModelDirectoryCurrent) {
    show_status(*session);
    EXPECT_EQ(cwd(), model);
    ASSERT_EQ(ui.statuses.size(), 1u);
}

TEST(AboutTexts, VersionAndFileOrArguments) {
    EXPECT_EQ(about_version_text(), "Version 2005.1.0");
    TempDir d;
    const std::string exe = d.write("kvgui", "x");
    std::filesystem::last_write_time(
        exe, std::chrono::file_clock::from_sys(
                 std::chrono::sys_seconds{std::chrono::seconds{1796674509}}));
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(about_date_text(exe, {}).text, exe + "  12/7/2026 8:15:09 PM");
    EXPECT_EQ(about_date_text(exe, {"one", "two words"}).text, "one two words");
    const AboutDate missing = about_date_text(d.str() + "/gone", {});
    EXPECT_FALSE(missing.ok);
}

TEST(DiagListing, ListsTheManagedPacketsUpToTheirEnd) {
    std::istringstream in("First line of the file\r\n"
                          "/OPTIONS/\r\nTitle 1            : hidden\r\n/END/\r\n"
                          "/REGION/\r\nRegion Level       : STATE\r\nCalifornia         : 06000\r\n"
                          "/END/ trailing text\r\n"
                          "/STAGE II/\r\nControl Factor     : 0.0\r\n/END/\r\n"
                          " /PERIOD/\r\nPeriod type        : Annual\r\n/END/\r\n"
                          "/RUNFILES/\r\nMESSAGE            : a.msg\r\nxx/END/xx\r\n"
                          "outside\r\n");
    EXPECT_EQ(diag_listing(in), (std::vector<std::string>{
                                    "First line of the file",
                                    "/REGION/",
                                    "Region Level       : STATE",
                                    "California         : 06000",
                                    "/RUNFILES/",
                                    "MESSAGE            : a.msg",
                                }));
    EXPECT_EQ(diag_caption("DEMO.OPT"), "Packets from DEMO.OPT");
}

TEST(DiagLists, DistinctAbbreviationsAndCountyStateLines) {
    Scenario sc;
    auto add = [&](const char* code, const char* county, const char* state, const char* abbr) {
        sc.regions_saved.add(
            std::make_shared<RegionCls>(RegionCls{code, county, state, abbr, false}), code);
    };
    add("06001", "Alameda", "California", "CA");
    add("48001", "Anderson", "Texas", "TX");
    add("06003", "Alpine", "California", "CA");
    const DiagLists lists = diag_lists(sc);
    EXPECT_EQ(lists.abbreviations, (std::vector<std::string>{"CA", "TX"}));
    EXPECT_EQ(lists.regions,
              (std::vector<std::string>{"AlamedaCalifornia", "AndersonTexas", "AlpineCalifornia"}));
}

TEST(RunMenuCaption, NamesTheFileUnlessItHasAnAmpersand) {
    EXPECT_EQ(run_menu_caption("TEST1.OPT"), "&Run with test1.opt");
    EXPECT_EQ(run_menu_caption("R&D.OPT"), "&Run with Current file");
}

std::string describe(const std::vector<FilterEntry>& entries) {
    std::string out;
    for (const auto& e : entries) {
        out += e.description + ":";
        for (const auto& p : e.patterns)
            out += " " + p;
        out += "|";
    }
    return out;
}

TEST(DialogFilters, ClassicFiltersForEachPlatform) {
    struct Case {
        const char* filter;
        const char* posix;
        const char* windows;
    };
    const Case cases[] = {
        {"model (*.exe)|*.exe", "model: *.exe *.EXE|All files: *|", "model: *.exe|"},
        {"Option files (*.opt)|*.opt|All files (*.*)|*.*",
         "Option files: *.opt *.OPT|All files: *|", "Option files: *.opt|All files: *.*|"},
        {"(*.me)|*.me", ": *.me *.ME|", ": *.me|"},
        {"Programs|*.exe;*.com|All files (*.*)|*.*",
         "Programs: *.exe *.EXE *.com *.COM|All files: *|",
         "Programs: *.exe *.com|All files: *.*|"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe(dialog_filters(c.filter, PathRules::posix())), c.posix) << c.filter;
        EXPECT_EQ(describe(dialog_filters(c.filter, PathRules::windows())), c.windows) << c.filter;
    }
}

} // namespace
} // namespace kv::test
