#include "advanced/factor_files_dialog.h"
#include "optionsfile/format.h"
#include "optionsfile/writer.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class FactorFilesTest : public SessionTest {
protected:
    FactorFilesTest() {
        sc().emfacfiles[0] = writeFile("data/emsfac/exhthc.emf", "thc");
        sc().emfacfiles[14] = writeFile("data/emsfac/runloss.emf", "run");
        sc().detfiles[4] = writeFile("data/detfac/bsfc.det", "bsfc");
        session->settings.datadir = dir.str() + "/data";
    }
    FactorFilesDialog emiss{*session, emission_factors()};
    FactorFilesDialog deter{*session, deterioration_factors()};
};

TEST(FactorRows, MenuCaptionsAreThePacketLabelsAndKeysFindTheirRows) {
    for (std::size_t row = 0; row < kFactorRowCount; ++row) {
        EXPECT_EQ(without_access_key(factor_rows()[row].menuCaption),
                  format::kPollutantLabels[row]);
        EXPECT_EQ(factor_row(factor_rows()[row].key), row);
    }
    const std::pair<std::string, std::optional<std::size_t>> cases[] = {
        {"nox exhaust", 2}, {" RM SUPPLY/RETURN ", 11},
        {"0", 0},           {"14", 14},
        {"15", {}},         {"-1", {}},
        {"2x", {}},         {"", {}},
        {"NOX", {}},        {"Running Loss", {}},
        {"RuningLoss", 14},
    };
    for (const auto& [text, row] : cases)
        EXPECT_EQ(factor_row(text), row) << text;
}

TEST_F(FactorFilesTest, MenuItemsOpenTheirMembersDialog) {
    // A data tree copied from Windows: the folder is found in any case.
    fs::create_directories(dir.path() / "tree" / "EMSFAC");
    session->settings.datadir = dir.str() + "/tree";
    struct Case {
        const FactorFilesDialog& dialog;
        std::size_t row;
        std::string title, filter, initialDir;
    };
    const Case cases[] = {
        {emiss, 0, "Select a THC exhaust file", "Emissions (*.EMF)|*.EMF|All files (*.*)|*.*",
         dir.str() + "/tree/EMSFAC"},
        {emiss, 5, "Select a Crankcase file", "Emissions (*.EMF)|*.EMF|All files (*.*)|*.*",
         dir.str() + "/tree/EMSFAC"},
        {deter, 14, "Select a RuningLoss file", "Deterioration (*.DET)|*.DET|All files (*.*)|*.*",
         dir.str() + "/tree/detfac"},
        {deter, 8, "Select a Tank Perm file", "Deterioration (*.DET)|*.DET|All files (*.*)|*.*",
         dir.str() + "/tree/detfac"},
    };
    for (const Case& c : cases) {
        const FileDialogRequest r = c.dialog.request(c.row);
        EXPECT_EQ(r.title, c.title);
        EXPECT_EQ(r.filter, c.filter);
        EXPECT_EQ(r.filterIndex, 1);
        EXPECT_EQ(r.initialDir, c.initialDir);
        EXPECT_EQ(r.initialFile, "");
    }
}

TEST_F(FactorFilesTest, ChoosingAFileFillsItsRowAfterThe83Check) {
    const std::string chosen = writeFile("data/emsfac/new.emf", "");
    const fs::path elsewhere = dir.path() / "data";
    const fs::path start = fs::current_path();
    fs::current_path(elsewhere);

    // Cancelled: no message, the row as it was, the program's directory current again.
    deter.load();
    ui.answerFile(std::nullopt);
    deter.choose(4);
    EXPECT_EQ(deter.text(4), sc().detfiles[4]);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(fs::current_path(), dir.path());

    // A long name is refused and the Open dialog comes back at it.
    fs::current_path(elsewhere);
    emiss.load();
    sc().changed_emfac = false;
    ui.answerFile(dir.str() + "/data/emsfac/toolongname.emf");
    ui.answerFile(chosen);
    emiss.choose(2);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{
                  "toolongname\nFilename too long: Must be 8 characters max before period"});
    ASSERT_EQ(ui.dialogs.size(), 3U);
    EXPECT_EQ(ui.dialogs[2].request.initialFile, dir.str() + "/data/emsfac/toolongname.emf");
    EXPECT_EQ(emiss.text(2), chosen);
    EXPECT_TRUE(sc().changed_emfac);
    EXPECT_EQ(fs::current_path(), dir.path());
    fs::current_path(start);
}

TEST_F(FactorFilesTest, OkReportsTheFirstMissingRowOnly) {
    emiss.load();
    emiss.setText(2, "missing/nox.emf");
    emiss.setText(9, dir.str() + "/data/emsfac/hose.emf");
    emiss.setText(3, "data/EMSFAC/EXHTHC.EMF"); // relative to the program's directory, any case
    emiss.setText(7, "");                       // an empty row counts as found
    emiss.cancel();

    EXPECT_FALSE(emiss.testexist());
    EXPECT_FALSE(emiss.testexist());
    // Fixing row 2 brings row 9 forward; no row is changed by a report.
    emiss.setText(2, "");
    EXPECT_FALSE(emiss.testexist());
    const ScriptedUserInterface::Message missing2{"missing/nox.emf does not exist",
                                                  std::string(kAppTitle), MessageIcon::None};
    const ScriptedUserInterface::Message missing9{dir.str() +
                                                      "/data/emsfac/hose.emf does not exist",
                                                  std::string(kAppTitle), MessageIcon::None};
    EXPECT_EQ(ui.messages, (std::vector{missing2, missing2, missing9}));
    EXPECT_EQ(emiss.text(9), dir.str() + "/data/emsfac/hose.emf");
    EXPECT_TRUE(emiss.cancelled());

    // A folder is not a file.
    emiss.setText(9, dir.str() + "/data/emsfac");
    EXPECT_FALSE(emiss.testexist());
    emiss.setText(9, "");
    EXPECT_TRUE(emiss.testexist());
    EXPECT_FALSE(emiss.cancelled());
}

