// Unsaved changes, the recovery file, the recent files and where the program keeps its files.
#include "editors/options_dialog.h"
#include "runs/run_history.h"
#include "shell/demo_copy.h"
#include "shell/file_commands.h"
#include "shell/file_locations.h"
#include "shell/info_texts.h"
#include "shell/log.h"
#include "shell/recent_files.h"
#include "shell/recovery.h"
#include "shell/settings.h"
#include "support/shell_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class UnsavedChangesTest : public ShellTest {
protected:
    void SetUp() override { load(); }
    std::string current() const { return read_file(model + "/test1.opt"); }
};

TEST_F(UnsavedChangesTest, ValuesDecideNotEditFlags) {
    EXPECT_FALSE(session->scenarioModified());

    // Changed and changed back is not modified, whatever the flags say.
    sc().title1str = "ANOTHER";
    sc().changed_options = true;
    EXPECT_TRUE(session->scenarioModified());
    sc().title1str = "TEST RUN";
    EXPECT_FALSE(session->scenarioModified());

    // A dialog opened and closed with OK sets flags and changes nothing.
    sc().changed_options = false;
    OptionsDialog dialog(*session);
    dialog.load();
    ASSERT_TRUE(dialog.recheck());
    dialog.unload();
    EXPECT_TRUE(sc().changed_options);
    EXPECT_FALSE(session->scenarioModified());

    // Values the file does not carry do not count.
    sc().humidstr = "50";
    sc().regions_saved.clear();
    EXPECT_FALSE(session->scenarioModified());
    sc().periodindex = 1;
    EXPECT_TRUE(session->scenarioModified());
}

TEST_F(UnsavedChangesTest, SaveAndSaveAsMakeTheFileMatch) {
    sc().title1str = "SAVED";
    sc().changed_options = true;
    ASSERT_EQ(file_save(*session), CommandOutcome::Done);
    EXPECT_FALSE(session->scenarioModified());

    sc().title2str = "SAVED AS";
    ui.answerFile(dir.str() + "/run2.opt");
    ASSERT_EQ(file_save_as(*session), CommandOutcome::Done);
    EXPECT_EQ(sc().optfile, "run2.opt");
    EXPECT_FALSE(session->scenarioModified());
    // Its snapshot is that of the new file: reading it back changes nothing.
    const auto saved = session->savedValues();
    ASSERT_EQ(read_options(*session), ReadOutcome::Loaded);
    EXPECT_EQ(session->savedValues(), saved);
}

TEST_F(UnsavedChangesTest, TheQuestionBeforeTheScenarioIsLeft) {
    // Not modified: nothing is asked.
    EXPECT_TRUE(settle_unsaved_changes(*session));
    EXPECT_TRUE(ui.questions.empty());

    sc().title1str = "EDITED";
    sc().changed_options = true;
    const std::string before = current();
    struct Case {
        Answer answer;
        bool goesOn;
        bool saved;
    };
    for (const Case c : {Case{Answer::Cancel, false, false}, Case{Answer::No, true, false},
                         Case{Answer::Yes, true, true}}) {
        ui.answerYesNoCancel(c.answer);
        EXPECT_EQ(settle_unsaved_changes(*session), c.goesOn);
        EXPECT_EQ(current() != before, c.saved);
        EXPECT_EQ(session->scenarioModified(), !c.saved);
    }
    EXPECT_EQ(ui.questions, std::vector<std::string>(3, "Save changes to test1.opt?"));

    // A save that fails keeps the program where it is and the edits in memory.
    sc().title1str = "EDITED AGAIN";
    fs::remove(model + "/test1.opt");
    ui.answerYesNoCancel(Answer::Yes);
    EXPECT_FALSE(settle_unsaved_changes(*session));
    EXPECT_EQ(ui.messageTexts().back(), "file error 53\nNo such file or directory");
    EXPECT_TRUE(session->scenarioModified());
    EXPECT_EQ(sc().title1str, "EDITED AGAIN");
}

TEST_F(UnsavedChangesTest, OpenAsksFirstAndCancelOpensNothing) {
    sc().title1str = "EDITED";
    ui.answerYesNoCancel(Answer::Cancel);
    EXPECT_EQ(file_open(*session), CommandOutcome::Kept);
    EXPECT_TRUE(ui.dialogs.empty());
    EXPECT_EQ(sc().title1str, "EDITED");
}

