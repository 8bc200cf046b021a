#include "scenario_json.h"
#include "shell/file_commands.h"
#include "support/shell_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class FileCommandsTest : public ShellTest {
protected:
    void SetUp() override { load(); }
    std::string current() const { return read_file(model + "/test1.opt"); }
    // Files of a directory other than the options files themselves.
    static std::vector<std::string> names(const std::string& d) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(d))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(FileCommandsTest, SaveRewritesTheCurrentFileInPlace) {
    sc().title1str = "CHANGED TITLE";
    sc().changed_options = true;
    EXPECT_EQ(file_save(*session), CommandOutcome::Done);
    EXPECT_NE(current().find("Title 1            : CHANGED TITLE"), std::string::npos);
    EXPECT_TRUE(current().starts_with("Written by Kelvaro interface at "));
    EXPECT_EQ(names(model), (std::vector<std::string>{"outputs", "test1.opt"}));
    EXPECT_EQ(ui.captions, std::vector<std::string>{"US XQB KELVARO MODEL (test1.opt)"});
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_GT(ui.busyChanges, 0);
    EXPECT_EQ(cwd(), dir.str());
}

TEST_F(FileCommandsTest, AFailedSaveLeavesTheCurrentFileAndSaysSo) {
    const std::string before = current();
    sc().changed_options = true;
    fs::create_directories(model + "/outputs");
    // The template is gone from under the scenario: the writer cannot copy it.
    sc().optfile = "gone.opt";
    EXPECT_EQ(file_save(*session), CommandOutcome::Failed);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"file error 53\nNo such file or directory"});
    EXPECT_EQ(logLines().back(), "Cancelled error 0");
    EXPECT_EQ(current(), before);
    EXPECT_FALSE(fs::exists(model + "/gone.opt"));
    EXPECT_EQ(names(model), (std::vector<std::string>{"outputs", "test1.opt"}));
}

TEST_F(FileCommandsTest, OpenReadsTheChosenFileAndCancelChangesNothing) {
    writeFile("runs/other.opt", with_packet_body(complete_options_file(), "/OPTIONS/",
                                                 "Title 1            : Other\r\n"));
    ui.answerFile(dir.str() + "/runs/other.opt");
    EXPECT_EQ(file_open(*session), CommandOutcome::Done);
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].request.title, "Select new option file ");
    EXPECT_EQ(ui.dialogs[0].request.initialDir, model);
    EXPECT_EQ(ui.dialogs[0].request.initialFile, "test1.opt");
    EXPECT_EQ(sc().optfile, "other.opt");
    EXPECT_EQ(sc().optdir, dir.str() + "/runs");
    EXPECT_EQ(sc().title1str, "OTHER");
    EXPECT_EQ(ui.captions.back(), "US XQB KELVARO MODEL (other.opt)");
    EXPECT_EQ(cwd(), dir.str());

    ui.messages.clear();
    EXPECT_EQ(file_open(*session), CommandOutcome::Failed); // the dialog is cancelled
    EXPECT_EQ(sc().optfile, "other.opt");
    EXPECT_EQ(sc().optdir, dir.str() + "/runs");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Error: Cannot save file: Cancel was selected.");
    EXPECT_EQ(ui.messages[0].title, "");
    EXPECT_EQ(logLines().back(), "Cancelled error 0");
}

// Edits were made to the file they were made in: the next file read is saved as it is, its
// titles in mixed case included, though packets of the one before were marked as edited.
TEST_F(FileCommandsTest, AFileReadAfterEditsIsSavedAsItWas) {
    sc().changed_options = sc().changed_region = sc().changed_alloc = sc().changed_pop = true;
    const std::string text = with_packet_body(complete_options_file(), "/OPTIONS/",
                                              "Title 1            : Mixed Case\r\n");
    writeFile("runs/other.opt", text);
    ui.answerFile(dir.str() + "/runs/other.opt");
    ASSERT_EQ(file_open(*session), CommandOutcome::Done);
    ASSERT_EQ(file_save(*session), CommandOutcome::Done);
    const std::string saved = read_file(dir.str() + "/runs/other.opt");
    EXPECT_EQ(saved.substr(saved.find("\r\n") + 2), text);
}