// What each way out of the dialog leaves in the scenario, and that `cancelled` outlives the
// window: a close after an earlier Cancel stores nothing until an OK succeeds.
TEST_F(FactorFilesTest, ClosingStoresUnlessTheLastChoiceWasCancel) {
    const std::string emfacBefore = sc().emfacfiles[0];
    const std::string other = writeFile("data/emsfac/other.emf", "");
    enum Exit { Ok, Cancel, CloseButton };
    struct Step {
        FactorFilesDialog& dialog;
        Exit exit;
        bool stored;
    };
    const Step steps[] = {
        {emiss, CloseButton, true}, {emiss, Cancel, false},     {emiss, CloseButton, false},
        {emiss, Ok, true},          {emiss, CloseButton, true}, {deter, Cancel, false},
        {deter, Ok, true},
    };
    int i = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(i++);
        auto& slots = &step.dialog == &emiss ? sc().emfacfiles : sc().detfiles;
        slots[0] = emfacBefore;
        slots[5] = other;
        step.dialog.load();
        step.dialog.setText(0, other + "\r\n"); // a pasted line end is dropped
        step.dialog.setText(5, ""); // a row emptied by typing passes OK and stores empty
        if (step.exit == Ok) {
            ASSERT_TRUE(step.dialog.testexist());
        }
        if (step.exit == Cancel)
            step.dialog.cancel();
        step.dialog.unload();
        EXPECT_EQ(slots[0], step.stored ? other : emfacBefore);
        EXPECT_EQ(slots[5], step.stored ? "" : other);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FactorFilesTest, OnlyEmissionFactorsMarksItsPacketChanged) {
    // Opening and cancelling Emission Factors is enough.
    const auto before = sc().emfacfiles;
    emiss.load();
    emiss.cancel();
    emiss.unload();
    EXPECT_EQ(sc().emfacfiles, before);
    EXPECT_TRUE(sc().changed_emfac);

    // Deterioration Factors marks nothing, even when a hidden row is chosen and stored.
    sc().changed_emfac = false;
    const std::string bsfc = writeFile("data/detfac/bsfc2.det", "");
    deter.load();
    ui.answerFile(bsfc);
    deter.choose(4);
    ASSERT_TRUE(deter.testexist());
    deter.unload();
    EXPECT_EQ(sc().detfiles[4], bsfc);
    EXPECT_FALSE(sc().changed_emfac);
    EXPECT_EQ(deterioration_factors().hiddenRows,
              (std::array<bool, kFactorRowCount>{0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// After both dialogs a save regenerates their two packets from the scenario and copies every
// other line; without a /DETERIORATE FILES/ packet in the file read, none is written.
TEST_F(FactorFilesTest, SavingRegeneratesExactlyTheTwoFactorPackets) {
    for (const bool withDeter : {true, false}) {
        SCOPED_TRACE(withDeter);
        std::string templ = complete_options_file();
        if (!withDeter)
            templ = without_packet(templ, "/DETERIORATE FILES/");
        templ = with_packet_body(templ, "/EMFAC FILES/",
                                 "NOX exhaust        : /data/emsfac/exhnox.emf\r\n"
                                 "comment line dropped on regeneration\r\n");
        ASSERT_EQ(readText(templ), ReadOutcome::Loaded);
        const std::string nox = writeFile("data/emsfac/Nox Mix.emf", "");
        const std::string vent = writeFile("data/detfac/vent.det", "");

        ui.answerFile(nox);
        emiss.load();
        emiss.choose(11);
        emiss.setText(2, "");
        ASSERT_TRUE(emiss.testexist());
        emiss.unload();
        deter.load();
        deter.setText(0, "");
        ui.answerFile(vent);
        deter.choose(12);
        ASSERT_TRUE(deter.testexist());
        deter.unload();

        std::istringstream in(templ);
        std::ostringstream out;
        ASSERT_TRUE(write_options_stream(sc(), in, out, PathRules::posix(), "T").ok);
        const std::string emfac = "/EMFAC FILES/\r\nRM Supply/Return   : " + nox + "\r\n/END/\r\n";
        const std::string deterPacket =
            "/DETERIORATE FILES/\r\nRM Vent Perm       : " + vent + "\r\n/END/\r\n";
        std::string expected =
            "Written by Kelvaro interface at T\r\n" +
            with_packet_body(templ, "/EMFAC FILES/", "RM Supply/Return   : " + nox + "\r\n");
        if (withDeter)
            expected = with_packet_body(expected, "/DETERIORATE FILES/",
                                        "RM Vent Perm       : " + vent + "\r\n");
        EXPECT_EQ(out.str(), expected);
        EXPECT_NE(out.str().find(emfac), std::string::npos);
        EXPECT_EQ(out.str().find(deterPacket) != std::string::npos, withDeter);
    }
}

} // namespace
} // namespace kv::test