TEST_F(UnsavedChangesTest, TheRecoveryFileComesBackOnTheFileItBelongsTo) {
    EXPECT_EQ(write_recovery_file(*session), std::nullopt); // nothing to keep
    sc().title1str = "NEVER SAVED";
    sc().changed_options = true;
    const std::string original = current();
    const auto written = write_recovery_file(*session);
    ASSERT_TRUE(written);
    EXPECT_EQ(*written,
              dir.path() /
                  ("test1.opt." + sha256_hex(model + "/test1.opt").substr(0, 12) + ".recovery"));
    EXPECT_EQ(logLines().back(), "Unsaved changes written to " + written->string());
    EXPECT_EQ(current(), original);
    const std::string text = read_file(*written);
    EXPECT_NE(text.find("Title 1            : NEVER SAVED"), std::string::npos);
    EXPECT_NE(text.find("/SOURCE CATEGORY/"), std::string::npos);
    ASSERT_EQ(find_recovery_files(dir.path()).size(), 1u);
    EXPECT_EQ(find_recovery_files(dir.path())[0].original, model + "/test1.opt");

    // The next start, on another file: No deletes it; Yes opens the file it belongs to with
    // the recovered values, modified, so that Save puts them there.
    const fs::path kept = dir.path() / "kept-copy";
    fs::copy_file(*written, kept);
    for (const bool yes : {false, true}) {
        fs::copy_file(kept, *written, fs::copy_options::overwrite_existing);
        readText(complete_options_file(), "other.opt");
        ui.questions.clear();
        ui.answerYesNo(yes);
        offer_recovery(*session);
        EXPECT_FALSE(fs::exists(*written));
        ASSERT_EQ(ui.questions.size(), 1u);
        EXPECT_EQ(ui.questions[0], "A recovery file from an earlier session was found: " +
                                       written->string() + "\n\nIt holds changes to " + model +
                                       "/test1.opt that were not saved when the program was "
                                       "ended. No deletes it.\n\nOpen it?");
        EXPECT_EQ(sc().optfile, yes ? "test1.opt" : "other.opt");
        EXPECT_EQ(sc().title1str, yes ? "NEVER SAVED" : "TEST RUN");
        EXPECT_EQ(session->scenarioModified(), yes);
    }
    ASSERT_EQ(file_save(*session), CommandOutcome::Done);
    EXPECT_NE(current().find("Title 1            : NEVER SAVED"), std::string::npos);
    EXPECT_TRUE(find_recovery_files(dir.path()).empty());
}

TEST_F(UnsavedChangesTest, ARecoveryWhoseFileIsGoneBecomesAFileOfItsOwn) {
    sc().title1str = "ORPHAN";
    const auto written = write_recovery_file(*session);
    ASSERT_TRUE(written);
    fs::remove(model + "/test1.opt");
    ui.answerYesNo(true);
    offer_recovery(*session);
    EXPECT_FALSE(fs::exists(*written));
    EXPECT_EQ(sc().optdir, dir.str());
    EXPECT_EQ(sc().optfile, "test1.opt");
    EXPECT_EQ(sc().title1str, "ORPHAN");
    // The note naming the recovered file goes with the next save.
    ASSERT_EQ(file_save(*session), CommandOutcome::Done);
    EXPECT_EQ(read_file(dir.path() / "test1.opt").find(" for unsaved changes to "),
              std::string::npos);
}

