#include "editors/sources_dialog.h"
#include "optionsfile/writer.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kv::test {
namespace {

using D = SourcesDialog;

const std::string kHead = "SELECT DISTINCTROW SCC,EQUIP,CLASSIFICATION,[Engine Type] from "
                          "[EQUIPMENT TYPES] WHERE SCC LIKE ";
const std::string kMarine = "Select DISTINCTROW [Equipment Types].SCC,[Equipment Types].EQUIP,"
                            "[Equipment Types].CLASSIFICATION,[Equipment Types].[Engine Type] "
                            "FROM [Equipment Types] WHERE ";
const std::string kQuery[] = {
    "",
    kMarine + "(([Equipment Types].SCC=\"2282000000\"));",
    kMarine + "(([Equipment Types].SCC=\"2282020000\"));",
    kMarine + "(([Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> "
              "\"2282000000\" And [Equipment Types].SCC <> \"2282020000\" And [Equipment "
              "Types].[Engine Type] <> \"Diesel\"));",
    kMarine + "(([Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> "
              "\"2282000000\" And [Equipment Types].SCC <> \"2282020000\"));",
    kMarine + "(([Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> "
              "\"2282000000\" And [Equipment Types].SCC <> \"2282020000\" And [Equipment "
              "Types].[Engine Type] = \"Diesel\"));",
};

// The query of a pattern, or of the three patterns "p0|p1|p2" of "All Segments".
std::string pattern_query(const std::string& patterns) {
    std::string q = kHead + "\"";
    for (char c : patterns)
        q += c == '|' ? std::string("\" OR SCC LIKE \"") : std::string(1, c);
    return q + "\";";
}

class SourcesDialogTest : public SessionTest {
protected:
    SourcesDialogTest() {
        sc().sources_on = true;
        sc().found_source = true;
    }
    void addEntries(std::initializer_list<const char*> codes) {
        for (const char* code : codes)
            sc().appendSource({SourceEntry::fixedScc(code), std::string("Desc ") + code});
    }
    std::vector<std::string> codes() const {
        std::vector<std::string> result;
        for (std::size_t i = 0; i < session->scenario.sourceCount(); ++i)
            result.push_back(session->scenario.sources[i].scc);
        return result;
    }
    bool addWith(std::int16_t segment, std::int16_t fuel, std::int16_t button) {
        dialog.segmentClick(segment);
        dialog.fuelClick(fuel);
        return dialog.add(button);
    }
    const std::vector<std::string>& queries() { return refdbs.db->queries; }
    D dialog{*session};
};

TEST_F(SourcesDialogTest, EveryButtonsQueryOverSegmentsFuelsAndAddButtons) {
    EXPECT_EQ(D::equipstr("01000"), "01###");
    EXPECT_EQ(D::equipstr("10000"), "1####");
    EXPECT_EQ(D::equipstr("00000"), "#####");

    // For each segment the queries of (All Fuels, Diesel, SI) x (Add Segment, Add Equipment),
    // blank-separated: the Like pattern ("p0|p1|p2" for the three of "All Segments"), "#n" for
    // the n-th fixed "Marine Rec" query, "-" for the empty pattern.
    const std::pair<std::int16_t, const char*> table[] = {
        {0, "##[!8]##00000|2285000000|2282000000 ##[!8]#######|22850#####|22820##### "
            "##7##00000|2285002015|2282020000 ##7#######|2285002015|2282020000 "
            "##[!7-8]##00000|228500[3-8]015|22820[0-1][0-5]0## "
            "##[!7-8]#######|228500[3-8]015|22820[0-1][0-5]0##"},
        {1, "##[!8]##01000 ##[!8]##01### ##7##01000 ##7##01### ##[!7-8]##01000 ##[!7-8]##01###"},
        {2, "##[!8]##02000 ##[!8]##02### ##7##02000 ##7##02### ##[!7-8]##02000 ##[!7-8]##02###"},
        {3, "##[!8]##03000 ##[!8]##03### ##7##03000 ##7##03### ##[!7-8]##03000 ##[!7-8]##03###"},
        {4, "##[!8]##04000 ##[!8]##04### ##7##04000 ##7##04### ##[!7-8]##04000 ##[!7-8]##04###"},
        {5, "##[!8]##05000 ##[!8]##05### ##7##05000 ##7##05### ##[!7-8]##05000 ##[!7-8]##05###"},
        {6, "##[!8]##06000 ##[!8]##06### ##7##06000 ##7##06### ##[!7-8]##06000 ##[!7-8]##06###"},
        {7, "##[!8]##07000 ##[!8]##07### ##7##07000 ##7##07### ##[!7-8]##07000 ##[!7-8]##07###"},
        {8, "##[!8]##08000 ##[!8]##08### ##7##08000 ##7##08### ##[!7-8]##08000 ##[!7-8]##08###"},
        {9, "##[!8]##09000 ##[!8]##09### ##7##09000 ##7##09### ##[!7-8]##09000 ##[!7-8]##09###"},
        {10, "##[!8]##10000 ##[!8]##1#### ##7##10000 ##7##1#### ##[!7-8]##10000 ##[!7-8]##1####"},
        {11, "2285000000 22850##### 2285002015 2285002015 228500[3-8]015 228500[3-8]015"},
        {12, "#1 #4 #2 #5 #3 #3"},
        {13, "- - - - - -"}, // the hidden button
    };
    dialog.load();
    for (const auto& [segment, row] : table) {
        std::istringstream expectations(row);
        for (std::int16_t fuel = 0; fuel < 3; ++fuel) {
            for (std::int16_t button = 0; button < 2; ++button) {
                std::string expected;
                expectations >> expected;
                SCOPED_TRACE(testing::Message()
                             << "segment " << segment << " fuel " << fuel << " button " << button);
                ASSERT_TRUE(addWith(segment, fuel, button));
                ASSERT_FALSE(queries().empty());
                if (expected.starts_with('#') && expected.size() == 2) {
                    const std::string& query = kQuery[expected[1] - '0'];
                    EXPECT_EQ(dialog.marine_sql(button), query);
                    EXPECT_EQ(queries().back(), query);
                } else {
                    EXPECT_EQ(queries().back(), pattern_query(expected == "-" ? "" : expected));
                }
            }
        }
    }
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.busyDepth, 0);
}

