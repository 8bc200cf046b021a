#include "optionsfile/writer.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace kv::test {
namespace {

const std::string kTime = "12/7/2026 8:05:09 PM";
const std::string kHeader = "Written by Kelvaro interface at 12/7/2026 8:05:09 PM\r\n";

class WriterTest : public SessionTest {
protected:
    // Reads `templ`, then writes the scenario with `templ` as the template.
    std::string roundTrip(const std::string& templ) {
        EXPECT_EQ(readText(templ), ReadOutcome::Loaded);
        return writeWith(templ);
    }
    std::string writeWith(const std::string& templ, const PathRules& rules = PathRules::posix()) {
        std::istringstream in(templ);
        std::ostringstream out;
        last = write_options_stream(sc(), in, out, rules, kTime);
        EXPECT_TRUE(last.ok);
        return out.str();
    }
    // The packet of `text` that starts with `name`, through its "/END/" line.
    static std::string packet(const std::string& text, const std::string& name) {
        const auto begin = text.find(name + "\r\n");
        if (begin == std::string::npos)
            return {};
        const auto end = text.find("/END/\r\n", begin);
        return text.substr(begin, end + 7 - begin);
    }
    WriteResult last;
};

TEST_F(WriterTest, UnchangedScenarioReproducesTheFileUnderOneNewHeader) {
    const std::string templ = complete_options_file();
    EXPECT_EQ(roundTrip(templ), kHeader + templ);
    EXPECT_TRUE(last.notes.empty());
    // Saving the saved file again replaces its header instead of adding one.
    const std::string once = kHeader + templ;
    EXPECT_EQ(roundTrip("Written by Kelvaro interface at 1/1/2000 1:00:00 AM\r\n" + once),
              kHeader + templ);
}

TEST_F(WriterTest, UnmanagedTextPassesThroughByteForByte) {
    std::string templ = complete_options_file();
    templ.insert(0, "comment with trailing blanks   \r\n\t tabbed\r\n");
    templ += "/UNKNOWN PACKET/\r\nkey : Value Kept\r\n/END/\r\ntrailing text";
    // A copied packet may carry labels of its own: they survive unless it is edited.
    templ.replace(templ.find("Title 1            : Test run"), 29, "TITLE ONE:Test run");
    EXPECT_EQ(roundTrip(templ), kHeader + templ.substr(0, templ.size() - 13) + "trailing text\r\n");
}

TEST_F(WriterTest, EditedOptionsPacketIsRegeneratedInPlace) {
    std::string templ = complete_options_file();
    templ.replace(templ.find("/OPTIONS/"), 9, "  /options/ with a note");
    readText(templ);
    sc().title1str = "New title";
    sc().so2marinedieselstr.clear();
    sc().changed_options = true;
    const std::string out = writeWith(templ);
    EXPECT_EQ(packet(out, "/OPTIONS/"),
              "/OPTIONS/\r\nTitle 1            : New title\r\nTitle 2            : SECOND TITLE\r\n"
              "Fuel RVP for gas   : 9.0\r\nOxygen Weight %    : 2.0\r\n"
              "Gas sulfur %       : 0.0339\r\nDiesel sulfur %    : 0.0015\r\n"
              "CNG/LPG sulfur %   : 0.003\r\nMinimum temper. (F): 60.\r\n"
              "Maximum temper. (F): 84.\r\nAverage temper. (F): 75.\r\n"
              "Altitude of region : LOW\r\n/END/\r\n");
    // The regenerated packet keeps the template packet's place.
    EXPECT_LT(out.find("/RUNFILES/"), out.find("/OPTIONS/"));
    EXPECT_LT(out.find("/OPTIONS/"), out.find("/PERIOD/"));
    EXPECT_EQ(out.find("with a note"), std::string::npos);
}

TEST_F(WriterTest, PeriodCaptionsFollowTheIndices) {
    struct Case {
        int period, ptype, season, month, week;
        const char* lines;
    };
    const Case cases[] = {
        {0, 0, 3, 7, 0,
         "Period type        : Annual\r\nSummation type     : Typical day\r\n"
         "Year of episode    : 2030\r\nSeason of year     : \r\nMonth of year      : \r\n"
         "Weekday or weekend : Weekday\r\n"},
        {1, 1, 3, 11, 1,
         "Period type        : Monthly\r\nSummation type     : Period total\r\n"
         "Year of episode    : 2030\r\nSeason of year     : \r\nMonth of year      : December\r\n"
         "Weekday or weekend : Weekend\r\n"},
        {2, 0, 0, 0, 0,
         "Period type        : Seasonal\r\nSummation type     : Typical day\r\n"
         "Year of episode    : 2030\r\nSeason of year     : Winter\r\nMonth of year      : \r\n"
         "Weekday or weekend : Weekday\r\n"},
    };
    for (const auto& c : cases) {
        readText(complete_options_file());
        sc().periodindex = static_cast<std::int16_t>(c.period);
        sc().ptypeindex = static_cast<std::int16_t>(c.ptype);
        sc().seasonindex = static_cast<std::int16_t>(c.season);
        sc().monthindex = static_cast<std::int16_t>(c.month);
        sc().weekindex = static_cast<std::int16_t>(c.week);
        sc().yearstr = "2030";
        sc().changed_period = true;
        EXPECT_EQ(packet(writeWith(complete_options_file()), "/PERIOD/"),
                  "/PERIOD/\r\n" + std::string(c.lines) +
                      "Year of growth calc: 2025\r\nYear of tech sel   : 2024\r\n/END/\r\n");
    }
}

TEST_F(WriterTest, RegionLabelsReachColumn22) {
    readText(complete_options_file());
    auto add = [&](const char* code, const char* county, const char* state, const char* abbr,
                   bool isState) {
        auto r = std::make_shared<RegionCls>(RegionCls{code, county, state, abbr, isState});
        sc().regions.add(r, code);
    };
    sc().regions.clear();
    add("06000", "*****", "California", "CA", true);
    add("01001", "Autauga County Seat", "Alabama", "AL", false); // 19 + 3 characters
    add("01003", "Autauga Countyxx", "Alabama", "AL", false);    // label of 19 characters
    add("11001", "District of Columbia", "Washington DC", "DC", false);
    sc().regionlevel = 2;
    sc().changed_region = true;
    EXPECT_EQ(packet(writeWith(complete_options_file()), "/REGION/"),
              "/REGION/\r\nRegion Level       : COUNTY\r\nAll California     : 06000\r\n"
              "Autauga County S AL: 01001\r\nAutauga Countyxx AL: 01003\r\n"
              "District of Colu DC: 11001\r\n/END/\r\n");

    sc().regionlevel = 1;
    EXPECT_TRUE(packet(writeWith(complete_options_file()), "/REGION/")
                    .starts_with("/REGION/\r\nRegion Level       : STATE\r\n"
                                 "California         : 06000\r\n"));
}

TEST_F(WriterTest, FileListsAndFactorFilesFromTheScenario) {
    readText(complete_options_file());
    sc().allocfiles.clear();
    sc().allocfiles.add(std::make_shared<AllocCls>(AllocCls{"Allocation File    : ", "/a/X.alo"}),
                        "/a/X.alo");
    sc().growthfiles = {"/g/one.grw", "/g/two.grw", ""};
    sc().emfacfiles.fill("");
    sc().emfacfiles[9] = "/e/hose.emf";
    sc().emfacfiles[14] = "/e/run.emf";
    sc().changed_alloc = sc().changed_growth = sc().changed_emfac = true;
    const std::string out = writeWith(complete_options_file());
    EXPECT_EQ(packet(out, "/ALLOC FILES/"),
              "/ALLOC FILES/\r\nAllocation File    : /a/X.alo\r\n/END/\r\n");
    EXPECT_EQ(packet(out, "/GROWTH FILES/"), "/GROWTH FILES/\r\nGrowth FILE        : /g/one.grw\r\n"
                                             "Growth FILE        : /g/two.grw\r\n/END/\r\n");
    EXPECT_EQ(packet(out, "/EMFAC FILES/"), "/EMFAC FILES/\r\nNon-RM Hose Perm   : /e/hose.emf\r\n"
                                            "RuningLoss         : /e/run.emf\r\n/END/\r\n");
    // Not edited: copied from the template.
    EXPECT_EQ(packet(out, "/POP FILES/"), packet(complete_options_file(), "/POP FILES/"));
}

TEST_F(WriterTest, WindowsRulesWritePathsInLowerCase) {
    readText(complete_options_file());
    sc().runfiles[kActivity] = "C:\\DATA\\ACTIVITY.DAT";
    const std::string out = writeWith(complete_options_file(), PathRules::windows());
    EXPECT_NE(out.find("ACTIVITY           : c:\\data\\activity.dat\r\n"), std::string::npos);
    EXPECT_NE(out.find("ALLOC XREF         : /data/allocate/allocate.xrf\r\n"), std::string::npos);
}

TEST_F(WriterTest, NetFileIsReadButNeverWritten) {
    const std::string templ = with_packet_body(complete_options_file(), "/RUNFILES/",
                                               "NET                : /n/net.out\r\n");
    const std::string out = roundTrip(templ);
    EXPECT_EQ(sc().runfiles[kNet], "/n/net.out");
    EXPECT_EQ(out.find("NET "), std::string::npos);
    EXPECT_NE(out.find("EPS2 AMS           : \r\nUS COUNTIES FIPS   : "), std::string::npos);
}

TEST_F(WriterTest, StageIIIsAlwaysWrittenAndAppendedWhenMissing) {
    const std::string templ = without_packet(complete_options_file(), "/STAGE II/");
    readText(templ);
    sc().stage2str = "0.7"; // typed but never confirmed as known
    std::string out = writeWith(templ);
    EXPECT_TRUE(out.ends_with("/DAILY FILES/\r\nDAILY TEMPS/RVP    : /data/DAILY/daytmp.txt\r\n"
                              "/END/\r\n/STAGE II/\r\nControl Factor     : 0.0\r\n/END/\r\n"));
    sc().stage2_known = true;
    out = writeWith(templ);
    EXPECT_TRUE(out.ends_with("Control Factor     : 0.7\r\n/END/\r\n"));
    sc().stage2str.clear();
    out = writeWith(templ);
    EXPECT_TRUE(out.ends_with("Control Factor     : 0\r\n/END/\r\n"));
    EXPECT_EQ(sc().stage2str, "0");
}

TEST_F(WriterTest, AppendedPacketsComeInTheirOrder) {
    std::string templ = complete_options_file();
    for (const char* name :
         {"/GROWTH FILES/", "/DETERIORATE FILES/", "/SOURCE CATEGORY/", "/STAGE II/"})
        templ = without_packet(templ, name);
    readText(complete_options_file()); // the scenario holds all four
    sc().changed_growth = true;        // growth files edited in
    const std::string out = writeWith(templ);
    const auto growth = out.find("/GROWTH FILES/");
    const auto deter = out.find("/DETERIORATE FILES/");
    const auto source = out.find("/SOURCE CATEGORY/");
    const auto stage = out.find("/STAGE II/");
    ASSERT_NE(growth, std::string::npos);
    EXPECT_GT(growth, out.find("/DAILY FILES/"));
    EXPECT_LT(growth, deter);
    EXPECT_EQ(packet(out, "/GROWTH FILES/"),
              "/GROWTH FILES/\r\nGrowth FILE        : /data/growth/nation.grw\r\n/END/\r\n");
    EXPECT_LT(deter, source);
    EXPECT_LT(source, stage);
    EXPECT_EQ(packet(out, "/SOURCE CATEGORY/"),
              "/SOURCE CATEGORY/\r\n                   :2265004010\r\n"
              "                   :2270002015\r\n/END/\r\n");
}

TEST_F(WriterTest, PacketsTheScenarioSwitchedOffAreDropped) {
    readText(complete_options_file());
    sc().sources_on = false;
    sc().found_deter = false;
    const std::string out = writeWith(complete_options_file());
    EXPECT_EQ(out.find("/SOURCE CATEGORY/"), std::string::npos);
    EXPECT_EQ(out.find("/DETERIORATE FILES/"), std::string::npos);
    EXPECT_EQ(out.find("exhthc.det"), std::string::npos);
}

TEST_F(WriterTest, ByModelYearFilesShareTheOutputBase) {
    readText(complete_options_file());
    sc().bmy_on = true;
    // The output file's name is cut at its last "."; dots in directories do not count.
    const std::pair<const char*, const char*> cases[] = {
        {"/home/j.smith/runs/test1.out", "/home/j.smith/runs/test1."},
        {"/runs/v1.2/run.x.out", "/runs/v1.2/run.x."},
        {"/runs/v1.2/test1", "/runs/v1.2/test1."},
        {"C:\\K.1\\OUT\\TEST1.OUT", "C:\\K.1\\OUT\\TEST1."},
    };
    std::string out;
    for (const auto& [output, base] : cases) {
        sc().runfiles[kOutputData] = output;
        out = writeWith(complete_options_file());
        EXPECT_EQ(packet(out, "/MODELYEAR OUT/"),
                  "/MODELYEAR OUT/\r\nEXHAUST BMY OUT    : " + std::string(base) +
                      "BMX\r\nEVAP BMY OUT       : " + base + "BMV\r\n/END/\r\n");
    }
    sc().bmy_on = false;
    out = writeWith(complete_options_file());
    EXPECT_EQ(packet(out, "/MODELYEAR OUT/"), "/MODELYEAR OUT/\r\nEXHAUST BMY OUT    : \r\n"
                                              "EVAP BMY OUT       : \r\n/END/\r\n");
    EXPECT_EQ(sc().runfiles[kExhaustBmyOut], "");

    // Never appended: a template without the packet gets none.
    sc().bmy_on = true;
    out = writeWith(without_packet(complete_options_file(), "/MODELYEAR OUT/"));
    EXPECT_EQ(out.find("/MODELYEAR OUT/"), std::string::npos);
}

// A stream that accepts `limit` bytes and fails after them.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(std::size_t limit) : limit_(limit) {}

protected:
    int_type overflow(int_type ch) override {
        if (written_ >= limit_ || traits_type::eq_int_type(ch, traits_type::eof()))
            return traits_type::eof();
        ++written_;
        return ch;
    }

private:
    std::size_t limit_;
    std::size_t written_ = 0;
};