// Two windows on CA/run.opt and TX/run.opt sharing a state folder, ended by a signal.
TEST_F(UnsavedChangesTest, FilesOfOneNameKeepARecoveryFileEachForTheUserAlone) {
    session->stateDir = dir.path() / "state" / "kelvaro";
    for (const std::string state : {"CA", "TX"}) {
        const std::string path = writeFile(state + "/run.opt", complete_options_file());
        ASSERT_EQ(read_options_file(*session, path), ReadOutcome::Loaded);
        sc().title1str = state + " EDITS";
        ASSERT_TRUE(write_recovery_file(*session));
    }
    const auto found = find_recovery_files(session->stateDir);
    ASSERT_EQ(found.size(), 2u);
    for (const RecoveryFile& f : found) {
        const std::string state = f.original == dir.str() + "/CA/run.opt" ? "CA" : "TX";
        EXPECT_EQ(f.original, dir.str() + "/" + state + "/run.opt");
        EXPECT_NE(read_file(f.path).find("Title 1            : " + state + " EDITS"),
                  std::string::npos);
    }
    // Nothing else is left there (no temporary file), and nobody else may read it.
    RecentFiles recent;
    recent.keepIn(session->stateDir / RecentFiles::kFileName);
    recent.add("/runs/a.opt");
    EXPECT_EQ(append_run_record(session->stateDir / "runs.jsonl", {}), "");
    session->configDir = dir.path() / "config" / "kelvaro";
    ASSERT_TRUE(write_settings(*session));
    Log log;
    ASSERT_TRUE(start_run_log(log, session->stateDir));
    std::size_t files = 0;
    for (const fs::path& folder : {session->stateDir, session->configDir}) {
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all) << folder;
        EXPECT_EQ(fs::status(folder.parent_path()).permissions(), fs::perms::owner_all) << folder;
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_EQ(entry.status().permissions(), fs::perms::owner_read | fs::perms::owner_write)
                << entry.path();
            ++files;
        }
    }
    EXPECT_EQ(files, 6u); // two recovery files, the recent files, runs.jsonl, the log; kv-gui.ini
}

// A colleague saved other values into the file after the changes were made on it.
TEST_F(UnsavedChangesTest, ARecoveryOverAChangedFileOpensAsAnUntitledCopy) {
    session->stateDir = dir.path() / "state";
    sc().title1str = "MINE";
    const auto written = write_recovery_file(*session);
    ASSERT_TRUE(written);
    std::string theirs = complete_options_file();
    theirs.replace(theirs.find("Second title"), 12, "Their title");
    writeFile("model/test1.opt", theirs);

    readText(complete_options_file(), "other.opt"); // the next start
    ui.answerYesNo(true);
    offer_recovery(*session);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0],
              "A recovery file from an earlier session was found: " + written->string() +
                  "\n\nIt holds changes to " + model +
                  "/test1.opt that were not saved when the program was ended. That file has "
                  "changed since, so the changes are not put over it: Yes opens them as an "
                  "untitled copy (Save asks for a name), No deletes the recovery file.\n\nOpen "
                  "it as a copy?");
    EXPECT_EQ(sc().title1str, "MINE");
    EXPECT_EQ(sc().optdir, session->stateDir.string());
    EXPECT_EQ(session->untitledCopyOf, model + "/test1.opt");
    EXPECT_FALSE(fs::exists(*written));

    // Save asks for a name, beside the original; the colleague's file stays as it is.
    ui.answerFile(model + "/mine.opt");
    ASSERT_EQ(file_save(*session), CommandOutcome::Done);
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].request.initialDir, model);
    EXPECT_EQ(read_file(model + "/test1.opt"), theirs);
    EXPECT_NE(read_file(model + "/mine.opt").find("Title 1            : MINE"), std::string::npos);
    EXPECT_TRUE(session->untitledCopyOf.empty());

    // A save of the colleague's before the changes were first kept counts as well.
    ASSERT_EQ(read_options_file(*session, model + "/test1.opt"), ReadOutcome::Loaded);
    sc().title1str = "MINE AGAIN";
    writeFile("model/test1.opt", complete_options_file());
    ASSERT_TRUE(write_recovery_file(*session));
    ASSERT_EQ(find_recovery_files(session->stateDir).size(), 1u);
    EXPECT_EQ(find_recovery_files(session->stateDir)[0].originalSha256, Session::kChangedOnDisk);
}

// While the program runs, the recovery file follows the edits: a crash loses nothing.
TEST_F(UnsavedChangesTest, TheKeeperWritesWhileModifiedAndRemovesAtSave) {
    session->stateDir = dir.path() / "state";
    const fs::path target = recovery_file_path(*session);
    {
        RecoveryKeeper keeper(*session);
        keeper.refresh();
        EXPECT_FALSE(fs::exists(target)); // nothing to keep
        sc().title1str = "EDITED";
        keeper.refresh();
        EXPECT_NE(read_file(target).find("Title 1            : EDITED"), std::string::npos);
        // Another program starting now leaves it alone: this one keeps it.
        EXPECT_TRUE(find_recovery_files(session->stateDir).empty());
        ASSERT_EQ(file_save(*session), CommandOutcome::Done);
        keeper.refresh();
        EXPECT_FALSE(fs::exists(target));

        // Changes the user leaves unsaved on purpose go, and are not written again.
        sc().title1str = "LEFT";
        keeper.refresh();
        EXPECT_TRUE(fs::exists(target));
        keeper.discard();
        keeper.refresh();
        EXPECT_FALSE(fs::exists(target));

        // A crash: the last changes stay for the next start.
        RecoveryKeeper crashing(*session);
        sc().title1str = "CRASHED";
        crashing.refresh();
    }
    const auto found = find_recovery_files(session->stateDir);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NE(read_file(found[0].path).find("Title 1            : CRASHED"), std::string::npos);
}

