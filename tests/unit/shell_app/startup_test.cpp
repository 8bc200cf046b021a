#include "runs/model_run.h"
#include "shell/demo_copy.h"
#include "shell/file_commands.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "support/shell_fixture.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class StartupTest : public ShellTest {
protected:
    StartupTest() {
        fs::create_directories(dir.str() + "/data");
        writeFile("data/kelvaro.me", "me\n");
        writeFile("model/model.exe", "");
        writeFile("access", "");
        writeFile("model/new.opt", "");
        ini = dir.str() + "/kv-gui.ini";
        session->settings = {};
        sc().optfile.clear();
        sc().optdir.clear();
    }
    StartupOutcome start(bool another = false) {
        hooks.centreWindow = [this] { events.push_back("centre"); };
        hooks.showWindow = [this] { events.push_back("show"); };
        return run_startup(*session, another, hooks);
    }
    std::vector<std::string> regionLines() const {
        return text_lines(read_file(dir.path() / "region.txt"));
    }
    void answerAllPrompts() {
        ui.answerFile(model + "/model.exe");
        ui.answerFile(model + "/test1.opt");
        ui.answerFile(model + "/new.opt");
        ui.answerFile(dir.str() + "/data/kelvaro.me");
        ui.answerFile(dir.str() + "/access");
    }
    void writeIni(const std::string& modeldir, const std::string& exe, const std::string& opt,
                  const std::string& newopt, const std::string& data, const std::string& access) {
        Settings s;
        s.modeldir = modeldir;
        s.modelexe = exe;
        s.datadir = data;
        s.accessexe = access;
        std::ofstream(ini, std::ios::binary) << settings_file_text(s, opt, newopt);
    }
    StartupHooks hooks;
    std::vector<std::string> events;
    std::string ini;
};

TEST_F(StartupTest, FirstRunAsksForEveryLocationAndRecordsThem) {
    answerAllPrompts();
    EXPECT_EQ(start(), StartupOutcome::Ready);

    ASSERT_EQ(ui.dialogs.size(), 5u);
    struct Expected {
        bool save;
        const char* title;
        const char* filter;
        std::string initialDir;
    };
    const std::string opt = "option (*.opt)|*.opt|text files (*.txt)|*.txt|All files (*.*)|*.*";
    const Expected expected[] = {
        {false, "Select Model", "model (*.exe)|*.exe", ""},
        {false, "Select Option template", opt.c_str(), model},
        {true, "Name new option file", opt.c_str(), model},
        {false, "Navigate to Data files and select", "(*.me)|*.me", "/"},
        {false, "Select MSACCESS.EXE", "option (*.exe)|*.exe", "/usr/bin"},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(ui.dialogs[i].save, expected[i].save) << i;
        EXPECT_EQ(ui.dialogs[i].request.title, expected[i].title) << i;
        EXPECT_EQ(ui.dialogs[i].request.filter, expected[i].filter) << i;
        EXPECT_EQ(ui.dialogs[i].request.filterIndex, 1) << i;
        EXPECT_EQ(ui.dialogs[i].request.initialDir, expected[i].initialDir) << i;
        EXPECT_EQ(ui.dialogs[i].request.initialFile, "") << i;
    }

    Settings s;
    s.modeldir = model;
    s.modelexe = "model.exe";
    s.datadir = dir.str() + "/data";
    s.accessexe = dir.str() + "/access";
    EXPECT_EQ(read_file(ini), settings_file_text(s, "test1.opt", "new.opt"));
    EXPECT_EQ(events, (std::vector<std::string>{"centre", "show"}));
    EXPECT_EQ(regionLines().front(), "Starting new run");
    EXPECT_EQ(session->loadcount, 1);
    // The default options file is read from the model directory.
    EXPECT_EQ(sc().optdir, model);
    EXPECT_EQ(sc().title1str, "TEST RUN");
    EXPECT_EQ(ui.captions.back(), "US XQB KELVARO MODEL (test1.opt)");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.busyDepth, 0);
    // A second load of the window does nothing more.
    EXPECT_EQ(start(), StartupOutcome::AlreadyLoaded);
    EXPECT_EQ(ui.dialogs.size(), 5u);
}

TEST_F(StartupTest, TheTemplateIsReadFromTheModelDirectoryWhereverItWasChosen) {
    writeFile("elsewhere/test1.opt", "not an options file\n");
    ui.answerFile(model + "/model.exe");
    ui.answerFile(dir.str() + "/elsewhere/test1.opt");
    ui.answerFile(model + "/new.opt");
    ui.answerFile(dir.str() + "/data/kelvaro.me");
    ui.answerFile(dir.str() + "/access");
    EXPECT_EQ(start(), StartupOutcome::Ready);
    EXPECT_EQ(sc().optdir, model);
    EXPECT_EQ(sc().title1str, "TEST RUN");
}

