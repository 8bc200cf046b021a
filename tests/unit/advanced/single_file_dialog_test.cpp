#include "advanced/file_search.h"
#include "advanced/single_file_dialog.h"
#include "optionsfile/writer.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

using Message = ScriptedUserInterface::Message;

const std::string kTitle(kAppTitle);

// A program directory holding a data tree; the Open dialogs start below `data`.
class SingleFileTest : public SessionTest {
protected:
    SingleFileTest() {
        data = dir.str() + "/data";
        session->settings.datadir = data;
        for (const char* f :
             {"ACTIVITY/activity.dat", "ALLOCATE/fips.dat", "RETROFIT/retro.dat", "DAILY/daily.dat",
              "tech/exh.dat", "tech/evp.dat", "SEASON/season.dat", "SEASON/region.dat", "old.dat"})
            dir.write(std::string("data/") + f, "x");
        sc().outdir = dir.str() + "/out";
        dir.write("out/run.eps", "x");
    }
    SingleFileDialog dialog(std::string_view form) {
        return SingleFileDialog(*session, *single_file_member(form));
    }
    std::string& slot(std::string_view form, std::size_t row) {
        return sc().runfiles[*single_file_member(form)->rows[row].slot];
    }
    std::string data;
};

TEST_F(SingleFileTest, ADirectorySearchFindsFilesOnly) {
    fs::create_directories(dir.path() / "data/my files");
    dir.write("data/my files/Größe 1.dat", "x");
    fs::create_symlink(dir.path() / "nowhere.dat", dir.path() / "data/dangling.dat");
    // Relative names are taken from the program's directory, wherever the current one is.
    fs::current_path("/");
    const struct {
        std::string text;
        bool found;
    } cases[] = {
        {"", true},
        {"data/ACTIVITY/activity.dat", true},
        {"DATA\\activity\\ACTIVITY.DAT", true},
        {data + "/Activity/Activity.Dat", true},
        {"data/my files/Größe 1.dat", true},
        {"data/MY FILES/größe 1.DAT", true},
        {"data/ACTIVITY", false},
        {"data/ACTIVITY/", false},
        {"data/ACTIVITY/missing.dat", false},
        {"data/dangling.dat", false},
        {"/", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(directory_search_finds(c.text, dir.path()), c.found) << c.text;
}

// Every member's OK and closing with an existing, a missing and an empty name in its first row.
TEST_F(SingleFileTest, EveryMemberChecksAndStoresByItsRule) {
    const std::string old = data + "/old.dat";
    const std::string existing = "data/ACTIVITY/activity.dat";
    const std::string missing = "data/nowhere.dat";
    const std::string kClose = "\n\nClose without keeping the changes?";
    const struct {
        std::string_view form;
        bool checks;
        bool restores;      // a failed OK puts the scenario's value back into the text box
        bool storesAtClose; // every close but Cancel stores, the close button included
        std::string emptyStored;
    } rules[] = {
        {"frmActiv", true, true, false, "data/activity/ACTIVITY.DAT"},
        {"frmUSCountiesFIPS", true, true, false, ""},
        {"frmRetrofit", true, true, false, ""},
        {"frmDaily", true, true, false, ""},
        {"frmTech", true, true, false, ""},
        {"frmtemporal", true, false, true, ""},
        {"frmoptout", false, false, true, ""},
    };
    ASSERT_EQ(std::size(rules), single_file_members().size());
    for (const auto& r : rules) {
        SCOPED_TRACE(r.form);
        SingleFileDialog d = dialog(r.form);
        for (const SingleFileRow& row : d.member().rows) {
            if (row.slot)
                sc().runfiles[*row.slot] = old;
        }
        d.load();
        EXPECT_EQ(d.text(0), old);
        d.setText(0, existing);
        EXPECT_TRUE(d.ok());
        EXPECT_EQ(slot(r.form, 0), r.storesAtClose ? old : existing);
        d.unload();
        EXPECT_EQ(slot(r.form, 0), existing);

        slot(r.form, 0) = old;
        d.load();
        d.setText(0, missing);
        EXPECT_EQ(d.ok(), !r.checks);
        if (r.checks) {
            EXPECT_EQ(ui.messages, (std::vector<Message>{
                                       {missing + " does not exist", kTitle, MessageIcon::None}}));
        }
        EXPECT_EQ(d.text(0), r.restores ? old : missing);
        EXPECT_EQ(slot(r.form, 0), old);
        // The window's close button: where it would store a name OK refuses, it asks first,
        // and Yes keeps nothing.
        ui.answerYesNo(true);
        EXPECT_TRUE(d.mayClose());
        d.unload();
        const bool asks = r.storesAtClose && r.checks;
        EXPECT_EQ(ui.questions, asks
                                    ? std::vector<std::string>{missing + " does not exist" + kClose}
                                    : std::vector<std::string>{});
        EXPECT_EQ(slot(r.form, 0), r.storesAtClose && !asks ? missing : old);
        ui.messages.clear();
        ui.questions.clear();
        ui.yesNoAnswers.clear();

        d.load();
        d.setText(0, "");
        EXPECT_TRUE(d.ok());
        d.unload();
        EXPECT_EQ(slot(r.form, 0), r.emptyStored);
    }
}

// A name chosen in the Open dialog goes into the text box as typing does: without line breaks.
TEST_F(SingleFileTest, AChosenNameLosesItsLineBreaks) {
    SingleFileDialog d = dialog("frmoptout");
    d.load();
    ui.answerFile(dir.str() + "/out/a\nb.eps");
    d.change(0);
    EXPECT_EQ(d.text(0), dir.str() + "/out/ab.eps");
}

TEST_F(SingleFileTest, PhaseInReportsTheExhaustFileFirstAndStoresBothTogether) {
    SingleFileDialog d = dialog("frmTech");
    sc().runfiles[kExhTechnology] = "EXH";
    sc().runfiles[kEvpTechnology] = "EVP";
    d.load();
    d.setText(0, "no/exh.dat");
    d.setText(1, "no/evp.dat");
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"no/exh.dat does not exist"});
    EXPECT_EQ(d.text(0), "EXH");
    EXPECT_EQ(d.text(1), "no/evp.dat");

    d.setText(0, "data/tech/exh.dat");
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(ui.messageTexts().back(), "no/evp.dat does not exist");
    EXPECT_EQ(d.text(1), "EVP");
    EXPECT_EQ(sc().runfiles[kExhTechnology], "EXH");

    d.setText(1, "");
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(sc().runfiles[kExhTechnology], "data/tech/exh.dat");
    EXPECT_EQ(sc().runfiles[kEvpTechnology], "");
}

