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
        sc().detfiles[4] = writeFile("data/detfac/bsfc.det", "bsfc");
        session->settings.datadir = dir.str() + "/data";
    }
    FactorFilesDialog emiss{*session, emission_factors()};
    FactorFilesDialog deter{*session, deterioration_factors()};
};

TEST(FactorRows, MenuCaptionsAreThePacketLabelsAndKeysFindTheirRows) {
    for (std::size_t row = 0; row < kFactorRowCount; ++row)
        EXPECT_EQ(without_access_key(factor_rows()[row].menuCaption),
                  format::kPollutantLabels[row]);
    const std::pair<std::string, std::optional<std::size_t>> cases[] = {
        {"nox exhaust", 2}, {" RM SUPPLY/RETURN ", 11},
        {"RuningLoss", 14}, {"0", 0},
        {"14", 14},         {"15", {}},
        {"-1", {}},         {"2x", {}},
        {"", {}},           {"Running Loss", {}},
    };
    for (const auto& [text, row] : cases)
        EXPECT_EQ(factor_row(text), row) << text;
}

TEST_F(FactorFilesTest, MenuItemsOpenTheirMembersDialog) {
    // A data tree copied from Windows: the folder is found in any case.
    fs::create_directories(dir.path() / "tree" / "EMSFAC");
    session->settings.datadir = dir.str() + "/tree";
    const FileDialogRequest crankcase = emiss.request(5);
    EXPECT_EQ(crankcase.title, "Select a Crankcase file");
    EXPECT_EQ(crankcase.filter, "Emissions (*.EMF)|*.EMF|All files (*.*)|*.*");
    EXPECT_EQ(crankcase.filterIndex, 1);
    EXPECT_EQ(crankcase.initialDir, dir.str() + "/tree/EMSFAC");
    const FileDialogRequest runloss = deter.request(14);
    EXPECT_EQ(runloss.title, "Select a RuningLoss file");
    EXPECT_EQ(runloss.filter, "Deterioration (*.DET)|*.DET|All files (*.*)|*.*");
    EXPECT_EQ(runloss.initialDir, dir.str() + "/tree/detfac");
}

TEST_F(FactorFilesTest, ChoosingAFileFillsItsRowAfterThe83Check) {
    const std::string chosen = writeFile("data/emsfac/new.emf", "");
    const fs::path start = fs::current_path();
    // Cancelled: no message, the row as it was, the program's directory current again.
    fs::current_path(dir.path() / "data");
    deter.load();
    ui.answerFile(std::nullopt);
    deter.choose(4);
    EXPECT_EQ(deter.text(4), sc().detfiles[4]);
    EXPECT_EQ(fs::current_path(), dir.path());

    // A long name is refused and the Open dialog comes back at it.
    fs::current_path(dir.path() / "data");
    const std::string longName = dir.str() + "/data/emsfac/toolongname.emf";
    ui.answerFile(longName);
    ui.answerFile(chosen);
    emiss.load();
    emiss.choose(2);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{
                  "toolongname\nFilename too long: Must be 8 characters max before period"});
    ASSERT_EQ(ui.dialogs.size(), 3U);
    EXPECT_EQ(ui.dialogs[2].request.initialFile, longName);
    EXPECT_EQ(emiss.text(2), chosen);
    EXPECT_EQ(fs::current_path(), dir.path());
    fs::current_path(start);
}

