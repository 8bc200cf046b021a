#include "optionsfile/reader.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

using Msg = ScriptedUserInterface::Message;
const std::string kTitle = "US XQB KELVARO MODEL";

class ReaderTest : public SessionTest {};

TEST_F(ReaderTest, CompleteFileFillsEveryPacketWithoutAMessage) {
    ASSERT_EQ(readText(complete_options_file()), ReadOutcome::Loaded);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;
    EXPECT_TRUE(ui.dialogs.empty());

    const Scenario& s = sc();
    // Run files: paths keep their case on this platform; the message and output data
    // files are split into directory and name.
    EXPECT_EQ(s.runfiles[kAllocXref], "/data/ALLOCATE/allocate.xrf");
    EXPECT_EQ(s.runfiles[kMessage], "/model/outputs/test1.msg");
    EXPECT_EQ(s.msgdir, "/model/outputs");
    EXPECT_EQ(s.msgfile, "test1.msg");
    EXPECT_EQ(s.outdir, "/model/outputs");
    EXPECT_EQ(s.outfile, "test1.out");
    EXPECT_EQ(s.runfiles[kEps2Ams], "");
    // Option values are held upper-cased.
    EXPECT_EQ(s.title1str, "TEST RUN");
    EXPECT_EQ(s.title2str, "SECOND TITLE");
    EXPECT_EQ(s.so2marinedieselstr, "0.0435");
    EXPECT_EQ(s.so2cngstr, "0.003");
    EXPECT_EQ(s.altitudestr, "LOW");
    EXPECT_EQ(s.stage2str, "0.0");
    EXPECT_TRUE(s.stage2_known);
    // Period
    EXPECT_EQ(s.periodindex, 0);
    EXPECT_EQ(s.ptypeindex, 0);
    EXPECT_EQ(s.yearstr, "2026");
    EXPECT_EQ(s.seasonindex, 2);
    EXPECT_EQ(s.monthindex, 5);
    EXPECT_EQ(s.weekindex, 0);
    EXPECT_EQ(s.growthyearstr, "2025");
    EXPECT_EQ(s.techyearstr, "2024");
    // Regions completed from the reference data
    EXPECT_EQ(s.regionlevel, 1);
    ASSERT_EQ(s.regions.size(), 2u);
    EXPECT_EQ(s.regions.at(0)->statename, "California");
    EXPECT_EQ(s.regions.at(0)->abbr, "CA");
    EXPECT_EQ(s.regions.at(0)->county, "*****");
    EXPECT_TRUE(s.regions.at(0)->isState);
    EXPECT_EQ(s.regions_saved.size(), 2u);
    // Sources with the spare slot
    ASSERT_EQ(s.sources.size(), 3u);
    EXPECT_EQ(s.sources[0].scc, "2265004010");
    EXPECT_EQ(s.sources[0].description, "Lawn Mowers (Residential) Lawn and Garden 4-Stroke");
    EXPECT_EQ(s.sources[2].scc, "");
    EXPECT_TRUE(s.sources_on);
    // File lists
    ASSERT_EQ(s.popfiles.size(), 2u);
    EXPECT_EQ(s.popfiles.at(0)->descriptor, "Population File    :");
    EXPECT_EQ(s.popfiles.at(0)->allocfile, "/data/pop/ca.pop");
    EXPECT_EQ(s.popfiles_saved.size(), 2u);
    ASSERT_EQ(s.allocfiles.size(), 2u);
    EXPECT_EQ(s.allocfiles.at(1)->descriptor, "Family housing     :");
    EXPECT_EQ(s.allocfiles_saved.size(), 2u);
    ASSERT_EQ(s.growthfiles.size(), 2u);
    EXPECT_EQ(s.growthfiles[0], "/data/growth/nation.grw");
    EXPECT_EQ(s.growthfiles[1], "");
    EXPECT_EQ(s.emfacfiles[0], "/data/emsfac/exhthc.emf");
    EXPECT_EQ(s.emfacfiles[1], "/data/emsfac/exhco.emf");
    EXPECT_EQ(s.emfacfiles[14], "/data/emsfac/runloss.emf");
    EXPECT_EQ(s.detfiles[0], "/data/detfac/exhthc.det");
    EXPECT_FALSE(s.bmy_on);
    EXPECT_EQ(s.runfiles[kDailyTempsRvp], "/data/DAILY/daytmp.txt");
    // Every found flag set; caption and status refreshed.
    for (bool found : {s.found_runfiles, s.found_options, s.found_period, s.found_region,
                       s.found_source, s.found_pop, s.found_alloc, s.found_growth, s.found_emfac,
                       s.found_deter, s.found_stage2, s.found_modelyear, s.found_daily})
        EXPECT_TRUE(found);
    ASSERT_FALSE(ui.captions.empty());
    EXPECT_EQ(ui.captions.back(), "US XQB KELVARO MODEL (test1.opt)");
    EXPECT_EQ(ui.statuses.size(), 1u);
    // The period reader logs its three years.
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{" Get period options 2026", " Get period options 2025",
                                        " Get period options 2024"}));
}

