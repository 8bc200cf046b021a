#include "runs/posix_launcher.h"
#include "shell/editor_launch.h"
#include "shell/reports.h"
#include "support/shell_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

using ReportsTest = ShellTest;

TEST_F(ReportsTest, StartsTheReportingToolOnTheDatabaseWithoutWaiting) {
    session->settings.accessexe = "/opt/Office/MSACCESS.EXE";
    fs::create_directories(model + "/reports");
    EXPECT_TRUE(launch_reports(*session));
    ASSERT_EQ(launcher.detached.size(), 1u);
    const LaunchRequest& r = launcher.detached[0];
    EXPECT_EQ(r.program, "/opt/Office/MSACCESS.EXE");
    EXPECT_EQ(r.arguments, (std::vector<std::string>{model + "/reports/reports.mdb", "/ini",
                                                     model + "/reports/kelvaro.ini"}));
    EXPECT_EQ(reports_command_line(*session), "/opt/Office/MSACCESS.EXE " + model +
                                                  "/reports/reports.mdb /ini " + model +
                                                  "/reports/kelvaro.ini");
    EXPECT_EQ(cwd(), model + "/reports"); // stays current afterwards
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(launcher.waited.empty());
}

TEST_F(ReportsTest, AToolThatCannotBeStartedIsReportedInLowerCase) {
    session->settings.accessexe = "/opt/Office/MSACCESS.EXE";
    launcher.result = {false, 0, false, "not found"};
    EXPECT_FALSE(launch_reports(*session));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Problem starting the Reporting Utility\nCommand string: \n\n" +
                  lower("/opt/Office/MSACCESS.EXE " + model + "/reports/reports.mdb /ini " + model +
                        "/reports/kelvaro.ini") +
                  "\n\nMake sure all of the compenents exist and are in "
                  "the correct path.");
    EXPECT_EQ(ui.messages[0].title, "US XQB KELVARO MODEL");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(logLines().empty());
}