// File > Open of a file that is refused, and Cancel where another file is asked for: nothing
// of the refused file stays, whether it was refused in the middle of the read or after it.
TEST_F(FileCommandsTest, ARefusedFileWhoseReplacementIsCancelledLeavesNothingBehind) {
    // An edit not saved yet survives the Open too.
    sc().title1str = "MY EDIT";
    sc().changed_options = true;
    sc().prevoptfile = sc().optfile; // as the Open sets them
    sc().prevoptdir = sc().optdir;
    const auto before = kvopt::scenario_to_json(sc());
    ASSERT_EQ(file_save(*session), CommandOutcome::Done);
    const auto withoutHeader = [](const std::string& text) { return text.substr(text.find('\n')); };
    const std::string saved = withoutHeader(current());

    // Other values in every packet read before the refusal: a period type that is not known
    // is found last.
    std::string other = with_packet_body(complete_options_file(), "/RUNFILES/",
                                         "MESSAGE            : /elsewhere/other.msg\r\n"
                                         "OUTPUT DATA        : /elsewhere/other.out\r\n");
    other = with_packet_body(other, "/OPTIONS/", "Title 1            : Other title\r\n");
    other = with_packet_body(other, "/SOURCE CATEGORY/", "                   :2270002015\r\n");
    other = with_packet_body(other, "/STAGE II/", "Control Factor     : 0.7\r\n");
    const std::string period =
        "Period type        : Yearly\r\nSummation type     : Typical day\r\n";
    const std::string yearly =
        without_packet(other, "/PERIOD/") + "/PERIOD/\r\n" + period + "/END/\r\n";
    const std::string noRegion = without_packet(other, "/REGION/");
    const std::string yearlyMessage = "Period type not recognized YEARLY6";
    const std::string noRegionMessage =
        "Cannot find the /REGION/ packet in the options file.\nThe options file is corrupted.";
    struct Case {
        std::vector<std::string> refused; // the file chosen, then each replacement chosen
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {{yearly}, {yearlyMessage}},
        {{noRegion}, {noRegionMessage}},
        // A replacement refused in turn: back to the state before the first one.
        {{yearly, noRegion}, {yearlyMessage, noRegionMessage}},
    };
    for (const auto& c : cases) {
        ui.messages.clear();
        ui.dialogs.clear();
        std::vector<std::string> paths;
        for (const auto& text : c.refused) {
            paths.push_back(writeFile("runs/other" + std::to_string(paths.size()) + ".opt", text));
            ui.answerFile(paths.back());
        }
        ui.answerFile(std::nullopt);
        file_open(*session);
        const std::string name = c.messages.back();
        EXPECT_EQ(ui.messageTexts(), c.messages);
        EXPECT_EQ(ui.dialogs.size(), c.refused.size() + 1);
        EXPECT_EQ(kvopt::scenario_to_json(sc()), before) << name;
        ASSERT_FALSE(ui.statuses.empty());
        EXPECT_NE(ui.statuses.back().text.find("MY EDIT"), std::string::npos);

        ASSERT_EQ(file_save(*session), CommandOutcome::Done) << name;
        EXPECT_EQ(withoutHeader(current()), saved) << name;
        for (std::size_t k = 0; k < paths.size(); ++k)
            EXPECT_EQ(read_file(paths[k]), c.refused[k]);
    }
}