TEST_F(SourcesDialogTest, AddAppendsNewCodesOnlyAndLogsEachStep) {
    dialog.load();
    ASSERT_TRUE(addWith(D::kMarineRec, 1, D::AddSegment));
    ASSERT_TRUE(addWith(D::kMarineRec, 1, D::AddSegment)); // nothing new the second time
    const std::vector<std::string> once = {"Now print SQL",
                                           kQuery[2],
                                           "Tried open recordset",
                                           "Addsel ",
                                           "?????\t2282020000\tAll Diesel Recreational Marine "
                                           "Vessels",
                                           "Found 1 "};
    std::vector<std::string> expected = once;
    expected.insert(expected.end(),
                    {"Now print SQL", kQuery[2], "Tried open recordset", "Addsel ", "Found 1 "});
    EXPECT_EQ(logLines(), expected);
    ASSERT_EQ(sc().sources.size(), 2u);
    EXPECT_EQ(sc().sources[0].scc, "2282020000");
    EXPECT_EQ(sc().sources[0].description, "All Diesel Recreational Marine Vessels");
    EXPECT_EQ(sc().sources[1].scc, "");
    ASSERT_EQ(dialog.lines().size(), 1u);
    const D::Line& line = dialog.lines()[0];
    EXPECT_EQ(line.description,
              "All Diesel Recreational Marine Vessels Recreational Marine Diesel");
    EXPECT_EQ(line.code, "2282020000");
    EXPECT_EQ(line.codeDesc,
              "2282020000 All Diesel Recreational Marine Vessels Recreational Marine Diesel");

    // "Add Equipment" over every segment and fuel finds every row but never adds a code
    // ending in "20000".
    logStream.str("");
    sc().resetSources();
    dialog.load();
    ASSERT_TRUE(addWith(D::kAllSegments, 0, D::AddEquipment));
    const auto log = logLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "selector1 <22850#####>");
    EXPECT_EQ(log[1], "selector2 <22820#####>");
    const std::size_t rows = refdbs.db->equipment.size();
    EXPECT_EQ(log.back(), "Found " + std::to_string(rows) + " ");
    EXPECT_EQ(sc().sourceCount(), rows - 1);
    EXPECT_EQ(dialog.lines().size(), rows - 1);
    for (const std::string& code : codes())
        EXPECT_FALSE(code.ends_with("20000")) << code;

    // A query without rows only logs and beeps.
    logStream.str("");
    ASSERT_TRUE(addWith(9, 2, D::AddSegment));
    EXPECT_EQ(logLines(), (std::vector<std::string>{
                              "Now print SQL", pattern_query("##[!7-8]##09000"),
                              "Tried open recordset", "Underground Mining SI", "None found "}));
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(session->refdb, nullptr);
}