TEST_F(SingleFileTest, TemporalAllocationStoresAtClosingWithItsNote) {
    SingleFileDialog d = dialog("frmtemporal");
    const std::string season = data + "/SEASON/season.dat";
    const Message note{"Calling Region will negate any changes", kTitle, MessageIcon::Exclamation};

    // Both missing: the seasonal file is reported; only the region file: that one.
    d.load();
    d.setText(0, "s.dat");
    d.setText(1, "r.dat");
    EXPECT_FALSE(d.ok());
    d.setText(0, season);
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"s.dat does not exist", "r.dat does not exist"}));
    ui.messages.clear();

    // A change through "<<Change", then OK: both stored, then the note.
    ui.answerFile(data + "/SEASON/region.dat");
    d.change(1);
    EXPECT_TRUE(d.filechanged());
    EXPECT_TRUE(d.ok());
    EXPECT_TRUE(ui.messages.empty());
    d.unload();
    EXPECT_EQ(sc().runfiles[kSeasonality], season);
    EXPECT_EQ(sc().runfiles[kRegionsFile], data + "/SEASON/region.dat");
    EXPECT_EQ(ui.messages, std::vector<Message>{note});

    // OK without a change: no note. Cancel after a change: nothing stored, nothing shown.
    ui.messages.clear();
    d.load();
    EXPECT_TRUE(d.ok());
    d.unload();
    d.load();
    ui.answerFile(season);
    d.change(1);
    d.cancel();
    d.unload();
    EXPECT_EQ(sc().runfiles[kRegionsFile], data + "/SEASON/region.dat");
    EXPECT_TRUE(ui.messages.empty());
    // The flags start anew at every load.
    d.load();
    EXPECT_FALSE(d.cancelled());
    EXPECT_FALSE(d.filechanged());
}