TEST_F(WriterTest, AFailingStreamIsReportedNotSwallowed) {
    readText(complete_options_file());
    for (std::size_t limit : {0u, 10u, 500u, 2000u}) {
        FailingBuffer buffer(limit);
        std::ostream out(&buffer);
        std::istringstream in(complete_options_file());
        const WriteResult result = write_options_stream(sc(), in, out, PathRules::posix(), kTime);
        EXPECT_FALSE(result.ok) << limit;
        EXPECT_EQ(result.errorNumber, 57);
        EXPECT_EQ(result.errorText, "Device I/O error");
    }
}

class WriterFileTest : public WriterTest {
protected:
    void SetUp() override {
        templatePath = writeFile("test1.opt", complete_options_file());
        sc().optdir = dir.str();
        sc().optfile = "test1.opt";
        ASSERT_EQ(read_options(*session), ReadOutcome::Loaded);
    }
    std::vector<std::string> dirEntries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string templatePath;
};

TEST_F(WriterFileTest, SaveAsWritesTheNewFileAndKeepsTheTemplate) {
    sc().newoptdir = dir.str();
    sc().newoptfile = "copy.opt";
    ASSERT_TRUE(newoptions(*session));
    const std::string written = read_file(dir.path() / "copy.opt");
    EXPECT_TRUE(written.starts_with("Written by Kelvaro interface at "));
    EXPECT_TRUE(written.ends_with(complete_options_file()));
    EXPECT_EQ(read_file(templatePath), complete_options_file());
    EXPECT_EQ(dirEntries(), (std::vector<std::string>{"copy.opt", "test1.opt"}));
}