TEST_F(ReaderTest, LineEndsOfEveryKindReadAlike) {
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        ui.messages.clear();
        ASSERT_EQ(readText(complete_options_file(eol)), ReadOutcome::Loaded) << eol;
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(sc().title2str, "SECOND TITLE");
        EXPECT_EQ(sc().techyearstr, "2024");
        EXPECT_EQ(sc().regions.size(), 2u);
        EXPECT_EQ(sc().runfiles[kDailyTempsRvp], "/data/DAILY/daytmp.txt");
    }
}

// Each required packet missing on its own: its message, a request for another file, and a
// cancelled request that restores the previous file name.
TEST_F(ReaderTest, MissingRequiredPacketRefusesTheFile) {
    for (const char* name : {"/REGION/", "/ALLOC FILES/", "/EMFAC FILES/", "/POP FILES/",
                             "/OPTIONS/", "/PERIOD/", "/RUNFILES/"}) {
        ui.messages.clear();
        ui.dialogs.clear();
        sc().prevoptfile = "previous.opt";
        sc().prevoptdir = "/runs";
        ASSERT_EQ(readText(without_packet(complete_options_file(), name)), ReadOutcome::Refused)
            << name;
        ASSERT_EQ(ui.messages.size(), 1u) << name;
        EXPECT_EQ(ui.messages[0],
                  (Msg{"Cannot find the " + std::string(name) +
                           " packet in the options file.\nThe options file is corrupted.",
                       kTitle, MessageIcon::Exclamation}));
        ASSERT_EQ(ui.dialogs.size(), 1u);
        EXPECT_EQ(ui.dialogs[0].request.title, "Select new option file ");
        EXPECT_EQ(ui.dialogs[0].request.filter, "Option files (*.opt)|*.opt|All files (*.*)|*.*");
        EXPECT_EQ(sc().optfile, "previous.opt");
        EXPECT_EQ(sc().optdir, "/runs");
    }
}

TEST_F(ReaderTest, ChecksGoOnAgainstTheFlagsTheNestedReadLeft) {
    const std::string onlyOptions = "/OPTIONS/\r\nTitle 1            : Lonely\r\n/END/\r\n";
    // Every request cancelled: one message per missing packet, in the checking order.
    sc().prevoptfile = "previous.opt";
    ASSERT_EQ(readText(onlyOptions), ReadOutcome::Refused);
    std::vector<std::string> expected;
    for (const char* name :
         {"/REGION/", "/ALLOC FILES/", "/EMFAC FILES/", "/POP FILES/", "/PERIOD/", "/RUNFILES/"})
        expected.push_back("Cannot find the " + std::string(name) +
                           " packet in the options file.\nThe options file is corrupted.");
    EXPECT_EQ(ui.messageTexts(), expected);
    EXPECT_EQ(ui.dialogs.size(), 6u);

    // A complete file chosen at the first request ends the messages.
    ui.messages.clear();
    ui.dialogs.clear();
    ui.answerFile(writeFile("good.opt", complete_options_file()));
    ASSERT_EQ(readText(onlyOptions), ReadOutcome::Refused);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(sc().optfile, "good.opt");
    EXPECT_EQ(sc().optdir, dir.str());
    EXPECT_EQ(sc().title1str, "TEST RUN");
    EXPECT_EQ(ui.captions.back(), "US XQB KELVARO MODEL (good.opt)");
}

TEST_F(ReaderTest, FileWithoutPacketsIsNotAnOptionsFile) {
    const std::string garbage("\x7f"
                              "ELF\x02\x01\x01\0\0\0/\xff\xfe/x\r\n\0\0junk",
                              24);
    const std::string texts[] = {"", "just a note\r\n", garbage,
                                 "/STAGE II/\r\nControl Factor     : 1\r\n/END/\r\n"};
    for (const auto& text : texts) {
        ui.messages.clear();
        sc().prevoptfile = "previous.opt";
        ASSERT_EQ(readText(text), ReadOutcome::Refused);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0],
                  (Msg{"No packets found in the file: " + dir.str() +
                           "/test1.opt\nIt appears that this file is not a KELVARO options file.",
                       kTitle, MessageIcon::Exclamation}));
    }
}