TEST_F(SingleFileTest, OptionalOutputKeepsTheHiddenRowsAndSetsTheByModelYearFiles) {
    SingleFileDialog d = dialog("frmoptout");
    sc().runfiles[kNet] = "run.net";
    sc().runfiles[kExhaustBmyOut] = "run.bmx";
    sc().runfiles[kEvapBmyOut] = "run.bmv";
    sc().bmy_on = true;
    d.load();
    EXPECT_TRUE(d.byModelYear());
    EXPECT_EQ(d.text(1), "run.net");
    EXPECT_EQ(d.text(2), "Textbmy");
    d.setText(2, "never stored");
    d.unload(); // the close button: stored unchecked
    EXPECT_TRUE(sc().bmy_on);
    EXPECT_EQ(sc().runfiles[kNet], "run.net");
    EXPECT_EQ(sc().runfiles[kExhaustBmyOut], "run.bmx");
    for (const std::string& f : sc().runfiles)
        EXPECT_NE(f, "never stored");

    d.load();
    d.setByModelYear(false);
    EXPECT_TRUE(d.ok());
    d.unload();
    EXPECT_FALSE(sc().bmy_on);
    EXPECT_EQ(sc().runfiles[kExhaustBmyOut], "");
    EXPECT_EQ(sc().runfiles[kEvapBmyOut], "");

    d.load();
    d.setByModelYear(true);
    d.cancel();
    d.unload();
    EXPECT_FALSE(sc().bmy_on);
}