TEST_F(WriterFileTest, SavingInPlaceReplacesTheFileWhole) {
    sc().title1str = "Changed";
    sc().changed_options = true;
    ASSERT_TRUE(write_options_file(*session, templatePath, templatePath));
    const std::string written = read_file(templatePath);
    EXPECT_NE(written.find("Title 1            : Changed\r\n"), std::string::npos);
    EXPECT_EQ(dirEntries(), std::vector<std::string>{"test1.opt"});
}

TEST_F(WriterFileTest, FailuresToOpenAreReportedWithTheirStep) {
    sc().newoptdir = dir.str() + "/missing-dir";
    sc().newoptfile = "copy.opt";
    EXPECT_FALSE(newoptions(*session));
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"file error 76\nNo such file or directory"});
    EXPECT_EQ(logLines().back(), "Newoptions code 2.3 test1.opt");

    ui.messages.clear();
    sc().newoptdir = dir.str();
    sc().optfile = "gone.opt";
    EXPECT_FALSE(newoptions(*session));
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"file error 53\nNo such file or directory"});
    EXPECT_EQ(logLines().back(), "Newoptions code 2.4 gone.opt");
    EXPECT_EQ(dirEntries(), std::vector<std::string>{"test1.opt"});
}

// A file-size limit makes the real write fail part-way, as a full disk would: the old file
// must stay whole and no temporary file may remain.
TEST_F(WriterFileTest, AWriteThatFailsPartWayLeavesTheOldFileIntact) {
    sc().title1str = "Changed";
    sc().changed_options = true;
    const auto before = read_file(templatePath);

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = write_options_file(*session, templatePath, templatePath);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"file error 61\nFile too large"});
    EXPECT_EQ(read_file(templatePath), before);
    EXPECT_EQ(dirEntries(), std::vector<std::string>{"test1.opt"});
}