// Conditions that make the file unusable: their own message, then a request for another
// file; the program goes on.
TEST_F(ReaderTest, MalformedPacketsRefuseTheFileWithTheirMessage) {
    const std::string base = complete_options_file();
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {with_packet_body(base, "/RUNFILES/", "BOGUS DESCRIPTOR   : x\r\n"),
         "Runfile descriptor not found BOGUS DESCRIPTOR"},
        {with_packet_body(base, "/RUNFILES/", "\r\n"), "Runfile descriptor not found "},
        {with_packet_body(base, "/RUNFILES/", "MESSAGE\r\n"),
         "Runfile descriptor not found MESSAGE"},
        {with_packet_body(base, "/PERIOD/",
                          "Period type        : Weekly\r\nSummation type     : Typical day\r\n"
                          "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n"),
         "Period type not recognized WEEKLY6"},
        {with_packet_body(base, "/PERIOD/",
                          "Period type        : Monthly\r\nSummation type     : Daily\r\n"
                          "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n"),
         "Summation type not Known DAILY"},
        {with_packet_body(base, "/REGION/", "Region Level       : COUNTYS\r\n"),
         "Region COUNTYS is not known. Correct test1.opt and retry"},
    };
    for (const auto& c : cases) {
        ui.messages.clear();
        ui.dialogs.clear();
        sc().prevoptfile = "previous.opt";
        ASSERT_EQ(readText(c.text), ReadOutcome::Refused) << c.message;
        ASSERT_EQ(ui.messages.size(), 1u) << c.message;
        EXPECT_EQ(ui.messages[0], (Msg{c.message, kTitle, MessageIcon::None}));
        EXPECT_EQ(ui.dialogs.size(), 1u);
    }
}

TEST_F(ReaderTest, PeriodPacketOneLineShort) {
    // The terminator moves into position 8 and the next line is consumed in its place,
    // unless that line names the next packet: the /REGION/ name line is not swallowed.
    const std::string shortPeriod =
        "Period type        : Annual\r\nSummation type     : Typical day\r\n"
        "Year of episode    : 2026\r\nSeason of year     : \r\n"
        "Month of year      : \r\nWeekday or weekend : Weekday\r\n"
        "Year of growth calc: 2025\r\n";
    std::string text = with_packet_body(complete_options_file(), "/PERIOD/", shortPeriod);
    text.replace(text.find("/END/\r\n\r\n/REGION/"), 9, "/END/\r\n");
    ASSERT_EQ(readText(text), ReadOutcome::Loaded);
    EXPECT_EQ(sc().techyearstr, "/END/");
    EXPECT_TRUE(sc().found_region);
    EXPECT_EQ(sc().regions.size(), 2u);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ReaderTest, PeriodPacketCutByTheEndOfTheFile) {
    const std::string text = without_packet(complete_options_file(), "/PERIOD/") +
                             "/PERIOD/\r\nPeriod type        : Annual\r\n"
                             "Summation type     : Typical day\r\n";
    sc().prevoptfile = "previous.opt";
    ASSERT_EQ(readText(text), ReadOutcome::Refused);
    EXPECT_EQ(ui.messages.at(0),
              (Msg{"***************Period error 62", kTitle, MessageIcon::None}));
    const auto log = logLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "***************Period error 62");
    EXPECT_EQ(log.back(), "Summation type     : Typical day");
    EXPECT_EQ(ui.dialogs.size(), 1u);
}

TEST_F(ReaderTest, ReadErrorsEndTheReadWithTheirText) {
    struct Case {
        std::string text;
        std::string message;
    };
    const std::string base = complete_options_file();
    const Case cases[] = {
        {with_packet_body(base, "/MODELYEAR OUT/",
                          "EXHAUST BMY OUT    : a.bmx\r\nEVAP BMY OUT       : a.bmv\r\n"
                          "DAILY TEMPS/RVP    : d.txt\r\nEXTRA              : e\r\n"),
         "Read options error Subscript out of range9"},
        {without_packet(base, "/REGION/") + "/REGION/\r\nRegion Level       : STATE\r\n",
         "Read options error Input past end of file62"},
        {without_packet(base, "/REGION/") + "/REGION/",
         "Read options error Input past end of file62"},
    };
    for (const auto& c : cases) {
        ui.messages.clear();
        ASSERT_EQ(readText(c.text), ReadOutcome::Failed) << c.message;
        EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(ui.dialogs.empty());
    }
}

TEST_F(ReaderTest, RegionPacketWithoutEndStopsAtTheEndOfTheFile) {
    const std::string text = without_packet(complete_options_file(), "/REGION/") +
                             "/REGION/\r\nRegion Level       : STATE\r\nTexas              : 48000";
    ASSERT_EQ(readText(text), ReadOutcome::Loaded);
    ASSERT_EQ(sc().regions.size(), 1u);
    EXPECT_EQ(sc().regions.at(0)->statename, "Texas");
}