TEST_F(StartupTest, NewOptionFileNameMustPassTheEightThreeCheck) {
    ui.answerFile(model + "/model.exe");
    ui.answerFile(model + "/test1.opt");
    ui.answerFile(model + "/LONGNAME1.OPT");
    ui.answerFile(model + "/new.opt");
    ui.answerFile(dir.str() + "/data/kelvaro.me");
    ui.answerFile(dir.str() + "/access");
    EXPECT_EQ(start(), StartupOutcome::Ready);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "LONGNAME1\nFilename too long: Must be 8 characters max before period");
    EXPECT_EQ(ui.dialogs[3].request.title, "Name new option file");
    EXPECT_EQ(sc().newoptfile, "new.opt");
}

TEST_F(StartupTest, CancellingAPromptEndsTheRunWithoutSettings) {
    struct Case {
        int answered;
        const char* text;
        bool titled;
    };
    const Case cases[] = {
        {0, "Must select Model", false},          {1, "Must have default option file", true},
        {2, "Must have new option file", false},  {3, "Must Define Data Path", false},
        {4, "Will not transfer to ACCESS", true},
    };
    for (const auto& c : cases) {
        ui = ScriptedUserInterface{};
        session->loadcount = 0;
        answerAllPrompts();
        ui.fileAnswers.resize(static_cast<std::size_t>(c.answered));
        EXPECT_EQ(start(), StartupOutcome::PromptCancelled) << c.text;
        ASSERT_EQ(ui.messages.size(), 1u) << c.text;
        EXPECT_EQ(ui.messages[0].text, c.text);
        EXPECT_EQ(ui.messages[0].title, c.titled ? "US XQB KELVARO MODEL" : "");
        EXPECT_FALSE(fs::exists(ini)) << c.text;
        EXPECT_EQ(regionLines(), std::vector<std::string>{"Starting new run"});
    }
}

TEST_F(StartupTest, LaterRunChecksEveryRecordedPath) {
    const std::string data = dir.str() + "/data";
    const std::string access = dir.str() + "/access";
    struct Case {
        std::string modeldir, exe, opt, newopt, data, access, missing;
    };
    const Case cases[] = {
        {model, "nomodel.exe", "test1.opt", "new.opt", data, access, model + "/nomodel.exe"},
        {model, "model.exe", "none.opt", "new.opt", data, access, model + "/none.opt"},
        {model, "model.exe", "test1.opt", "never.opt", data, access, model + "/never.opt"},
        {model, "model.exe", "test1.opt", "new.opt", data + "/x", access, data + "/x"},
        {model, "model.exe", "test1.opt", "new.opt", data, access + "2", access + "2"},
    };
    for (const auto& c : cases) {
        ui = ScriptedUserInterface{};
        session->loadcount = 0;
        writeIni(c.modeldir, c.exe, c.opt, c.newopt, c.data, c.access);
        EXPECT_EQ(start(), StartupOutcome::SettingsMissing) << c.missing;
        ASSERT_EQ(ui.messages.size(), 1u) << c.missing;
        EXPECT_EQ(ui.messages[0].text,
                  c.missing + " does not exist. Correct kv-gui.ini and retry.");
        EXPECT_EQ(ui.messages[0].title, "US XQB KELVARO MODEL");
        EXPECT_EQ(regionLines(), (std::vector<std::string>{"Starting new run", "Ending run",
                                                           "****************************"}));
        EXPECT_TRUE(ui.dialogs.empty());
    }
    // With every path present the run goes on into the main window.
    ui = ScriptedUserInterface{};
    session->loadcount = 0;
    writeIni(model, "model.exe", "test1.opt", "new.opt", data, access);
    EXPECT_EQ(start(), StartupOutcome::Ready);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(session->settings.inipath, ini);
}

TEST_F(StartupTest, AnotherInstanceAsksFirstAndNoEndsAtOnce) {
    ui.answerYesNo(false);
    EXPECT_EQ(start(true), StartupOutcome::Declined);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0], "It appears the application is already running. Running mulitiple \n"
                               "instances of this program could lead to problems.  If you are\n"
                               "sure the application is not running, you can continue.\n\n"
                               "                     Would you like to continue anyway?");
    EXPECT_FALSE(fs::exists(dir.path() / "region.txt"));
    EXPECT_TRUE(events.empty());

    answerAllPrompts();
    ui.answerYesNo(true);
    EXPECT_EQ(start(true), StartupOutcome::Ready);
}

