#include "shell/settings.h"
#include "shell/status.h"
#include "support/session_fixture.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace kv::test {
namespace {

TEST(SettingsValue, TextBeforeTheFirstTab) {
    EXPECT_EQ(settings_value("C:\\MODEL\t:model directory"), "C:\\MODEL");
    EXPECT_EQ(settings_value("no tab at all"), "no tab at all");
    EXPECT_EQ(settings_value("a\tb\tc"), "a");
    EXPECT_EQ(settings_value("\t:key only"), "");
    EXPECT_EQ(settings_value(""), "");
}

TEST(SettingsFileText, SixValueTabKeyLines) {
    Settings s;
    s.modeldir = "/opt/model";
    s.modelexe = "model.exe";
    s.datadir = "/opt/data";
    s.accessexe = "/usr/bin/office";
    EXPECT_EQ(settings_file_text(s, "default.opt", "new.opt"),
              "/opt/model\t:model directory\r\nmodel.exe\t:model executable\r\n"
              "default.opt\t:input option file\r\nnew.opt\t:output option file\r\n"
              "/opt/data\t:Data dir\r\n/usr/bin/office\t:ACCESS executable\r\n");
}

class CheckSettingsTest : public SessionTest {
protected:
    void SetUp() override {
        model = dir.str() + "/model";
        dir.write("model/model.exe", "");
        dir.write("model/default.opt", "");
        dir.write("model/new.opt", "");
        dir.write("data/kelvaro.me", "");
        dir.write("office/access", "");
    }
    // Writes kv-gui.ini with the given six values (fewer lines for a short file).
    void writeIni(const std::vector<std::string>& values, const char* keySep = "\t:key") {
        std::string text;
        for (const auto& v : values)
            text += v + keySep + "\r\n";
        session->settings.inipath = dir.write("kv-gui.ini", text);
    }
    std::vector<std::string> good() const {
        return {model,     "model.exe",         "default.opt",
                "new.opt", dir.str() + "/data", dir.str() + "/office/access"};
    }
    std::string model;
};

TEST_F(CheckSettingsTest, AcceptsExistingPathsWhateverTheKeys) {
    writeIni(good(), "\tmisspelt key");
    EXPECT_TRUE(check_settings(*session));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(session->settings.modeldir, model);
    EXPECT_EQ(sc().optfile, "default.opt");
    EXPECT_EQ(sc().newoptfile, "new.opt");
    EXPECT_EQ(session->settings.accessexe, dir.str() + "/office/access");
}

TEST_F(CheckSettingsTest, ReportsOnlyTheFirstMissingPath) {
    struct Case {
        std::size_t line;
        std::string value;
        std::string shownPath;
    };
    const std::string d = dir.str();
    const Case cases[] = {
        {1, "other.exe", model + "/other.exe"},
        {2, "missing.opt", model + "/missing.opt"},
        {3, "never-created.opt", model + "/never-created.opt"},
        {4, d + "/nodata", d + "/nodata"},
        {5, d + "/office/none", d + "/office/none"},
        {0, d + "/nomodel", d + "/nomodel/model.exe"},
    };
    for (const auto& c : cases) {
        ui.messages.clear();
        auto values = good();
        values[c.line] = c.value;
        if (c.line == 5)
            values[2] = "also-missing.opt"; // an earlier failure hides this one
        writeIni(values);
        EXPECT_FALSE(check_settings(*session)) << c.value;
        ASSERT_EQ(ui.messages.size(), 1u);
        const std::string expected = (c.line == 5 ? model + "/also-missing.opt" : c.shownPath) +
                                     " does not exist. Correct kv-gui.ini and retry.";
        EXPECT_EQ(ui.messages[0].text, expected);
        EXPECT_EQ(ui.messages[0].title, "US XQB KELVARO MODEL");
    }
}

TEST_F(CheckSettingsTest, ShortOrMissingFileFailsOnTheFirstEmptyValue) {
    writeIni({model, "model.exe", "default.opt"});
    EXPECT_FALSE(check_settings(*session));
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{model + "/ does not exist. Correct kv-gui.ini and retry."});

    ui.messages.clear();
    session->settings.inipath = dir.str() + "/nowhere.ini";
    EXPECT_FALSE(check_settings(*session));
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"/ does not exist. Correct kv-gui.ini and retry."});
}

TEST_F(CheckSettingsTest, WriteSettingsPutsTheFileInTheProgramDirectory) {
    session->settings.modeldir = model;
    session->settings.modelexe = "model.exe";
    session->settings.datadir = dir.str() + "/data";
    session->settings.accessexe = dir.str() + "/office/access";
    sc().optfile = "default.opt";
    sc().newoptfile = "new.opt";
    ASSERT_TRUE(write_settings(*session));
    EXPECT_EQ(session->settings.inipath, dir.str() + "/kv-gui.ini");
    EXPECT_TRUE(check_settings(*session));
    RecordedSettings recorded;
    ASSERT_TRUE(read_settings_file(session->settings.inipath, recorded));
    EXPECT_EQ(recorded.newoptfile, "new.opt");
}