TEST_F(SourcesDialogTest, AddWithoutSegmentOrFuelOnlyTellsTheUser) {
    struct Case {
        std::int16_t segment, fuel;
        const char* message;
    };
    for (const Case& c : {Case{-1, 1, "No Equipment selected"}, Case{3, -1, "No Fuel Selected"}}) {
        dialog.load();
        dialog.segmentClick(c.segment);
        dialog.fuelClick(c.fuel);
        EXPECT_FALSE(dialog.add(D::AddSegment));
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_EQ(ui.messages.back(),
                  (ScriptedUserInterface::Message{c.message, "", MessageIcon::None}));
    }
    EXPECT_TRUE(queries().empty());
    EXPECT_EQ(ui.busyChanges, 0);
}

TEST_F(SourcesDialogTest, AddErrorsKeepTheRowsAddedAndReportNumberAndText) {
    // A full list: the first new row still fits, the second raises the error.
    for (std::size_t i = 1; i < D::kMaxSources; ++i)
        sc().appendSource({"X" + std::to_string(1000000000 + i).substr(1), "filler"});
    dialog.load();
    EXPECT_FALSE(addWith(D::kMarineRec, 0, D::AddEquipment));
    EXPECT_EQ(ui.messages.back(),
              (ScriptedUserInterface::Message{"Addsel Error 6 Overflow", std::string(kAppTitle),
                                              MessageIcon::None}));
    EXPECT_EQ(sc().sourceCount(), D::kMaxSources);
    EXPECT_EQ(dialog.lines().size(), D::kMaxSources);
    EXPECT_EQ(sc().sources.back().scc, "");

    // A query the database refuses; then a database that cannot be opened, which reports
    // itself as everywhere else.
    sc().resetSources();
    dialog.load();
    refdbs.db->failOnParameter = "##7##01000";
    EXPECT_FALSE(addWith(1, 1, D::AddSegment));
    EXPECT_EQ(ui.messages.back().text, "Addsel Error 3000 Scripted failure");
    refdbs.fail = true;
    EXPECT_FALSE(addWith(1, 0, D::AddSegment));
    EXPECT_EQ(ui.messageTexts().back(), "Could not find file /model/reports/reports.mdb3024");
    EXPECT_EQ(sc().sourceCount(), 0u);
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_EQ(session->refdb, nullptr);
}