// A value holding a line break would split its line, and could end its packet early: the
// save is refused with a message, and nothing is written.
TEST_F(WriterFileTest, AValueHoldingALineBreakIsNeverWritten) {
    const std::string before = read_file(templatePath);
    const std::pair<std::string Scenario::*, std::string> cases[] = {
        {&Scenario::title1str,
         "/OPTIONS/ holds a line break:\n\"Title 1            : A\\r\\n/END/\""},
        {&Scenario::yearstr, "/PERIOD/ holds a line break:\n\"Year of episode    : A\\r\\n/END/\""},
    };
    for (const auto& [value, message] : cases) {
        ui.messages.clear();
        sc().*value = "A\r\n/END/";
        sc().changed_options = sc().changed_period = true;
        EXPECT_FALSE(write_options_file(*session, templatePath, templatePath));
        EXPECT_EQ(ui.messages, (std::vector<ScriptedUserInterface::Message>{
                                   {"The options file was not written: a value in " + message,
                                    "US XQB KELVARO MODEL", MessageIcon::Exclamation}}));
        sc().*value = "2030";
    }
    EXPECT_EQ(read_file(templatePath), before);
    EXPECT_EQ(dirEntries(), std::vector<std::string>{"test1.opt"});
}

TEST_F(WriterFileTest, NotesAboutTheTemplateAreShown) {
    std::string templ = complete_options_file();
    templ.replace(templ.find("/END/", templ.find("/DAILY FILES/")), 5, "-");
    writeFile("test1.opt", templ);
    sc().newoptdir = dir.str();
    sc().newoptfile = "copy.opt";
    ASSERT_TRUE(newoptions(*session));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(ui.messages[0].text,
              "The /DAILY FILES/ packet of the file being saved has no /END/ line. It was taken "
              "to end at the end of the file and written again from the scenario.");
}

} // namespace
} // namespace kv::test