class StatusTest : public SessionTest {
protected:
    void SetUp() override {
        session->settings.modeldir = dir.str() + "/model";
        outputs = dir.str() + "/model/outputs";
        sc().title1str = "MY RUN";
        sc().msgdir = outputs;
        sc().msgfile = "TEST1.MSG";
        sc().outdir = outputs;
        sc().outfile = "TEST1.OUT";
        setenv("TZ", "UTC", 1);
        tzset();
    }
    // Creates a file of `size` bytes dated 12/7/2026 8:15:09 PM UTC.
    void makeFile(const std::string& path, std::size_t size) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc).close();
        std::filesystem::resize_file(path, size); // sparse: large sizes cost nothing
        std::filesystem::last_write_time(
            path, std::chrono::file_clock::from_sys(
                      std::chrono::sys_seconds{std::chrono::seconds{1796674509}}));
    }
    StatusDisplay status() { return status_display(sc(), session->settings, session->rules); }
    std::string outputs;
};

TEST_F(StatusTest, NamesWithoutFilesAndNoMessageButton) {
    const StatusDisplay s = status();
    EXPECT_EQ(s.text, "Simulation Run Title       : MY RUN\n"
                      "Current Message File     : test1.msg\n"
                      "Current Output Data File : test1.out");
    EXPECT_FALSE(s.viewMessageVisible);
}

TEST_F(StatusTest, SizesAndDatesOfExistingFiles) {
    makeFile(outputs + "/TEST1.MSG", 1234);
    makeFile(outputs + "/TEST1.OUT", 98765);
    const StatusDisplay s = status();
    EXPECT_EQ(s.text,
              "Simulation Run Title       : MY RUN\n"
              "Current Message File     : test1.msg        1234 bytes 12/7/2026 8:15:09 PM\n"
              "Current Output Data File : test1.out         98765 bytes 12/7/2026 8:15:09 PM");
    EXPECT_TRUE(s.viewMessageVisible);
}

TEST_F(StatusTest, FieldWidthsAndTheirLimits) {
    struct Case {
        std::string msgfile;
        std::size_t size;
        std::string line2;
    };
    const std::string date = " bytes 12/7/2026 8:15:09 PM";
    const Case cases[] = {
        {"A.M", 1, "a.m" + std::string(10, ' ') + std::string(7, ' ') + "1" + date},
        {"ABCDEFGHI.MSG", 5, "abcdefghi.msg" + std::string(7, ' ') + "5" + date},
        // Too long for its field: no size and date part.
        {"ABCDEFGHIJ.MSG", 5, "abcdefghij.msg"},
        {"BIG.MSG", 100000000, "big.msg"},
        {"NEAR.MSG", 99999999, "near.msg" + std::string(5, ' ') + "99999999" + date},
    };
    for (const auto& c : cases) {
        sc().msgfile = c.msgfile;
        makeFile(outputs + "/" + c.msgfile, c.size);
        const StatusDisplay s = status();
        const auto second = s.text.substr(s.text.find('\n') + 1);
        EXPECT_EQ(second.substr(0, second.find('\n')), "Current Message File     : " + c.line2)
            << c.msgfile;
        // The button follows the file, even when its line cannot show the size.
        EXPECT_TRUE(s.viewMessageVisible);
    }
}

TEST_F(StatusTest, NamePadComesFromARunOfTwelveBlanks) {
    sc().outfile = "O"; // 14 places to fill, 12 blanks to take them from
    makeFile(outputs + "/O", 42);
    const StatusDisplay s = status();
    EXPECT_TRUE(s.text.ends_with("Current Output Data File : o" + std::string(12, ' ') +
                                 std::string(6, ' ') + "42 bytes 12/7/2026 8:15:09 PM"));
}

TEST_F(StatusTest, FilesOutsideTheOutputsDirectoryShowTheirDirectory) {
    sc().msgdir = dir.str() + "/Elsewhere";
    sc().outdir = dir.str() + "/MODEL/OUTPUTS"; // compared without regard to case
    session->settings.modeldir = dir.str() + "/model";
    const StatusDisplay s = status();
    EXPECT_NE(s.text.find("Current Message File     : " + dir.str() + "/elsewhere/test1.msg"),
              std::string::npos);
    EXPECT_NE(s.text.find("Current Output Data File : test1.out"), std::string::npos);
}

TEST_F(StatusTest, CreatingTheMessageFileShowsTheButton) {
    EXPECT_FALSE(status().viewMessageVisible);
    makeFile(outputs + "/test1.msg", 3); // another case on disk than in the scenario
    EXPECT_TRUE(status().viewMessageVisible);
    show_status(*session);
    ASSERT_EQ(ui.statuses.size(), 1u);
    EXPECT_TRUE(ui.statuses[0].viewMessageVisible);
}

TEST(Caption, NamesTheOptionsFileInLowerCase) {
    EXPECT_EQ(caption_text("TEST1.OPT"), "US XQB KELVARO MODEL (test1.opt)");
    EXPECT_EQ(caption_text(""), "US XQB KELVARO MODEL ()");
}

} // namespace
} // namespace kv::test