TEST_F(ReaderTest, RegionCheckKeepsWhatTheLevelAllows) {
    struct Case {
        const char* level;
        std::vector<const char*> codes;
        std::vector<const char*> kept;
        std::vector<std::string> messages = {};
    };
    const std::string misfits = "Region entries that do not fit the level ";
    const Case cases[] = {
        // At state levels only whole-state codes survive; the counties dropped are named.
        {"STATE",
         {"06000", "06001", "48000", "48201"},
         {"06000", "48000"},
         {misfits + "State were left out: 06001, 48201"}},
        {"50STATE", {"06000", "06037"}, {"06000"}, {misfits + "50 States were left out: 06037"}},
        {"US TOTAL", {"06037", "06000"}, {"06000"}, {misfits + "US Total were left out: 06037"}},
        {"SUBCOUNTY", {"06000"}, {"06000"}},
        // At county level every existing code survives as a county; two unknown codes in a
        // row are both removed silently and the next one still checked.
        {"COUNTY", {"06037", "06998", "06999", "06059", "06000"}, {"06037", "06059", "06000"}},
        // A repeated code is dropped while reading.
        {"COUNTY", {"06037", "06037"}, {"06037"}},
        {"STATE", {}, {}},
    };
    for (const auto& c : cases) {
        ui.messages.clear();
        std::string body = "Region Level       : " + std::string(c.level) + "\r\n";
        for (const char* code : c.codes)
            body += "Somewhere          : " + std::string(code) + "\r\n";
        ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/REGION/", body)),
                  ReadOutcome::Loaded)
            << c.level;
        EXPECT_EQ(ui.messageTexts(), c.messages);
        for (const auto& m : ui.messages)
            EXPECT_EQ(m.icon, MessageIcon::Information);
        std::vector<std::string> kept;
        for (const auto& r : sc().regions)
            kept.push_back(r->code);
        EXPECT_EQ(kept, std::vector<std::string>(c.kept.begin(), c.kept.end())) << c.level;
        EXPECT_EQ(sc().regions_saved.size(), sc().regions.size());
    }
}

TEST_F(ReaderTest, CountyLevelCompletesCountiesAndWholeStates) {
    const std::string body = "Region Level       : COUNTY\r\nLos Angeles Coun CA: 06037\r\n"
                             "All California     : 06000\r\n";
    ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/REGION/", body)),
              ReadOutcome::Loaded);
    ASSERT_EQ(sc().regions.size(), 2u);
    const RegionCls& county = *sc().regions.at(0);
    EXPECT_EQ(county.county, "Los Angeles County");
    EXPECT_EQ(county.abbr, "CA");
    EXPECT_EQ(county.statename, "California");
    EXPECT_FALSE(county.isState);
    // A state's own code is the whole state, as at the state level.
    const RegionCls& state = *sc().regions.at(1);
    EXPECT_TRUE(state.isState);
    EXPECT_EQ(state.statename, "California");
    EXPECT_EQ(state.abbr, "CA");
}

TEST_F(ReaderTest, UnknownStatePrefixStopsTheRegionCheck) {
    const std::string body = "Region Level       : COUNTY\r\nA                  : 06037\r\n"
                             "B                  : 99001\r\nC                  : 06059\r\n";
    ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/REGION/", body)),
              ReadOutcome::Loaded);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"validate_region Invalid procedure call or argument"});
    EXPECT_EQ(logLines().back(), "Exiting abnormally validate_region; ");
    ASSERT_EQ(sc().regions.size(), 3u);
    EXPECT_EQ(sc().regions.at(0)->county, "Los Angeles County");
    EXPECT_EQ(sc().regions.at(2)->county, ""); // never visited
    EXPECT_EQ(sc().regions_saved.size(), 3u);
}

TEST_F(ReaderTest, EachRegionIsLookedUpOnceWithTheExactQueryText) {
    refdbs.db->queries.clear();
    ASSERT_EQ(readText(complete_options_file()), ReadOutcome::Loaded);
    ASSERT_GE(refdbs.db->queries.size(), 2u);
    EXPECT_EQ(refdbs.db->queries[0],
              "SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=\"06000\");");
    EXPECT_EQ(refdbs.db->queries[2],
              "SELECT DISTINCTROW  [Equipment Types].SCC, [Equipment Types].EQUIP,[Equipment "
              "Types].[Engine Type], [Equipment Types].Classification FROM [Equipment Types] "
              "WHERE (SCC=\"2265004010\");");
    EXPECT_EQ(refdbs.openedPaths.front(), "/model/reports/reports.mdb");
}

TEST_F(ReaderTest, InvalidSourceCategoriesAreSkippedThenThePacketIsCalledCorrupt) {
    std::string body;
    for (const char* scc : {"1111111111", "2265004010", "2222222222", "3333333333", "4444444444",
                            "5555555555", "6666666666", "2270002015"})
        body += "                   :" + std::string(scc) + "\r\n";
    sc().prevoptfile = "previous.opt";
    ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/SOURCE CATEGORY/", body)),
              ReadOutcome::Refused);
    ASSERT_EQ(ui.messages.size(), 6u);
    EXPECT_EQ(ui.messages[0], (Msg{"Invalid SCC code found in /SOURCE CATEGORY/ Packet: \n"
                                   "                           1111111111\nSkipping this entry.",
                                   kTitle, MessageIcon::Information}));
    EXPECT_EQ(ui.messages[4].text, "Invalid SCC code found in /SOURCE CATEGORY/ Packet: \n"
                                   "                           5555555555\nSkipping this entry.");
    EXPECT_EQ(ui.messages[5], (Msg{"It appears the /SOURCE CATEGORY/ Packet is corrupt.\n"
                                   "Perhaps the /END/ keyword is missing.",
                                   kTitle, MessageIcon::None}));
    EXPECT_EQ(ui.dialogs.size(), 1u);
    // The request was cancelled: the scan went on without another message, then nothing of
    // the refused file stayed in the scenario.
    EXPECT_EQ(sc().sourceCount(), 0u);
    EXPECT_TRUE(sc().foundNoPacket());
}