TEST_F(SourcesDialogTest, RemoveTakesEveryChosenLineFromAllThreeLists) {
    struct Case {
        const char* name;
        std::vector<std::pair<D::List, std::size_t>> chosen;
        std::optional<std::size_t> current;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {"no current line in Selected", {{D::CodeDesc, 1}}, std::nullopt, {"A", "B", "C", "D"}},
        {"current line not chosen", {{D::CodeDesc, 1}}, 0, {"A", "C", "D"}},
        {"chosen in each list", {{D::Selected, 0}, {D::lstcodes, 2}, {D::CodeDesc, 3}}, 0, {"B"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sc().resetSources();
        addEntries({"A", "B", "C", "D"});
        dialog.load();
        for (const auto& [list, line] : c.chosen)
            dialog.setChosen(list, line, true);
        dialog.setCurrentLine(c.current);
        dialog.keyDown(D::KeyDelete);
        std::vector<std::string> left;
        for (const D::Line& line : dialog.lines()) {
            left.push_back(line.description.substr(5));
            EXPECT_EQ(line.codeDesc, line.code + " " + line.description);
            if (c.current) { // every chosen line went
                EXPECT_EQ(line.chosen, (std::array<bool, 3>{}));
            }
        }
        EXPECT_EQ(left, c.left);
        // The list is rebuilt from the lines, codes at their fixed width.
        ASSERT_EQ(sc().sourceCount(), c.left.size());
        for (std::size_t i = 0; i < c.left.size(); ++i) {
            EXPECT_EQ(sc().sources[i].scc, SourceEntry::fixedScc(c.left[i]));
            EXPECT_EQ(sc().sources[i].description, "Desc " + c.left[i]);
        }
    }
}

TEST_F(SourcesDialogTest, SourceModeAndCancelOrEscapeRestoringTheList) {
    addEntries({"2265004010", "2270002015"});
    const auto before = sc().sources;
    for (const int key : {0, int(D::KeyEscape)}) {
        dialog.load();
        EXPECT_TRUE(dialog.choicesEnabled());
        ASSERT_TRUE(addWith(D::kMarineRec, 1, D::AddSegment));
        dialog.setChosen(D::Selected, 0, true);
        dialog.setCurrentLine(0);
        dialog.remove();
        dialog.srcactClick(1);
        EXPECT_FALSE(dialog.choicesEnabled());
        EXPECT_FALSE(sc().sources_on);
        EXPECT_FALSE(sc().found_source);
        EXPECT_EQ(dialog.lines().size(), 2u); // the list stays, disabled
        if (key == 0)
            dialog.cancel();
        else
            EXPECT_TRUE(dialog.keyDown(key));
        EXPECT_EQ(codes(), (std::vector<std::string>{"2265004010", "2270002015"}));
        EXPECT_EQ(sc().sources.size(), before.size());
        EXPECT_TRUE(sc().sources_on);
        EXPECT_TRUE(sc().found_source);
    }

    // With all sources in force the lists still show the entries, so a line stands for
    // each entry when "Selected sources" is chosen again.
    dialog.srcactClick(1);
    dialog.load();
    EXPECT_EQ(dialog.lines().size(), 2u);
    EXPECT_EQ(dialog.segText(), ""); // a new window's field
    dialog.srcactClick(0);
    EXPECT_TRUE(sc().found_source);
    EXPECT_EQ(dialog.segindex(), D::kHiddenSegment);
    EXPECT_EQ(dialog.fuelindex(), D::kHiddenFuel);

    // F12 hides the code list and shows it again.
    EXPECT_TRUE(dialog.codesVisible());
    EXPECT_FALSE(dialog.keyDown(D::KeyF12));
    EXPECT_FALSE(dialog.codesVisible());
    dialog.keyDown(D::KeyF12);
    EXPECT_TRUE(dialog.codesVisible());
}

TEST_F(SourcesDialogTest, SavingAfterTheDialogRegeneratesOnlyTheSourcePacket) {
    const std::string templ = complete_options_file();
    ASSERT_EQ(readText(templ), ReadOutcome::Loaded);
    dialog.load();
    dialog.setChosen(D::lstcodes, 0, true);
    dialog.setCurrentLine(1);
    dialog.remove();
    ASSERT_TRUE(addWith(D::kRailway, 2, D::AddEquipment));
    std::istringstream in(templ);
    std::ostringstream out;
    ASSERT_TRUE(write_options_stream(sc(), in, out, PathRules::posix(), "T").ok);
    EXPECT_EQ(out.str(), header_line("T") + "\r\n" +
                             with_packet_body(templ, "/SOURCE CATEGORY/",
                                              "                   :2270002015\r\n"
                                              "                   :2285004015\r\n"
                                              "                   :2285006015\r\n"));
}

} // namespace
} // namespace kv::test