// The default options file is refused and no other one is chosen: the scenario stays empty,
// and neither Save nor Run writes it over the default file.
TEST_F(StartupTest, AnEmptyScenarioIsNeitherSavedNorRun) {
    const std::string refused = without_packet(complete_options_file(), "/REGION/");
    writeFile("model/test1.opt", refused);
    writeIni(model, "model.exe", "test1.opt", "new.opt", dir.str() + "/data",
             dir.str() + "/access");
    EXPECT_EQ(start(), StartupOutcome::Ready);
    EXPECT_EQ(ui.dialogs.size(), 2u); // asked once more, as there was no earlier file
    EXPECT_TRUE(sc().foundNoPacket());
    EXPECT_TRUE(sc().title1str.empty());
    EXPECT_TRUE(sc().regions.empty());

    const std::string empty = "No options file is loaded: the scenario is empty and cannot be "
                              "saved or run.\nChoose an options file with File > Open.";
    ui.messages.clear();
    EXPECT_EQ(file_save(*session), CommandOutcome::Failed);
    EXPECT_EQ(run_model(*session).outcome, RunOutcome::SaveFailed);
    EXPECT_EQ(file_save_as(*session), CommandOutcome::Failed);
    EXPECT_EQ(ui.messages, (std::vector<ScriptedUserInterface::Message>(
                               3, {empty, "US XQB KELVARO MODEL", MessageIcon::Exclamation})));
    EXPECT_EQ(read_file(model + "/test1.opt"), refused);
    EXPECT_TRUE(launcher.waited.empty());
    EXPECT_EQ(ui.dialogs.size(), 2u); // Save as did not ask for a name
}

TEST_F(StartupTest, AFailureInsideTheSequenceIsLoggedAsMainError) {
    // kv-gui.ini is a directory: the first run's prompts pass, but the file cannot be written.
    fs::create_directories(ini);
    answerAllPrompts();
    EXPECT_EQ(start(), StartupOutcome::MainError);
    EXPECT_EQ(regionLines(), (std::vector<std::string>{"Starting new run", " Main error 75"}));
    EXPECT_FALSE(session->log.isOpen());
}

// kvgui --demo, on an installed demo whose scenario is the complete test file.
class DemoStartupTest : public StartupTest {
protected:
    DemoStartupTest() {
        writeFile("share/demo/model/demo.opt.in", complete_options_file());
        hooks.openDemo = [this] { demo.open(places); };
    }
    std::string copy(const std::string& name) const { return dir.str() + "/copy/" + name; }

    DemoPlaces places{dir.path() / "share/demo", dir.path() / "copy", dir.path() / "bin/model"};
    DemoScenario demo{*session};
};

TEST_F(DemoStartupTest, NeverConfiguredTheDemoOpensWithoutAPromptAndWritesNoSettings) {
    EXPECT_EQ(start(), StartupOutcome::Ready);
    EXPECT_TRUE(ui.dialogs.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(events, (std::vector<std::string>{"centre", "show"}));
    EXPECT_EQ(sc().optdir + "/" + sc().optfile, copy("model/demo.opt"));
    EXPECT_EQ(session->settings.modeldir, copy("model"));
    EXPECT_FALSE(fs::exists(ini));
    // Nothing else is recorded: another file keeps the demo's folders.
    EXPECT_EQ(file_open_recent(*session, model + "/test1.opt"), CommandOutcome::Done);
    EXPECT_EQ(session->settings.modeldir, copy("model"));
}

TEST_F(DemoStartupTest, TheRecordedInstallationServesOtherFilesAndIsNeverWritten) {
    writeIni(model, "model.exe", "test1.opt", "new.opt", dir.str() + "/data",
             dir.str() + "/access");
    const std::string recorded = read_file(ini);
    EXPECT_EQ(start(), StartupOutcome::Ready);
    EXPECT_TRUE(ui.dialogs.empty());
    const Settings& s = session->settings;
    const auto expectFolders = [&](const std::string& modeldir, const std::string& exe,
                                   const std::string& datadir) {
        EXPECT_EQ(s.modeldir, modeldir);
        EXPECT_EQ(s.modelexe, exe);
        EXPECT_EQ(s.datadir, datadir);
        EXPECT_EQ(s.accessexe, dir.str() + "/access");
    };
    expectFolders(copy("model"), "demo-model", copy("data"));
    // The stand-in model runs in the demo's model folder.
    ASSERT_EQ(run_model(*session).outcome, RunOutcome::Finished);
    EXPECT_EQ(launcher.waited.back().program, copy("model/demo-model"));
    EXPECT_EQ(launcher.waited.back().workingDirectory, copy("model"));

    EXPECT_EQ(file_open_recent(*session, model + "/test1.opt"), CommandOutcome::Done);
    expectFolders(model, "model.exe", dir.str() + "/data");
    // The demo's folders come with the demo's file, however it is opened.
    EXPECT_EQ(file_open_recent(*session, copy("model/demo.opt")), CommandOutcome::Done);
    expectFolders(copy("model"), "demo-model", copy("data"));
    EXPECT_EQ(read_file(ini), recorded);
}

TEST_F(StartupTest, FiniEndsTheLog) {
    session->log.open(dir.path() / "region.txt");
    session->log.write("Starting new run");
    fini(*session);
    EXPECT_EQ(read_file(dir.path() / "region.txt"),
              "Starting new run\r\nEnding run\r\n****************************\r\n");
}

} // namespace
} // namespace kv::test