TEST_F(ReaderTest, AnotherFileChosenAfterACorruptSourcePacketReplacesTheRead) {
    std::string body;
    for (int i = 0; i < 6; ++i)
        body += "                   :999999999" + std::to_string(i) + "\r\n";
    ui.answerFile(writeFile("good.opt", complete_options_file()));
    std::string text = with_packet_body(complete_options_file(), "/SOURCE CATEGORY/", body);
    text.replace(text.find("Test run"), 8, "Bad file");
    ASSERT_EQ(readText(text), ReadOutcome::Refused);
    // The rest of the refused file never reached the scenario.
    EXPECT_EQ(sc().optfile, "good.opt");
    EXPECT_EQ(sc().title1str, "TEST RUN");
    EXPECT_EQ(sc().sourceCount(), 2u);
}

TEST_F(ReaderTest, SourceCategoryCodesAreTakenFromColumn21) {
    const std::string body = "                   : 2265004010\r\n" // a blank after the colon
                             "                   :2270002015   trailing note\r\n";
    ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/SOURCE CATEGORY/", body)),
              ReadOutcome::Loaded);
    EXPECT_EQ(sc().sourceCount(), 1u);
    EXPECT_EQ(ui.messages.size(), 1u); // the code with trailing text is not a code
}

TEST_F(ReaderTest, DuplicatedFileListEntriesAreReportedAndSkipped) {
    const std::string alloc =
        "Census population  : /data/a.alo\r\nFamily housing     : /data/a.alo\r\n"
        "Family housing     : /data/b.alo\r\n";
    const std::string pop =
        "Population File    : /data/p.pop\r\nPopulation File    : /data/p.pop\r\n";
    std::string text = with_packet_body(complete_options_file(), "/ALLOC FILES/", alloc);
    text = with_packet_body(text, "/POP FILES/", pop);
    ASSERT_EQ(readText(text), ReadOutcome::Loaded);
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{
                  "In GET_POPULATION_OPTIONS This key is already associated with an element of "
                  "this collection",
                  "This key is already associated with an element of this collection"}));
    ASSERT_EQ(sc().allocfiles.size(), 2u);
    EXPECT_EQ(sc().allocfiles.at(0)->descriptor, "Census population  :");
    EXPECT_EQ(sc().allocfiles.at(1)->allocfile, "/data/b.alo");
    EXPECT_EQ(sc().allocfiles_saved.size(), 2u);
    EXPECT_EQ(sc().popfiles.size(), 1u);
}

TEST_F(ReaderTest, OptionsPacketWithAndWithoutMarineLine) {
    const std::string withoutMarine =
        "Title 1            : a\r\nTitle 2            : b\r\nFuel RVP for gas   : 1\r\n"
        "Oxygen Weight %    : 2\r\nGas sulfur %       : 3\r\nDiesel sulfur %    : 4\r\n"
        "CNG/LPG sulfur %   : 5\r\nMinimum temper. (F): 6\r\nMaximum temper. (F): 7\r\n"
        "Average temper. (F): 8\r\nAltitude of region : high\r\nextra line         : x\r\n";
    ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/OPTIONS/", withoutMarine)),
              ReadOutcome::Loaded);
    EXPECT_EQ(sc().so2marinedieselstr, "");
    EXPECT_EQ(sc().so2cngstr, "5");
    EXPECT_EQ(sc().altitudestr, "HIGH");

    const std::string marine = "Title 1            : a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n"
                               "marine line        : 9\r\ng\r\n";
    ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/OPTIONS/", marine)),
              ReadOutcome::Loaded);
    EXPECT_EQ(sc().so2marinedieselstr, "9");
    EXPECT_EQ(sc().so2cngstr, "G");
}

TEST_F(ReaderTest, PeriodValuesByContainment) {
    struct Case {
        const char* type;
        const char* season;
        const char* month;
        const char* week;
        int periodindex, seasonindex, monthindex, weekindex;
    };
    const Case cases[] = {
        {"Seasonal", "Winter", "", "Weekend", 2, 0, 5, 1},
        {"seasonal", "autumn", "", "weekday", 2, 3, 5, 0},
        {"Monthly", "", "December", "x", 1, 2, 11, 0}, // an unknown day kind: weekday
        // An unknown month is January, never the month of the file read before.
        {"Monthly", "Nowhen", "Thirteenth", "", 1, 2, 0, 0},
        {"Monthly", "", "Smarch", "", 1, 2, 2, 0}, // containment: MARCH
        {"Annual total", "", "", "Weekday", 0, 2, 5, 0},
    };
    for (const auto& c : cases) {
        const std::string body = "Period type        : " + std::string(c.type) +
                                 "\r\nSummation type     : Period total\r\nYear of episode    : "
                                 "1999\r\nSeason of year     : " +
                                 c.season + "\r\nMonth of year      : " + c.month +
                                 "\r\nWeekday or weekend : " + c.week + "\r\nx: 1\r\ny: 2\r\n";
        ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/PERIOD/", body)),
                  ReadOutcome::Loaded)
            << c.type;
        EXPECT_EQ(sc().periodindex, c.periodindex) << c.type;
        EXPECT_EQ(sc().ptypeindex, 1);
        EXPECT_EQ(sc().seasonindex, c.seasonindex) << c.type;
        EXPECT_EQ(sc().monthindex, c.monthindex) << c.type;
        EXPECT_EQ(sc().weekindex, c.weekindex) << c.type;
    }
}