// An environment described by a table.
class FakeEditorEnvironment : public EditorEnvironment {
public:
    std::optional<std::string> variable(const std::string& name) const override {
        return lookup(variables, name);
    }
    std::optional<std::string> defaultTextApplication() const override { return defaultApp; }
    std::optional<std::string> desktopEntryPath(const std::string& id) const override {
        return lookup(desktopEntries, id);
    }
    std::optional<std::string> findProgram(const std::string& name) const override {
        return lookup(programs, name);
    }
    std::map<std::string, std::string> variables, desktopEntries, programs;
    std::optional<std::string> defaultApp;

private:
    static std::optional<std::string> lookup(const std::map<std::string, std::string>& m,
                                             const std::string& key) {
        const auto it = m.find(key);
        return it == m.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
};

std::vector<std::string> describe(const std::vector<EditorCandidate>& candidates) {
    std::vector<std::string> out;
    for (const auto& c : candidates) {
        std::string line = c.request.program;
        for (const auto& a : c.request.arguments)
            line += " [" + a + "]";
        out.push_back(line + (c.waitForSuccess ? " wait" : ""));
    }
    return out;
}

TEST(EditorCandidates, VisualThenTheDesktopDefaultThenCommonEditors) {
    FakeEditorEnvironment env;
    EXPECT_TRUE(editor_candidates(env, "/m/a b.msg").empty());

    env.variables["VISUAL"] = "  emacsclient  -c ";
    env.defaultApp = "org.example.Edit.desktop";
    env.desktopEntries["org.example.Edit.desktop"] =
        "/usr/share/applications/org.example.Edit.desktop";
    env.programs = {{"gio", "/usr/bin/gio"},
                    {"gtk-launch", "/usr/bin/gtk-launch"},
                    {"kate", "/usr/bin/kate"},
                    {"gedit", "/usr/bin/gedit"},
                    {"xdg-open", "/usr/bin/xdg-open"}};
    EXPECT_EQ(describe(editor_candidates(env, "/m/a b.msg")),
              (std::vector<std::string>{
                  "emacsclient [-c] [/m/a b.msg]",
                  "/usr/bin/gio [launch] [/usr/share/applications/org.example.Edit.desktop] "
                  "[/m/a b.msg] wait",
                  "/usr/bin/gtk-launch [org.example.Edit.desktop] [/m/a b.msg] wait",
                  "/usr/bin/gedit [/m/a b.msg]",
                  "/usr/bin/kate [/m/a b.msg]",
              }));

    // Without its desktop file gio is skipped; gtk-launch finds the entry by itself.
    env.desktopEntries.clear();
    env.variables.clear();
    EXPECT_EQ(describe(editor_candidates(env, "f")).front(),
              "/usr/bin/gtk-launch [org.example.Edit.desktop] [f] wait");
}

class EditorLaunchTest : public ShellTest {
protected:
    EditorLaunchTest() {
        env.programs = {{"gio", "/usr/bin/gio"}, {"mousepad", "/usr/bin/mousepad"}};
        env.defaultApp = "ed.desktop";
        env.desktopEntries["ed.desktop"] = "/apps/ed.desktop";
    }
    FakeEditorEnvironment env;
};

// Starts nothing but the programs it is told to accept; answers the others as failed.
class PickyLauncher : public RecordingLauncher {
public:
    LaunchResult startDetached(const LaunchRequest& r) override {
        RecordingLauncher::startDetached(r);
        return {r.program == accept, 0, false, {}};
    }
    LaunchResult runAndWait(const LaunchRequest& r) override {
        RecordingLauncher::runAndWait(r);
        return {true, r.program == accept ? 0 : 4, false, {}};
    }
    std::string accept;
};

TEST_F(EditorLaunchTest, TriesEachWayUntilOneWorks) {
    PickyLauncher picky;
    Session s(ui, picky, refdbs, dir.path(), PathRules::posix());
    s.settings.modeldir = model;
    s.scenario.optfile = "TEST1.OPT";
    s.scenario.msgdir = "/out";
    s.scenario.msgfile = "T.MSG";

    picky.accept = "/usr/bin/mousepad";
    EXPECT_TRUE(view_options_file(s, env));
    EXPECT_EQ(picky.waited.size(), 1u);   // gio ended with status 4
    ASSERT_EQ(picky.detached.size(), 1u); // then the first common editor
    EXPECT_EQ(picky.detached[0].arguments, std::vector<std::string>{model + "/TEST1.OPT"});

    picky.accept = "/usr/bin/gio";
    EXPECT_TRUE(view_message_file(s, env));
    EXPECT_EQ(picky.waited.back().arguments,
              (std::vector<std::string>{"launch", "/apps/ed.desktop", "/out/T.MSG"}));
    EXPECT_TRUE(ui.messages.empty());

    picky.accept = "nothing";
    EXPECT_FALSE(view_message_file(s, env));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Problem starting Notepad\nMake sure notepad.exe exists and is in your path.");
    EXPECT_EQ(ui.messages[0].title, "US XQB KELVARO MODEL");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
}

TEST_F(ShellTest, PosixLauncherRunsArgumentVectorsWithoutAShell) {
    script("args.sh", "pwd > \"$2\"; printf '%s|' \"$@\" >> \"$2\"; exit 7");
    PosixLauncher posix;
    const std::string out = dir.str() + "/out.txt";
    LaunchRequest r{model + "/args.sh", {"a b; echo no", out}, dir.str() + "/model"};
    const LaunchResult result = posix.runAndWait(r);
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 7);
    EXPECT_EQ(read_file(out), model + "\na b; echo no|" + out + "|");

    const LaunchResult missing = posix.runAndWait({model + "/none", {}, {}});
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(posix.startDetached({"no-such-program-here", {}, {}}).started);

    EXPECT_EQ(capture_output({"/bin/echo", "hello"}), std::optional<std::string>("hello\n"));
    EXPECT_EQ(capture_output({"/bin/false"}), std::nullopt);
    ASSERT_TRUE(find_program("sh").has_value());
    EXPECT_TRUE(find_program("sh")->ends_with("/sh"));
    EXPECT_EQ(find_program("no-such-program-here"), std::nullopt);
}

} // namespace
} // namespace kv::test