TEST_F(FileCommandsTest, SaveAsNamesOutputsAfterTheNewFile) {
    struct Case {
        const char* chosen;    // relative to the temporary directory
        bool outputsDirectory; // the new file's directory holds "outputs"
        bool bmy;
        const char* optfile;
        const char* outputsIn; // relative to the temporary directory
    };
    const Case cases[] = {
        {"a/TEST2.OPT", true, false, "TEST2.OPT", "a/outputs"},
        {"b/TEST3.OPT", false, false, "TEST3.OPT", "b"},
        {"c/RUN2", false, true, "RUN2.OPT", "c"},
        {"d.v2/run.x.y", true, true, "run.x.y", "d.v2/outputs"},
    };
    for (const auto& c : cases) {
        const fs::path chosen = dir.path() / c.chosen;
        fs::create_directories(chosen.parent_path());
        if (c.outputsDirectory)
            fs::create_directories(chosen.parent_path() / "outputs");
        const std::string previous = sc().optdir + "/" + sc().optfile;
        sc().bmy_on = c.bmy;
        ui.answerFile(chosen.string());
        EXPECT_EQ(file_save_as(*session), CommandOutcome::Done) << c.chosen;

        const std::string newdir = chosen.parent_path().string();
        const std::string out = (dir.path() / c.outputsIn).string();
        const std::string base =
            std::string(c.optfile).substr(0, std::string(c.optfile).find('.') + 1);
        EXPECT_EQ(sc().optfile, c.optfile);
        EXPECT_EQ(sc().optdir, newdir);
        EXPECT_EQ(sc().prevoptdir + "/" + sc().prevoptfile, previous);
        EXPECT_EQ(sc().msgfile, base + "MSG");
        EXPECT_EQ(sc().outfile, base + "OUT");
        EXPECT_EQ(sc().msgdir, out);
        EXPECT_EQ(sc().outdir, out);
        EXPECT_EQ(sc().runfiles[kMessage], out + "/" + base + "MSG");
        EXPECT_EQ(sc().runfiles[kOutputData], out + "/" + base + "OUT");
        EXPECT_EQ(sc().runfiles[kExhaustBmyOut], c.bmy ? out + "/" + base + "BMX" : "");
        EXPECT_EQ(sc().runfiles[kEvapBmyOut], c.bmy ? out + "/" + base + "BMV" : "");
        const std::string written = read_file(newdir + "/" + c.optfile);
        EXPECT_NE(written.find("MESSAGE            : " + out + "/" + base + "MSG"),
                  std::string::npos)
            << c.chosen;
        EXPECT_EQ(ui.captions.back(), "US XQB KELVARO MODEL (" + lower(c.optfile) + ")");
        ASSERT_FALSE(ui.statuses.empty());
        EXPECT_NE(ui.statuses.back().text.find(lower(base) + "msg"), std::string::npos);
        EXPECT_EQ(cwd(), dir.str());
        EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.messageTexts());
        EXPECT_EQ(ui.busyDepth, 0);
    }
    const auto& r = ui.dialogs.front().request;
    EXPECT_EQ(r.title, "Save option file as ");
    EXPECT_EQ(r.filter, "Option files (*.opt)|*.opt|All files (*.*)|*.*");
    EXPECT_EQ(r.initialDir, model);
    EXPECT_EQ(r.initialFile, "test1.opt");
    EXPECT_TRUE(r.promptOverwrite);
}

TEST_F(FileCommandsTest, SaveAsOntoTheCurrentFileIsASave) {
    fs::create_directories(dir.str() + "/alias");
    fs::create_symlink(model + "/test1.opt", dir.str() + "/alias/LINK.OPT");
    const std::string chosen[] = {model + "/test1.opt", dir.str() + "/alias/LINK.OPT"};
    for (const auto& path : chosen) {
        const auto msg = sc().runfiles[kMessage];
        ui.answerFile(path);
        EXPECT_EQ(file_save_as(*session), CommandOutcome::Done) << path;
        EXPECT_EQ(sc().optfile, "test1.opt") << path;
        EXPECT_EQ(sc().optdir, model) << path;
        EXPECT_EQ(sc().runfiles[kMessage], msg) << path; // outputs not recomputed
        EXPECT_TRUE(fs::is_symlink(dir.str() + "/alias/LINK.OPT"));
        EXPECT_TRUE(current().starts_with("Written by Kelvaro interface at ")) << path;
    }
    EXPECT_TRUE(ui.statuses.empty());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FileCommandsTest, SaveAsWithoutExtensionCanNameTheCurrentFile) {
    fs::rename(model + "/test1.opt", model + "/RUN.OPT");
    sc().optfile = "RUN.OPT";
    const auto msg = sc().runfiles[kMessage];
    ui.answerFile(model + "/RUN");
    EXPECT_EQ(file_save_as(*session), CommandOutcome::Done);
    EXPECT_EQ(sc().optfile, "RUN.OPT");
    EXPECT_EQ(sc().runfiles[kMessage], msg);
    EXPECT_FALSE(fs::exists(model + "/RUN"));
    EXPECT_TRUE(read_file(model + "/RUN.OPT").starts_with("Written by Kelvaro interface at "));
}