TEST_F(ReaderTest, MessageAndOutputFilesAreHeldAsFullPaths) {
    struct Case {
        const char* value;
        const char* dir;
        const char* file;
    };
    const Case cases[] = {
        {"/elsewhere/Run.MSG", "/elsewhere", "Run.MSG"},
        {"outputs/run.msg", "/model/outputs", "run.msg"},
        {"run.msg", "", "run.msg"}, // the options file's own directory (checked below)
        {"sub\\dir\\run.msg", "/model/sub\\dir", "run.msg"},
    };
    for (const auto& c : cases) {
        const std::string body = "MESSAGE            : " + std::string(c.value) +
                                 "\r\nOUTPUT DATA        : " + c.value + "\r\n";
        ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/RUNFILES/", body)),
                  ReadOutcome::Loaded);
        const std::string dirExpected = *c.dir ? c.dir : dir.str();
        EXPECT_EQ(sc().msgdir, dirExpected) << c.value;
        EXPECT_EQ(sc().msgfile, c.file);
        EXPECT_EQ(sc().runfiles[kMessage], dirExpected + "/" + c.file);
        EXPECT_EQ(sc().outdir, dirExpected);
        EXPECT_EQ(sc().runfiles[kOutputData], dirExpected + "/" + c.file);
    }
}

TEST_F(ReaderTest, RunFileLinesOfOtherSlots) {
    const std::string body =
        "NET                : /data/net.out\r\nOUTPUT DATA        : /o/x.out\r\n"
        "EXHAUST BMY OUT    : /elsewhere/x.bmx\r\n"
        "message            : /m/x.msg\r\n" // descriptors are upper-cased
        "MESSAGE            : /m/y.msg\r\n";
    ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/RUNFILES/", body)),
              ReadOutcome::Loaded);
    EXPECT_EQ(sc().runfiles[kNet], "/data/net.out");
    EXPECT_EQ(sc().msgfile, "y.msg"); // a repeated descriptor keeps its last value
    // Slots the packet does not name are empty; the model-year and daily packets fill their
    // own slots, before or after it.
    EXPECT_EQ(sc().runfiles[kEps2Ams], "");
    EXPECT_EQ(sc().runfiles[kExhaustBmyOut], ""); // /MODELYEAR OUT/ comes later and empties it
}

TEST_F(ReaderTest, ModelYearAndDailyPackets) {
    const std::string three = "EXHAUST BMY OUT    : /o/a.bmx\r\nEVAP BMY OUT       : \r\n"
                              "DAILY TEMPS/RVP    : /d/t.txt\r\n";
    std::string text = with_packet_body(complete_options_file(), "/MODELYEAR OUT/", three);
    text = without_packet(text, "/DAILY FILES/");
    ASSERT_EQ(readText(text), ReadOutcome::Loaded);
    EXPECT_TRUE(sc().bmy_on);
    EXPECT_EQ(sc().runfiles[kExhaustBmyOut], "/o/a.bmx");
    // No /DAILY FILES/: slot 14 is emptied after the read even though the third line set it.
    EXPECT_EQ(sc().runfiles[kDailyTempsRvp], "");

    text = with_packet_body(complete_options_file(), "/MODELYEAR OUT/", three);
    ASSERT_EQ(readText(text), ReadOutcome::Loaded);
    EXPECT_EQ(sc().runfiles[kDailyTempsRvp], "/data/DAILY/daytmp.txt");

    // Both packets before /RUNFILES/ keep their files.
    text =
        "/MODELYEAR OUT/\r\n" + three +
        "/END/\r\n/DAILY FILES/\r\nDAILY TEMPS/RVP    : /d/u.txt\r\n/END/\r\n" +
        without_packet(without_packet(complete_options_file(), "/MODELYEAR OUT/"), "/DAILY FILES/");
    ASSERT_EQ(readText(text), ReadOutcome::Loaded);
    EXPECT_TRUE(sc().bmy_on);
    EXPECT_EQ(sc().runfiles[kExhaustBmyOut], "/o/a.bmx");
    EXPECT_EQ(sc().runfiles[kDailyTempsRvp], "/d/u.txt");
}