// Each row's Open dialog, the path it puts into the text box and the directory it leaves current.
TEST_F(SingleFileTest, ChangeButtonsOpenTheirFolderAndTakeThePathChosen) {
    const struct {
        std::string_view form;
        std::size_t row;
        std::string title, filter, dir;
    } opens[] = {
        {"frmActiv", 0, "Select Activity file", "ACTIVITY (*.DAT)|*.DAT|All files (*.*)|*.*",
         data + "/ACTIVITY"},
        {"frmUSCountiesFIPS", 0, "Select U.S. Counties FIPS file",
         "County FIPS (*.DAT)|*.DAT|All files (*.*)|*.*", data + "/ALLOCATE"},
        {"frmRetrofit", 0, "Select Retrofit file", "RETROFIT (*.DAT)|*.DAT|All files (*.*)|*.*",
         data + "/RETROFIT"},
        {"frmDaily", 0, "Select Daily Temp/RVP file", "DAYTMPRV (*.DAT)|*.DAT|All files (*.*)|*.*",
         data + "/DAILY"},
        // The data tree spells this folder in lower case.
        {"frmTech", 1, "Select Phase in file", "TECH (*.DAT)|*.DAT|All files (*.*)|*.*",
         data + "/tech"},
        {"frmtemporal", 1, "Select Seasonal Allocation file",
         "Season (*.dat)|*.dat|All files (*.*)|*.*", data + "/SEASON"},
        {"frmoptout", 0, "Select Output file", "EPS (*.eps)|*.eps|All files (*.*)|*.*",
         dir.str() + "/out"},
        {"frmoptout", 2, "Select Output file", "BMY (*.bm?)|*.bm?|All files (*.*)|*.*",
         dir.str() + "/out"},
    };
    for (const auto& o : opens) {
        SCOPED_TRACE(std::string(o.form) + " row " + std::to_string(o.row));
        SingleFileDialog d = dialog(o.form);
        d.load();
        fs::current_path("/");
        ui.answerFile(o.dir + "\\pick.dat");
        d.change(o.row);
        ASSERT_EQ(ui.dialogs.size(), 1u);
        const FileDialogRequest& req = ui.dialogs[0].request;
        EXPECT_EQ(req.title, o.title);
        EXPECT_EQ(req.filter, o.filter);
        EXPECT_EQ(req.filterIndex, 1);
        EXPECT_EQ(req.initialDir, o.dir);
        EXPECT_EQ(req.initialFile, "");
        EXPECT_EQ(req.mustExist, o.form != "frmoptout");
        EXPECT_EQ(d.text(o.row), o.dir + "/pick.dat");
        EXPECT_TRUE(fs::equivalent(fs::current_path(), dir.path()));
        // The next Open dialog starts at this choice, except Optional Output's.
        ui.answerFile(std::nullopt);
        d.change(o.row);
        EXPECT_EQ(ui.dialogs[1].request.initialFile,
                  o.form == "frmoptout" ? "" : o.dir + "/pick.dat");
        EXPECT_EQ(d.text(o.row), o.dir + "/pick.dat");
        ui.dialogs.clear();
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SingleFileTest, ALongNameOpensTheDialogAgainAndCancelKeepsTheText) {
    SingleFileDialog d = dialog("frmActiv");
    sc().runfiles[kActivity] = "kept.dat";
    d.load();
    ui.answerFile(data + "/ACTIVITY/LONGNAME1.DAT");
    ui.answerFile(std::nullopt);
    d.change(0);
    EXPECT_EQ(ui.messages,
              (std::vector<Message>{
                  {"LONGNAME1\nFilename too long: Must be 8 characters max before period", kTitle,
                   MessageIcon::Exclamation}}));
    ASSERT_EQ(ui.dialogs.size(), 2u);
    EXPECT_EQ(ui.dialogs[1].request.initialFile, data + "/ACTIVITY/LONGNAME1.DAT");
    EXPECT_EQ(d.text(0), "kept.dat");
    EXPECT_FALSE(d.filechanged());
}

// Every single file changed through its dialog, then a save: /RUNFILES/ is written from the
// scenario, /MODELYEAR OUT/ and /DAILY FILES/ only where the template has them, and no edit
// flag is set.
TEST_F(SingleFileTest, ASaveWritesTheFilesTheDialogsChose) {
    const std::string full = complete_options_file();
    const std::string bare =
        without_packet(without_packet(full, "/DAILY FILES/"), "/MODELYEAR OUT/");
    for (const std::string& templ : {full, bare}) {
        const bool hasOptional = templ == full;
        SCOPED_TRACE(hasOptional ? "complete template" : "template without the optional packets");
        writeFile("round.opt", templ);
        sc().optdir = dir.str();
        sc().optfile = "round.opt";
        ASSERT_EQ(read_options(*session), ReadOutcome::Loaded);
        ui.messages.clear();

        std::vector<std::string> chosen;
        for (const SingleFileMember& m : single_file_members()) {
            SingleFileDialog d(*session, m);
            d.load();
            for (std::size_t row = 0; row < m.rows.size(); ++row) {
                if (m.rows[row].hidden)
                    continue;
                chosen.push_back(data + "/new" + std::to_string(chosen.size()) + ".dat");
                dir.write(chosen.back().substr(dir.str().size() + 1), "x");
                ui.answerFile(chosen.back());
                d.change(row);
            }
            d.setByModelYear(true);
            ASSERT_TRUE(d.ok()) << m.form;
            d.unload();
        }
        EXPECT_EQ(ui.messageTexts(),
                  std::vector<std::string>{"Calling Region will negate any changes"});

        sc().newoptdir = dir.str();
        sc().newoptfile = "saved.opt";
        ASSERT_TRUE(newoptions(*session));
        const std::string saved = read_file(dir.path() / "saved.opt");
        // Menu order: temporal (season, region), phase in (exh, evp), activity, FIPS,
        // retrofit, daily, EPS.
        const std::string runfiles =
            "/RUNFILES/\r\n"
            "ALLOC XREF         : /data/ALLOCATE/allocate.xrf\r\n"
            "ACTIVITY           : " +
            chosen[4] + "\r\n" + "EXH TECHNOLOGY     : " + chosen[2] + "\r\n" +
            "EVP TECHNOLOGY     : " + chosen[3] + "\r\n" + "SEASONALITY        : " + chosen[0] +
            "\r\n" + "REGIONS            : " + chosen[1] + "\r\n" +
            "MESSAGE            : /model/outputs/test1.msg\r\n"
            "OUTPUT DATA        : /model/outputs/test1.out\r\n"
            "EPS2 AMS           : " +
            chosen[8] + "\r\n" + "US COUNTIES FIPS   : " + chosen[5] + "\r\n" +
            "RETROFIT           : " + chosen[6] + "\r\n" + "/END/\r\n";
        EXPECT_NE(saved.find(runfiles), std::string::npos) << saved;
        const std::string modelYear = "/MODELYEAR OUT/\r\n"
                                      "EXHAUST BMY OUT    : /model/outputs/test1.BMX\r\n"
                                      "EVAP BMY OUT       : /model/outputs/test1.BMV\r\n/END/\r\n";
        const std::string daily =
            "/DAILY FILES/\r\nDAILY TEMPS/RVP    : " + chosen[7] + "\r\n/END/\r\n";
        EXPECT_EQ(saved.find(modelYear) != std::string::npos, hasOptional);
        EXPECT_EQ(saved.find(daily) != std::string::npos, hasOptional);
        EXPECT_EQ(saved.find("/MODELYEAR OUT/") != std::string::npos, hasOptional);
        EXPECT_EQ(saved.find("/DAILY FILES/") != std::string::npos, hasOptional);
        EXPECT_FALSE(sc().changed_options || sc().changed_period || sc().changed_region ||
                     sc().changed_pop || sc().changed_alloc || sc().changed_growth ||
                     sc().changed_emfac);
    }
}

} // namespace
} // namespace kv::test