TEST_F(UnsavedChangesTest, RecentFilesNewestFirstEightAtMost) {
    const fs::path list = dir.path() / "state" / RecentFiles::kFileName;
    session->recentFiles.keepIn(list);
    for (int i = 1; i <= 9; ++i)
        session->recentFiles.add("/runs/r" + std::to_string(i) + ".opt");
    session->recentFiles.add("/runs/r5.opt"); // listed already: moves to the top
    const std::vector<std::string> expected = {"/runs/r5.opt", "/runs/r9.opt", "/runs/r8.opt",
                                               "/runs/r7.opt", "/runs/r6.opt", "/runs/r4.opt",
                                               "/runs/r3.opt", "/runs/r2.opt"};
    EXPECT_EQ(session->recentFiles.paths(), expected);
    RecentFiles again; // the next start
    again.keepIn(list);
    EXPECT_EQ(again.paths(), expected);

    // Reads and saves put the current file on top.
    ASSERT_EQ(read_options(*session), ReadOutcome::Loaded);
    EXPECT_EQ(session->recentFiles.paths().front(), model + "/test1.opt");

    // A file that is gone leaves the list with a message; nothing else happens.
    ui.messages.clear();
    EXPECT_EQ(file_open_recent(*session, "/runs/r9.opt"), CommandOutcome::Failed);
    EXPECT_EQ(ui.messages, (std::vector<ScriptedUserInterface::Message>{
                               {"Options file not found: /runs/r9.opt", "US XQB KELVARO MODEL",
                                MessageIcon::Exclamation}}));
    EXPECT_EQ(session->recentFiles.paths().size(), 7u);
    EXPECT_EQ(sc().optfile, "test1.opt");

    // An existing one is opened after the unsaved-changes question.
    writeFile("runs/other.opt", complete_options_file());
    sc().title1str = "EDITED";
    ui.answerYesNoCancel(Answer::No);
    EXPECT_EQ(file_open_recent(*session, dir.str() + "/runs/other.opt"), CommandOutcome::Done);
    EXPECT_EQ(ui.questions.back(), "Save changes to test1.opt?");
    EXPECT_EQ(sc().optfile, "other.opt");
    EXPECT_EQ(sc().optdir, dir.str() + "/runs");
    EXPECT_EQ(session->recentFiles.paths().front(), dir.str() + "/runs/other.opt");
}