// What a file does not set is never a value of the file read before it.
TEST_F(ReaderTest, DefaultsOfAbsentOptionalPackets) {
    ASSERT_EQ(readText(complete_options_file()), ReadOutcome::Loaded);
    sc().bmy_on = true;
    sc().runfiles[kExhaustBmyOut] = "x";
    sc().changed_growth = sc().changed_options = true;
    std::string text =
        with_packet_body(complete_options_file(), "/OPTIONS/", "Title 1            : Short\r\n");
    text = with_packet_body(text, "/RUNFILES/", "MESSAGE            : /m/x.msg\r\n");
    for (const char* name : {"/DETERIORATE FILES/", "/SOURCE CATEGORY/", "/STAGE II/",
                             "/MODELYEAR OUT/", "/DAILY FILES/", "/GROWTH FILES/"})
        text = without_packet(text, name);
    ASSERT_EQ(readText(text), ReadOutcome::Loaded);
    EXPECT_EQ(sc().altitudestr, "");
    EXPECT_EQ(sc().fulrvpstr, "");
    EXPECT_EQ(sc().runfiles[kAllocXref], "");
    EXPECT_EQ(sc().runfiles[kRetrofit], "");
    EXPECT_FALSE(sc().changed_growth || sc().changed_options);
    EXPECT_EQ(sc().detfiles[0], "");
    EXPECT_FALSE(sc().sources_on);
    EXPECT_EQ(sc().sourceCount(), 0u);
    EXPECT_EQ(sc().stage2str, "0.0");
    EXPECT_FALSE(sc().stage2_known);
    EXPECT_FALSE(sc().found_stage2);
    EXPECT_FALSE(sc().bmy_on);
    EXPECT_EQ(sc().runfiles[kExhaustBmyOut], "");
    EXPECT_EQ(sc().runfiles[kDailyTempsRvp], "");
    EXPECT_EQ(sc().growthCount(), 0u);
}

TEST_F(ReaderTest, GrowthListIsTheFilesOwn) {
    std::string text =
        with_packet_body(complete_options_file(), "/GROWTH FILES/",
                         "Growth FILE        : /g/a.grw\r\nGrowth FILE        : /g/b.grw\r\n");
    ASSERT_EQ(readText(text), ReadOutcome::Loaded);
    EXPECT_EQ(sc().growthfiles, (std::vector<std::string>{"/g/a.grw", "/g/b.grw", ""}));
    ASSERT_EQ(readText(with_packet_body(complete_options_file(), "/GROWTH FILES/", "")),
              ReadOutcome::Loaded);
    EXPECT_EQ(sc().growthfiles, (std::vector<std::string>{""}));
    ASSERT_EQ(readText(complete_options_file()), ReadOutcome::Loaded);
    EXPECT_EQ(sc().growthfiles, (std::vector<std::string>{"/data/growth/nation.grw", ""}));
}

TEST_F(ReaderTest, FactorFileLabelsFindTheirSlot) {
    const std::string body = "THC exhaust        : /e/thc.emf\r\n"
                             "\r\n"                                   // blank: erases nothing
                             "CO                 : /e/co.emf\r\n"     // a key's start: slot 1
                             "EXHAUST            : /e/inside.emf\r\n" // inside a key: skipped
                             "Unknown thing      : /e/unknown.emf\r\n"
                             "Hot Soaks          :   /e/Mixed Case.emf  \r\n"
                             "RUNINGLOSS         : /e/run.emf\r\n"
                             "   /END/\r\n";
    std::string text = complete_options_file();
    text = with_packet_body(text, "/EMFAC FILES/", body);
    ASSERT_EQ(readText(text), ReadOutcome::Loaded);
    EXPECT_EQ(sc().emfacfiles[0], "/e/thc.emf");
    EXPECT_EQ(sc().emfacfiles[1], "/e/co.emf");
    EXPECT_EQ(sc().emfacfiles[2], "");
    EXPECT_EQ(sc().emfacfiles[13], "/e/Mixed Case.emf");
    EXPECT_EQ(sc().emfacfiles[14], "/e/run.emf");
    EXPECT_EQ(sc().emfacfiles[15], "");
}

TEST_F(ReaderTest, HugeLinesAndNonAsciiTextPassThrough) {
    std::string text = complete_options_file();
    text.insert(0, std::string(10 * 1024 * 1024, 'x') + "\r\n");
    const std::string utf8Title = "Caf\xC3\xA9 r\xC3\xA9gion";
    text.replace(text.find("Test run"), 8, utf8Title);
    text.replace(text.find("/data/pop/ca.pop"), 16, "/data/pop/\xC3\xA9t\xC3\xA9.pop");
    ASSERT_EQ(readText(text), ReadOutcome::Loaded);
    EXPECT_TRUE(ui.messages.empty());
    // Only ASCII letters change case; other bytes pass through.
    EXPECT_EQ(sc().title1str, "CAF\xC3\xA9 R\xC3\xA9GION");
    EXPECT_EQ(sc().popfiles.at(0)->allocfile, "/data/pop/\xC3\xA9t\xC3\xA9.pop");
}