TEST_F(FactorFilesTest, OkReportsTheFirstMissingRowOnly) {
    const std::string hose = dir.str() + "/data/emsfac/hose.emf";
    emiss.load();
    emiss.setText(2, "missing/nox.emf");
    emiss.setText(9, hose);
    emiss.setText(3, "data/EMSFAC/EXHTHC.EMF"); // from the program's directory, in any case
    emiss.cancel();
    EXPECT_FALSE(emiss.testexist());
    EXPECT_FALSE(emiss.testexist());
    emiss.setText(2, ""); // an empty row counts as found
    EXPECT_FALSE(emiss.testexist());
    emiss.setText(9, dir.str() + "/data/emsfac"); // a folder is not a file
    EXPECT_FALSE(emiss.testexist());
    const auto box = [](const std::string& text) {
        return ScriptedUserInterface::Message{text + " does not exist", std::string(kAppTitle),
                                              MessageIcon::None};
    };
    EXPECT_EQ(ui.messages, (std::vector{box("missing/nox.emf"), box("missing/nox.emf"), box(hose),
                                        box(dir.str() + "/data/emsfac")}));
    EXPECT_TRUE(emiss.cancelled());
    emiss.setText(9, "");
    EXPECT_TRUE(emiss.testexist());
    EXPECT_FALSE(emiss.cancelled());
}

// What each way out of a dialog leaves in the scenario: `cancelled` outlives the window, so a
// close after an earlier Cancel stores nothing until an OK succeeds; only Emission Factors
// marks its packet, on opening already.
TEST_F(FactorFilesTest, ClosingStoresUnlessTheLastChoiceWasCancel) {
    const std::string before = sc().emfacfiles[0];
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
        slots[0] = before;
        slots[5] = other;
        sc().changed_emfac = false;
        step.dialog.load();
        step.dialog.setText(0, other + "\r\n"); // a pasted line end is dropped
        step.dialog.setText(5, "");             // an emptied row passes OK and is stored
        if (step.exit == Ok) {
            ASSERT_TRUE(step.dialog.testexist());
        }
        if (step.exit == Cancel)
            step.dialog.cancel();
        step.dialog.unload();
        EXPECT_EQ(slots[0], step.stored ? other : before);
        EXPECT_EQ(slots[5], step.stored ? "" : other);
        EXPECT_EQ(sc().changed_emfac, &step.dialog == &emiss);
    }
    EXPECT_TRUE(ui.messages.empty());
}

// The close button asks before it would store a file OK does not find; Yes stores nothing
// and leaves the last OK or Cancel as it was.
TEST_F(FactorFilesTest, TheCloseButtonAsksBeforeStoringAMissingFile) {
    const std::string before = sc().detfiles[3];
    deter.load();
    deter.setText(3, "missing/pm.det");
    ui.answerYesNo(false);
    EXPECT_FALSE(deter.mayClose());
    EXPECT_TRUE(deter.mayClose());
    deter.unload();
    EXPECT_EQ(ui.questions, std::vector<std::string>(2, "missing/pm.det does not exist\n\n"
                                                        "Close without keeping the changes?"));
    EXPECT_EQ(sc().detfiles[3], before);
    EXPECT_FALSE(deter.cancelled());
    EXPECT_TRUE(ui.messages.empty());
}

// After both dialogs a save regenerates their two packets from the scenario and copies every
// other line; without a /DETERIORATE FILES/ packet in the file read, one is appended.
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
        emiss.load();
        emiss.setText(11, nox);
        emiss.setText(2, "");
        ASSERT_TRUE(emiss.testexist());
        emiss.unload();
        deter.load();
        deter.setText(0, "");
        deter.setText(12, vent);
        ASSERT_TRUE(deter.testexist());
        deter.unload();

        std::istringstream in(templ);
        std::ostringstream out;
        ASSERT_TRUE(write_options_stream(sc(), in, out, PathRules::posix(), "T").ok);
        std::string expected =
            with_packet_body(templ, "/EMFAC FILES/", "RM Supply/Return   : " + nox + "\r\n");
        const std::string ventLine = "RM Vent Perm       : " + vent + "\r\n";
        if (withDeter)
            expected = with_packet_body(expected, "/DETERIORATE FILES/", ventLine);
        else
            expected += "/DETERIORATE FILES/\r\n" + ventLine + "/END/\r\n";
        EXPECT_EQ(out.str(), "Written by Kelvaro interface at T\r\n" + expected);
    }
}

} // namespace
} // namespace kv::test