TEST_F(FileCommandsTest, SaveAsOnAWindowsFileSystemIgnoresCase) {
    EXPECT_TRUE(same_file(PathRules::windows(), "C:\\RUNS\\TEST1.OPT", "c:\\runs\\test1.opt"));
    EXPECT_FALSE(same_file(PathRules::posix(), "/runs/TEST1.OPT", "/runs/test1.opt"));
    EXPECT_TRUE(same_file(PathRules::posix(), model + "/test1.opt", model + "/../model/test1.opt"));
}

TEST_F(FileCommandsTest, SaveAsRefusesLongNamesAndCancelKeepsEverything) {
    const Scenario before = sc();
    ui.answerFile(dir.str() + "/LONGNAME1.OPT");
    ui.answerFile(std::nullopt);
    EXPECT_EQ(file_save_as(*session), CommandOutcome::Failed);
    EXPECT_EQ(ui.dialogs.size(), 2u);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text,
              "LONGNAME1\nFilename too long: Must be 8 characters max before period");
    EXPECT_EQ(ui.messages[1].text, "Error: Cannot save file: Cancel was selected.");
    EXPECT_EQ(ui.messages[1].title, "");
    EXPECT_EQ(logLines().back(), "Cancelled error 2");
    EXPECT_EQ(sc().optfile, before.optfile);
    EXPECT_EQ(sc().runfiles, before.runfiles);
    EXPECT_EQ(cwd(), dir.str());
}

TEST_F(FileCommandsTest, AFailedSaveAsKeepsTheCurrentFileAndItsOutputs) {
    const Scenario before = sc();
    ui.answerFile(dir.str() + "/missing/dir/NEW.OPT");
    EXPECT_EQ(file_save_as(*session), CommandOutcome::Failed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.starts_with("file error ")) << ui.messages[0].text;
    EXPECT_EQ(logLines().back(), "Cancelled error 2");
    EXPECT_EQ(sc().optfile, before.optfile);
    EXPECT_EQ(sc().optdir, before.optdir);
    EXPECT_EQ(sc().msgfile, before.msgfile);
    EXPECT_EQ(sc().outdir, before.outdir);
    EXPECT_EQ(sc().runfiles, before.runfiles);
    EXPECT_EQ(sc().newoptfile, before.newoptfile);
    EXPECT_EQ(ui.busyDepth, 0);
}

TEST_F(FileCommandsTest, NothingIsOpenedOrSavedWhileTheModelRuns) {
    session->modelRunning = true;
    ui.answerFile(dir.str() + "/X.OPT");
    EXPECT_EQ(file_open(*session), CommandOutcome::Refused);
    EXPECT_EQ(file_save(*session), CommandOutcome::Refused);
    EXPECT_EQ(file_save_as(*session), CommandOutcome::Refused);
    EXPECT_TRUE(ui.dialogs.empty());
    EXPECT_TRUE(ui.messages.empty());
}

TEST(OutputDirectory, PrefersAnOutputsDirectoryFoundWhateverItsCase) {
    TempDir d;
    EXPECT_EQ(output_directory(PathRules::posix(), d.str()), d.str());
    d.write("OUTPUTS/keep", "");
    EXPECT_EQ(output_directory(PathRules::posix(), d.str()), d.str() + "/OUTPUTS");
    d.write("plain/outputs", ""); // a file named outputs is no directory
    EXPECT_EQ(output_directory(PathRules::posix(), d.str() + "/plain"), d.str() + "/plain");
}

} // namespace
} // namespace kv::test
