#include "runs/model_run.h"
#include "runs/posix_launcher.h"
#include "support/shell_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class ModelRunTest : public ShellTest {
protected:
    void SetUp() override {
        load();
        // The scenario's outputs go to the model's outputs directory.
        sc().msgdir = model + "/outputs";
        sc().msgfile = "TEST1.MSG";
        sc().outdir = model + "/outputs";
        sc().outfile = "TEST1.OUT";
        sc().runfiles[kMessage] = sc().msgdir + "/TEST1.MSG";
        sc().runfiles[kOutputData] = sc().outdir + "/TEST1.OUT";
    }
};

TEST_F(ModelRunTest, BatchFileHasTheTwoLinesOfTheRun) {
    Session s(ui, launcher, refdbs, dir.path(), PathRules::windows());
    s.settings.modeldir = "C:\\MODEL";
    s.settings.modelexe = "MODEL.EXE";
    s.scenario.optdir = "C:\\RUNS";
    s.scenario.optfile = "TEST1.OPT";
    EXPECT_EQ(batch_file_text(s), "CD C:\\MODEL\r\nMODEL.EXE C:\\RUNS\\TEST1.OPT\r\n");
}

TEST_F(ModelRunTest, RunSavesWritesTheBatchFileAndStartsTheModelFromItsDirectory) {
    writeFile("model/model.sh", "");
    writeFile("runs/test1.opt", read_file(model + "/test1.opt"));
    sc().optdir = dir.str() + "/runs"; // an options file outside the model directory
    sc().changed_options = true;
    sc().title1str = "SAVED FIRST";

    const RunReport report = run_model(*session);
    EXPECT_EQ(report.outcome, RunOutcome::Finished);
    EXPECT_EQ(read_file(model + "/kelvaro.bat"),
              "CD " + model + "\r\nmodel.sh " + dir.str() + "/runs/test1.opt\r\n");
    ASSERT_EQ(launcher.waited.size(), 1u);
    const LaunchRequest& r = launcher.waited[0];
    EXPECT_EQ(r.program, model + "/model.sh");
    EXPECT_EQ(r.arguments, std::vector<std::string>{dir.str() + "/runs/test1.opt"});
    EXPECT_EQ(r.workingDirectory, model);
    EXPECT_NE(read_file(dir.str() + "/runs/test1.opt").find("SAVED FIRST"), std::string::npos);
    EXPECT_EQ(ui.statuses.size(), 1u);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(cwd(), dir.str());
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_FALSE(session->modelRunning);
}

TEST_F(ModelRunTest, AModelThatCannotBeStartedIsReportedAndLogged) {
    session->settings.modelexe = "Missing.EXE";
    launcher.result = {false, 0, false, "No such file or directory"};
    EXPECT_EQ(run_model(*session).outcome, RunOutcome::Failed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Problem starting Core Model\n\nCommand string: missing.exe " +
                                       lower(model) +
                                       "/test1.opt\n\nMake sure the Core model executable "
                                       "exists and is in the correct path.");
    EXPECT_EQ(ui.messages[0].title, "US XQB KELVARO MODEL");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(logLines().back(), "Problem running file error number 53 command string "
                                 "Missing.EXE " +
                                     model + "/test1.opt");
    EXPECT_TRUE(ui.statuses.empty());
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_FALSE(session->modelRunning);
}

TEST_F(ModelRunTest, ABatchFileThatCannotBeWrittenShowsAnEmptyCommand) {
    fs::create_directories(model + "/kelvaro.bat"); // a directory in its place
    EXPECT_EQ(run_model(*session).outcome, RunOutcome::Failed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Problem starting Core Model\n\nCommand string: \n\nMake sure "
                                   "the Core model executable exists and is in the correct path.");
    EXPECT_TRUE(logLines().back().starts_with("Problem running file error number "));
    EXPECT_TRUE(logLines().back().ends_with(" command string "));
    EXPECT_TRUE(launcher.waited.empty());
}

TEST_F(ModelRunTest, NothingRunsWhenTheOptionsFileCannotBeSaved) {
    sc().optfile = "gone.opt";
    EXPECT_EQ(run_model(*session).outcome, RunOutcome::SaveFailed);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"file error 53\nNo such file or directory"});
    EXPECT_TRUE(launcher.waited.empty());
    EXPECT_FALSE(fs::exists(model + "/kelvaro.bat"));
}

// Starts a second run from inside the first one's wait, as a click during the run would.
class ReentrantLauncher : public RecordingLauncher {
public:
    LaunchResult runAndWait(const LaunchRequest& request) override {
        inner = run_model(*session).outcome;
        return RecordingLauncher::runAndWait(request);
    }
    Session* session = nullptr;
    RunOutcome inner = RunOutcome::Finished;
};

TEST_F(ModelRunTest, ASecondRunIsRefusedWhileOneIsUnderWay) {
    ReentrantLauncher reentrant;
    Session s(ui, reentrant, refdbs, dir.path(), PathRules::posix());
    s.settings = session->settings;
    s.scenario = sc();
    reentrant.session = &s;
    EXPECT_EQ(run_model(s).outcome, RunOutcome::Finished);
    EXPECT_EQ(reentrant.inner, RunOutcome::Refused);
    EXPECT_EQ(reentrant.waited.size(), 1u);
}

// The real stand-in model, started through the POSIX launcher as kvopt does.
TEST_F(ModelRunTest, StandInModelWritesTheFilesTheStatusShows) {
    fs::copy_file(std::string(KV_DEMO_DIR) + "/model/demo-model", model + "/demo-model");
    session->settings.modelexe = "demo-model";
    PosixLauncher posix;
    Session s(ui, posix, refdbs, dir.path(), PathRules::posix());
    s.settings = session->settings;
    s.scenario = sc();
    s.log.attach(logStream);

    const RunReport report = run_model(s);
    EXPECT_EQ(report.outcome, RunOutcome::Finished);
    EXPECT_EQ(report.launch.exitCode, 0);
    const std::string msg = read_file(model + "/outputs/TEST1.MSG");
    EXPECT_NE(msg.find("stand-in"), std::string::npos);
    EXPECT_NE(msg.find("/data/ACTIVITY/activity.dat  MISSING"), std::string::npos);
    EXPECT_NE(msg.find("06000"), std::string::npos);
    EXPECT_TRUE(fs::exists(model + "/outputs/TEST1.OUT"));
    ASSERT_EQ(ui.statuses.size(), 1u);
    EXPECT_TRUE(ui.statuses[0].viewMessageVisible);
    EXPECT_NE(ui.statuses[0].text.find("Current Message File     : test1.msg"), std::string::npos);
    EXPECT_NE(ui.statuses[0].text.find(" bytes "), std::string::npos);
}

TEST_F(ModelRunTest, AModelThatFailsStillCountsAsFinished) {
    script("model.sh", "echo failing >&2; exit 3");
    PosixLauncher posix;
    Session s(ui, posix, refdbs, dir.path(), PathRules::posix());
    s.settings = session->settings;
    s.scenario = sc();
    const RunReport report = run_model(s);
    EXPECT_EQ(report.outcome, RunOutcome::Finished);
    EXPECT_EQ(report.launch.exitCode, 3);
    ASSERT_EQ(ui.statuses.size(), 1u);
    EXPECT_FALSE(ui.statuses[0].viewMessageVisible);
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
} // namespace kv::test