TEST(FileLocations, BesideTheProgramOrInTheUsersDirectories) {
    struct Case {
        bool beside;
        std::map<std::string, std::string> env;
        std::string config, state;
    };
    const Case cases[] = {
        {true, {{"XDG_CONFIG_HOME", "/xdg/c"}}, "/opt/kv/bin", "/opt/kv/bin"},
        {false,
         {{"HOME", "/home/ann"}},
         "/home/ann/.config/kelvaro",
         "/home/ann/.local/state/kelvaro"},
        {false,
         {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/xdg/c"}, {"XDG_STATE_HOME", "/xdg/s"}},
         "/xdg/c/kelvaro",
         "/xdg/s/kelvaro"},
        // Empty or relative values are ignored.
        {false,
         {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", ""}, {"XDG_STATE_HOME", "rel/state"}},
         "/home/ann/.config/kelvaro",
         "/home/ann/.local/state/kelvaro"},
    };
    for (const Case& c : cases) {
        const auto env = [&c](const std::string& name) -> std::optional<std::string> {
            const auto it = c.env.find(name);
            return it == c.env.end() ? std::nullopt : std::optional(it->second);
        };
        const FileLocations places = file_locations("/opt/kv/bin", c.beside, env);
        EXPECT_EQ(places.configDir, fs::path(c.config));
        EXPECT_EQ(places.stateDir, fs::path(c.state));
    }

    // A writable directory keeps the files, unless an installation put the program there.
    TempDir prefix;
    fs::create_directories(prefix.path() / "bin");
    EXPECT_TRUE(keeps_files_beside_program(prefix.path() / "bin"));
    prefix.write("share/metainfo/" + std::string(kAppId) + ".metainfo.xml", "<component/>");
    EXPECT_FALSE(keeps_files_beside_program(prefix.path() / "bin"));
    if (::geteuid() != 0) { // root may write anywhere
        TempDir readOnly;
        fs::permissions(readOnly.path(), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(keeps_files_beside_program(readOnly.path()));
        fs::permissions(readOnly.path(), fs::perms::owner_all);
    }
}

TEST(DemoCopy, MadeOnceNeverOverAChangedFileAndAMissingFileComesBack) {
    TempDir root;
    const DemoPlaces places{root.path() / "share/demo", root.path() / "copy",
                            root.path() / "bin/demo-model"};
    const auto install = [&root](const std::string& name, const std::string& text) {
        root.write("share/demo/" + name, text);
    };
    const auto copied = [&root](const std::string& name) {
        return read_file(root.path() / "copy" / name);
    };
    install("model/demo.opt.in", "DATA: @KV_DEMO_DATA@/a\r\nMESSAGE: @KV_DEMO_MODEL@/m.msg\r\n");
    install("model/reports/kelvaro.ini", "; one\n");
    install("data/pop/ca.pop", "pop\n");

    DemoCopyReport report = copy_demo(places);
    ASSERT_EQ(report.error, "");
    EXPECT_EQ(report.written, (std::vector<std::string>{"data/pop/ca.pop", "model/demo.opt",
                                                        "model/reports/kelvaro.ini"}));
    EXPECT_EQ(copied("model/demo.opt"), "DATA: " + root.str() + "/copy/data/a\r\nMESSAGE: " +
                                            root.str() + "/copy/model/m.msg\r\n");
    EXPECT_EQ(fs::read_symlink(root.path() / "copy/model/demo-model"), places.model);
    EXPECT_EQ(text_lines(copied("copied-files.sha256")).size(), 3u);
    report = copy_demo(places);
    EXPECT_TRUE(report.written.empty() && report.kept.empty() && report.error.empty());

    // The user changes one file and deletes another; a newer installation changes two.
    root.write("copy/model/demo.opt", "mine\r\n");
    fs::remove(root.path() / "copy/data/pop/ca.pop");
    install("model/demo.opt.in", "newer\r\n");
    install("model/reports/kelvaro.ini", "; two\n");
    for (int again = 0; again < 2; ++again) {
        report = copy_demo(places);
        EXPECT_EQ(report.error, "");
        EXPECT_EQ(report.kept, std::vector<std::string>{"model/demo.opt"});
        EXPECT_EQ(report.written, again ? std::vector<std::string>{}
                                        : (std::vector<std::string>{"data/pop/ca.pop",
                                                                    "model/reports/kelvaro.ini"}));
    }
    EXPECT_EQ(copied("model/demo.opt"), "mine\r\n");
    EXPECT_EQ(copied("model/reports/kelvaro.ini"), "; two\n");

    fs::remove_all(root.path() / "share");
    EXPECT_EQ(copy_demo(places).error,
              root.str() + "/share/demo/model/demo.opt.in is missing: the demo is not installed.");
}

TEST(CommandLine, HelpAndVersionAnswerOtherArgumentsDoNot) {
    const FileLocations places{"/etc/kv", "/var/kv"};
    EXPECT_EQ(kvgui_command_line_answer({"--version"}, places),
              std::string("kvgui (Kelvaro Model Interface) ") + KV_VERSION + "\n");
    const auto help = kvgui_command_line_answer({"somefile", "-h"}, places);
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->starts_with("Usage: kvgui [--help] [--version] [--demo]\n"));
    EXPECT_NE(help->find("  /etc/kv/kv-gui.ini\n  /var/kv/region.txt (the log)\n"),
              std::string::npos);
    EXPECT_EQ(kvgui_command_line_answer({"--first", "second"}, places), std::nullopt);
    EXPECT_EQ(kvgui_command_line_answer({}, places), std::nullopt);
}

} // namespace
} // namespace kv::test