TEST_F(ReaderTest, WindowsRulesUpperCasePathValues) {
    Session windows(ui, launcher, refdbs, dir.path(), PathRules::windows());
    windows.settings.modeldir = "C:\\MODEL";
    windows.scenario.optdir = "C:\\RUNS";
    windows.scenario.optfile = "TEST1.OPT";
    std::string text = with_packet_body(complete_options_file(), "/RUNFILES/",
                                        "MESSAGE            : outputs\\Test1.msg\r\n"
                                        "OUTPUT DATA        : c:\\out\\Test1.out\r\n"
                                        "ACTIVITY           : c:\\data\\Activity.dat\r\n");
    std::istringstream in(text);
    ASSERT_EQ(read_options_stream(windows, in, "C:\\RUNS\\TEST1.OPT"), ReadOutcome::Loaded);
    EXPECT_EQ(windows.scenario.runfiles[kMessage], "C:\\MODEL\\OUTPUTS\\TEST1.MSG");
    EXPECT_EQ(windows.scenario.runfiles[kOutputData], "C:\\OUT\\TEST1.OUT");
    EXPECT_EQ(windows.scenario.runfiles[kActivity], "C:\\DATA\\ACTIVITY.DAT");
    EXPECT_EQ(windows.scenario.popfiles.at(0)->allocfile, "/DATA/POP/CA.POP");
    // Factor file paths keep their case on every platform.
    EXPECT_EQ(windows.scenario.emfacfiles[0], "/data/emsfac/exhthc.emf");
}

TEST_F(ReaderTest, MissingFileKeepsTheScenario) {
    ASSERT_EQ(readText(complete_options_file()), ReadOutcome::Loaded);
    sc().optdir = dir.str() + "/Nowhere";
    sc().optfile = "Missing.OPT";
    ui.messages.clear();
    EXPECT_EQ(read_options(*session), ReadOutcome::Failed);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Cannot find options file: " + dir.str() +
                                                          "/nowhere/missing.opt"});
    EXPECT_EQ(sc().title1str, "TEST RUN");
}

TEST_F(ReaderTest, FileNameCaseMayDifferFromTheDisk) {
    writeFile("Scenario.opt", complete_options_file());
    sc().optdir = dir.str();
    sc().optfile = "SCENARIO.OPT";
    EXPECT_EQ(read_options(*session), ReadOutcome::Loaded);
    EXPECT_EQ(ui.captions.back(), "US XQB KELVARO MODEL (scenario.opt)");
}

TEST_F(ReaderTest, UnopenableReferenceDatabaseEndsTheRead) {
    refdbs.fail = true;
    ASSERT_EQ(readText(complete_options_file()), ReadOutcome::Failed);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Could not find file /model/reports/reports.mdb3024"});
    EXPECT_TRUE(ui.dialogs.empty());
}

TEST_F(ReaderTest, CancelWithoutAPreviousFileAsksOnceMore) {
    sc().prevoptfile.clear();
    sc().prevoptdir.clear();
    ASSERT_EQ(readText(without_packet(complete_options_file(), "/REGION/")), ReadOutcome::Refused);
    EXPECT_EQ(ui.dialogs.size(), 2u);
    EXPECT_EQ(sc().optfile, "");

    // The second request answered: that file is read.
    ui.dialogs.clear();
    ui.answerFile(std::nullopt);
    ui.answerFile(writeFile("second.opt", complete_options_file()));
    ASSERT_EQ(readText(without_packet(complete_options_file(), "/REGION/")), ReadOutcome::Refused);
    EXPECT_EQ(ui.dialogs.size(), 2u);
    EXPECT_EQ(sc().optfile, "second.opt");
    EXPECT_TRUE(sc().found_region);
}

TEST_F(ReaderTest, SelectNewOptionsFilePresetsTheCurrentFile) {
    sc().optdir = "/runs";
    sc().optfile = "now.opt";
    sc().prevoptdir = "/before";
    sc().prevoptfile = "before.opt";
    EXPECT_FALSE(select_new_options_file(*session).has_value());
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_FALSE(ui.dialogs[0].save);
    EXPECT_EQ(ui.dialogs[0].request.initialDir, "/runs");
    EXPECT_EQ(ui.dialogs[0].request.initialFile, "now.opt");
    EXPECT_EQ(ui.dialogs[0].request.filterIndex, 1);
    EXPECT_EQ(sc().optfile, "before.opt");
    EXPECT_EQ(ui.statuses.size(), 1u);

    ui.answerFile(writeFile("chosen.opt", complete_options_file()));
    EXPECT_EQ(select_new_options_file(*session), ReadOutcome::Loaded);
    EXPECT_EQ(sc().optfile, "chosen.opt");
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_GT(ui.busyChanges, 0);
}

TEST(ListIndex, CountsTheItemsBeforeAPosition) {
    const std::string_view keys = "THC EXHAUST|CO EXHAUST|NOX EXHAUST|PM EXHAUST|BSFC";
    EXPECT_EQ(list_index(keys, 1, '|'), 0);
    EXPECT_EQ(list_index(keys, 13, '|'), 1);
    EXPECT_EQ(list_index(keys, 24, '|'), 2);
    EXPECT_EQ(list_index(keys, 47, '|'), 4);
    // Inside an item: the number of the following item.
    EXPECT_EQ(list_index(keys, 5, '|'), 1);
    // Inside the last item the position is never reached.
    EXPECT_EQ(list_index(keys, 49, '|'), std::nullopt);
}

} // namespace
} // namespace kv::test
