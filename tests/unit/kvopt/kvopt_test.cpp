#include "runs/process_group.h"
#include "support/demo_paths.h"
#include "support/options_text.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>
#include <sys/wait.h>
#include <thread>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

ProgramResult kvopt(std::vector<std::string> args) {
    args.insert(args.begin(), {kKvopt, "--model-dir", kModel});
    return run_program(args);
}

// The demo's default options file, copied so that tests never change the demo.
class KvoptTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!demo_refdb_built())
            GTEST_SKIP() << "the demo's reference database is not built";
        demo = dir.str() + "/demo.opt";
        fs::copy_file(kModel + "/demo.opt", demo);
    }
    TempDir dir;
    std::string demo;
};

TEST_F(KvoptTest, CheckAcceptsTheDemoWithoutAMessage) {
    for (const char* name : {"demo.opt", "county.opt"}) {
        const ProgramResult r = kvopt({"check", kModel + "/" + name});
        EXPECT_EQ(r.exitCode, 0) << name << r.err;
        EXPECT_EQ(r.err, "") << name;
    }
}

TEST_F(KvoptTest, ShowPrintsTheScenarioByItsOwnNames) {
    const ProgramResult r = kvopt({"show", demo});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["optfile"], "demo.opt");
    EXPECT_EQ(j["optdir"], dir.str());
    EXPECT_EQ(j["runfiles"].size(), 15u);
    EXPECT_EQ(j["emfacfiles"].size(), 15u);
    EXPECT_EQ(j["detfiles"].size(), 15u);
    EXPECT_EQ(j["msgfile"], "demo.msg");
    EXPECT_EQ(j["title1str"], "DEMONSTRATION RUN: CALIFORNIA AND TEXAS");
    EXPECT_EQ(j["regionlevel"], 1);
    ASSERT_EQ(j["regions"].size(), 2u);
    EXPECT_EQ(j["regions"][0], (nlohmann::json{{"code", "06000"},
                                               {"county", "*****"},
                                               {"statename", "California"},
                                               {"abbr", "CA"},
                                               {"isState", true}}));
    EXPECT_EQ(j["sources"].size(), 9u); // no spare slot
    EXPECT_EQ(j["sources"][0]["scc"], "2265002015");
    EXPECT_EQ(j["growthfiles"].size(), 1u);
    EXPECT_EQ(j["allocfiles"][1]["descriptor"], "Family housing     :");
    EXPECT_EQ(j["found_deter"], true);
    EXPECT_EQ(j["sources_on"], true);
    EXPECT_EQ(j["bmy_on"], false);
    EXPECT_EQ(j["stage2_known"], true);
}

TEST_F(KvoptTest, SaveRoundTripsUnderOneNewHeader) {
    const std::string out = dir.str() + "/copy.opt";
    const ProgramResult r = kvopt({"save", demo, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string original = read_file(demo);
    const std::string written = read_file(out);
    const auto firstEnd = written.find("\r\n");
    EXPECT_TRUE(written.starts_with("Written by Kelvaro interface at "));
    EXPECT_EQ(written.substr(firstEnd + 2), original);
}

TEST_F(KvoptTest, SetValuesRegenerateTheirPacket) {
    const std::string out = dir.str() + "/set.opt";
    const ProgramResult r =
        kvopt({"save", demo, out, "--set", "title1str=Scripted run", "--set", "periodindex=1",
               "--set", "monthindex=6", "--set", "stage2str=0.5", "--set", "runfiles.1=/x/act.dat",
               "--set", "altitudestr= high ", "--no-check"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string written = read_file(out);
    EXPECT_NE(written.find("Title 1            : Scripted run\r\n"), std::string::npos);
    EXPECT_NE(written.find("Title 2            : PLACEHOLDER DATA FOR TRYING THE INTERFACE\r\n"),
              std::string::npos);
    EXPECT_NE(written.find("Period type        : Monthly\r\n"), std::string::npos);
    EXPECT_NE(written.find("Month of year      : July\r\n"), std::string::npos);
    EXPECT_NE(written.find("Control Factor     : 0.5\r\n"), std::string::npos);
    EXPECT_NE(written.find("ACTIVITY           : /x/act.dat\r\n"), std::string::npos);
    // The altitude is one of the dialog's two buttons, whatever its spelling.
    EXPECT_NE(written.find("Altitude of region : HIGH\r\n"), std::string::npos);
    // The region packet was not edited and is copied as it was.
    EXPECT_NE(written.find("California         : 06000\r\n"), std::string::npos);
}

// Every path on the command line is taken from the directory kvopt was started in, also
// the ones used after reading has made the model directory current.
TEST_F(KvoptTest, PathsAreTakenFromTheStartingDirectory) {
    // A model directory of its own, so that a save landing there cannot touch the demo.
    const fs::path model = dir.path() / "model dir";
    fs::copy(kModel, model, fs::copy_options::recursive);
    const fs::path work = dir.path() / "my runs ü";
    fs::create_directories(work);
    fs::copy_file(demo, work / "mywork.opt");
    const std::string modelDemo = read_file(model / "demo.opt");
    const auto modelEntries = std::distance(fs::directory_iterator(model), {});
    const std::string edited = "Title 1            : MY EDIT\r\n";

    struct Case {
        std::vector<std::string> args;
        std::string written; // the file in `work` that must hold the edit
    };
    const Case cases[] = {
        {{"check", "mywork.opt"}, ""},
        {{"save", "mywork.opt", "demo.opt", "--set", "title1str=MY EDIT"}, "demo.opt"},
        {{"save", "mywork.opt", "mywork.opt", "--set", "title1str=MY EDIT"}, "mywork.opt"},
        {{"save", "./mywork.opt", "sub/../Größe 1.opt", "--set", "title1str=MY EDIT"},
         "Größe 1.opt"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {kKvopt, "--model-dir", "../model dir"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ProgramResult r = run_program(argv, work.string());
        EXPECT_EQ(r.exitCode, 0) << c.args[0] << r.err;
        EXPECT_EQ(r.err, "") << c.args[0];
        if (!c.written.empty()) {
            EXPECT_NE(read_file(work / c.written).find(edited), std::string::npos) << c.written;
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(work), {}), 3);
    EXPECT_EQ(read_file(model / "demo.opt"), modelDemo);
    EXPECT_EQ(std::distance(fs::directory_iterator(model), {}), modelEntries);
}

// --sources runs the Sources dialog's actions in the order given.
TEST_F(KvoptTest, SourcesChooseTheSourceCategoriesAsTheDialogDoes) {
    struct Case {
        std::vector<std::string> sources;
        int exitCode;
        std::string codes; // the written /SOURCE CATEGORY/ codes; "-" for no packet
        std::string err;
    };
    const std::string demoCodes = "2265002015 2265004010 2265004015 2265004025 2265006010 "
                                  "2265006025 2270002015 2270006010 2270006015 ";
    const Case cases[] = {
        {{"all"}, 0, "-", ""},
        {{"none"}, 0, "", ""},
        {{"none", "add=Marine Rec,Diesel,segment"}, 0, "2282020000 ", ""},
        {{"none", "add=12,1,equipment", "add=railway, si ,Equipment"},
         0,
         "2282020005 2282020010 2285004015 2285006015 ",
         ""},
        // Adding after "all" chooses selected sources again; the list was kept.
        {{"all", "add=Lawn & Garden,1,segment"}, 0, demoCodes + "2270004000 ", ""},
        {{"add=Underground Mining,SI,segment"}, 0, demoCodes, ""},
        {{"some"},
         2,
         "",
         "kvopt save: --sources takes all, none or add=SEGMENT,FUEL,segment|equipment, not "
         "\"some\"\n"},
        {{"add=Option1,Diesel,segment"}, 2, "", ""},
        {{"add=13,0,segment"}, 2, "", ""},
        {{"add=1,3,segment"}, 2, "", ""},
        {{"add=1,1,both"}, 2, "", ""},
        {{"add=1,1"}, 2, "", ""},
    };
    for (const Case& c : cases) {
        const std::string out = dir.str() + "/sources.opt";
        fs::remove(out);
        std::vector<std::string> args = {"save", demo, out};
        for (const std::string& value : c.sources)
            args.insert(args.end(), {"--sources", value});
        const ProgramResult r = kvopt(args);
        const std::string name = c.sources.back();
        ASSERT_EQ(r.exitCode, c.exitCode) << name << r.err;
        if (c.exitCode != 0) {
            EXPECT_FALSE(fs::exists(out)) << name;
            EXPECT_NE(r.err, "") << name;
            if (!c.err.empty()) {
                EXPECT_EQ(r.err, c.err);
            }
            continue;
        }
        EXPECT_EQ(r.err, "") << name;
        const std::string written = read_file(out);
        const auto begin = written.find("/SOURCE CATEGORY/\r\n");
        if (c.codes == "-") {
            EXPECT_EQ(begin, std::string::npos) << name;
            continue;
        }
        ASSERT_NE(begin, std::string::npos) << name;
        std::string codes;
        for (auto at = written.find("\n", begin) + 1; written.compare(at, 5, "/END/") != 0;
             at = written.find("\n", at) + 1)
            codes += written.substr(at + 20, 10) + " ";
        EXPECT_EQ(codes, c.codes) << name;
    }
}

// The run files of the single-file dialogs pass the check of the dialog's OK, which looks at
// all its rows in its own order, the dialogs in the order of their menu: relative names are
// taken from the directory holding kvopt, an empty Activity file becomes the default.
TEST_F(KvoptTest, SetRunFilesChecksAsTheDialogsDo) {
    const std::string activity = KV_DEMO_DIR "/data/ACTIVITY/activity.dat";
    const std::string fromKvopt =
        fs::relative(activity, fs::path(kKvopt).parent_path()).generic_string();
    const std::string out = dir.str() + "/set.opt";
    std::string text = read_file(demo);
    const auto evp = text.find("EVP TECHNOLOGY     : ");
    text.replace(evp, text.find('\r', evp) - evp, "EVP TECHNOLOGY     : gone.dat");
    const std::string evpGone = dir.write("evp-gone.opt", text);
    const struct {
        std::vector<std::string> sets;
        int exitCode;
        std::string err, line;
        std::string in = {}; // the demo when empty
    } cases[] = {
        {{"runfiles.14=daily.dat"}, 1, "daily.dat does not exist\n", ""},
        {{"runfiles.2=" + activity, "runfiles.3=evp.dat", "runfiles.4=s.dat"},
         1,
         "s.dat does not exist\n",
         ""},
        {{"runfiles.3=evp.dat", "runfiles.2=exh.dat"}, 1, "exh.dat does not exist\n", ""},
        {{"runfiles.2=" + activity}, 1, "gone.dat does not exist\n", "", evpGone},
        {{"runfiles.1="}, 0, "", "ACTIVITY           : data/activity/ACTIVITY.DAT\r\n"},
        {{"runfiles.10=" + fromKvopt}, 0, "", "US COUNTIES FIPS   : " + fromKvopt + "\r\n"},
        {{"runfiles.8=run.eps"}, 0, "", "EPS2 AMS           : run.eps\r\n"},
        {{"runfiles.14=daily.dat", "--no-check"}, 0, "", "DAILY TEMPS/RVP    : daily.dat\r\n"},
    };
    for (const auto& c : cases) {
        fs::remove(out);
        std::vector<std::string> argv = {
            kKvopt, "--model-dir", kModel, "save", c.in.empty() ? demo : c.in, out};
        for (const std::string& set : c.sets) {
            if (!set.starts_with("--"))
                argv.push_back("--set");
            argv.push_back(set);
        }
        // Started elsewhere than kvopt's folder: the relative name is still found.
        const ProgramResult r = run_program(argv, dir.str());
        EXPECT_EQ(r.exitCode, c.exitCode) << c.sets[0] << r.err;
        EXPECT_EQ(r.err, c.err) << c.sets[0];
        EXPECT_EQ(fs::exists(out), c.exitCode == 0) << c.sets[0];
        if (!c.line.empty()) {
            EXPECT_NE(read_file(out).find(c.line), std::string::npos) << c.sets[0];
        }
    }
}

TEST_F(KvoptTest, ExitStatusesAndMessages) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const std::string broken = dir.write("broken.opt", without_packet(read_file(demo), "/REGION/"));
    const std::string notOptions = dir.write("notes.txt", "just text\r\n");
    const Case cases[] = {
        {{"check", broken},
         1,
         "Cannot find the /REGION/ packet in the options file.\nThe options file is corrupted.\n"},
        {{"check", notOptions},
         1,
         "No packets found in the file: " + notOptions +
             "\nIt appears that this file is not a KELVARO options file.\n"},
        {{"check", dir.str() + "/Missing.opt"},
         1,
         "Cannot find options file: " + dir.str() + "/missing.opt\n"},
        {{"save", demo, dir.str() + "/x.opt", "--set", "periodindex=7"},
         2,
         "kvopt save: periodindex takes a whole number from 0 to 2\n"},
        {{"save", demo, dir.str() + "/x.opt", "--set", "nosuchitem=1"},
         2,
         "kvopt save: unknown scenario item: nosuchitem\n"},
        {{"save", demo, dir.str() + "/x.opt", "--set", "title1str=MY\r\nEDIT"},
         2,
         "kvopt save: title1str takes a single line, not \"MY\\r\\nEDIT\"\n"},
        {{"save", demo, dir.str() + "/x.opt", "--set", "runfiles.6=a.msg\n"},
         2,
         "kvopt save: runfiles.6 takes a single line, not \"a.msg\\n\"\n"},
        {{"save", demo, dir.str() + "/x.opt", "--set", "altitudestr=medium"},
         1,
         "kvopt save: altitudestr takes LOW or HIGH, not \"medium\"\n"},
        {{"save", demo, dir.str() + "/no/such/dir/x.opt"},
         1,
         "file error 76\nNo such file or directory\n"},
    };
    for (const auto& c : cases) {
        const ProgramResult r = kvopt(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1];
        EXPECT_EQ(r.err, c.err) << c.args[1];
    }
    EXPECT_EQ(run_program({kKvopt}).exitCode, 2);
    EXPECT_EQ(run_program({kKvopt, "show"}).exitCode, 2);
}

// Values of the Options and Period dialogs pass those dialogs' OK checks, Options first,
// and only when one of the dialog's values is set.
TEST_F(KvoptTest, SetValuesGoThroughTheDialogsChecks) {
    const std::string out = dir.str() + "/checked.opt";
    std::string text = read_file(demo);
    text.replace(text.find("Year of tech sel   : 2026"), 25, "Year of tech sel   : 1900");
    const std::string oldTech = dir.write("old-tech.opt", text);
    struct Case {
        std::string in;
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {demo,
         {"--set", "yearstr=1969"},
         1,
         "Episode year 1969 is outside allowed range 1970-2050.\n"},
        {demo,
         {"--set", "techyearstr=abc", "--set", "stage2str=150"},
         1,
         "Invalid 0 to 100\nTech year must be numeric and in the range 1970-2050.\n"},
        {demo,
         {"--set", "avgtempstr=100", "--set", "maxtempstr=80", "--set", "mintempstr=90"},
         1,
         "Maximum temperature must be at least the minimum temperature\n"
         "Average must be between Minimum and Maximum\n"},
        {demo, {"--set", "techyearstr=abc", "--no-check"}, 0, ""},
        {oldTech,
         {"--set", "weekindex=1"},
         1,
         "Tech year 1900 is outside allowed range 1970-2050.\n"},
        {oldTech, {"--set", "title1str=Options only", "--set", "regionlevel=2"}, 0, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"save", c.in, out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        fs::remove(out);
        const ProgramResult r = kvopt(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1];
        EXPECT_EQ(r.err, c.err) << c.args[1];
        EXPECT_EQ(fs::exists(out), c.exitCode == 0) << c.args[1];
    }
}

// A kvopt of its own (its history lies beside it) on a copy of the demo's model directory.
class KvoptRunTest : public KvoptTest {
protected:
    void SetUp() override {
        KvoptTest::SetUp();
        if (IsSkipped())
            return;
        fs::create_directories(dir.path() / "bin");
        kvoptCopy = dir.str() + "/bin/kvopt";
        fs::copy_file(kKvopt, kvoptCopy);
        model = dir.str() + "/model";
        fs::copy(kModel, model, fs::copy_options::recursive);
        fs::remove(model + "/kelvaro.bat"); // left by a run in the demo, if any
        const std::string script = dir.write("model/slow-model", "#!/bin/sh\nsleep 30 &\n"
                                                                 "echo $! > started\nwait\n");
        fs::permissions(script, fs::perms::owner_all, fs::perm_options::add);
    }
    ProgramResult history(const std::vector<std::string>& args = {}) const {
        std::vector<std::string> argv = {kvoptCopy, "history"};
        argv.insert(argv.end(), args.begin(), args.end());
        return run_program(argv);
    }
    std::string kvoptCopy, model;
};

TEST_F(KvoptRunTest, SigintSigtermAndSighupStopTheRunWhichIsRecorded) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        fs::remove(model + "/started");
        const Spawned kvopt = spawn_program(
            {kvoptCopy,
             {"--model-dir", model, "run", model + "/demo.opt", "--model-exe", "slow-model"},
             dir.str()},
            {});
        ASSERT_GT(kvopt.pid, 0);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fs::exists(model + "/started") && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(fs::exists(model + "/started"));
        ::kill(kvopt.pid, signal);
        const LaunchResult r = wait_for_child(kvopt.pid);
        EXPECT_FALSE(r.crashed) << "ended by the signal itself";
        EXPECT_EQ(r.exitCode, 128 + signal);
    }
    EXPECT_TRUE(fs::exists(model + "/kelvaro.bat"));

    const ProgramResult text = history();
    ASSERT_EQ(text.exitCode, 0) << text.err;
    const auto lines = text_lines(text.out);
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& line : lines) {
        EXPECT_NE(line.find("  " + model + "/demo.opt  "), std::string::npos) << line;
        EXPECT_TRUE(line.ends_with("  stopped")) << line;
    }

    // A value changed in the options file marks both runs.
    const ProgramResult save =
        run_program({kKvopt, "--model-dir", model, "save", model + "/demo.opt", model + "/demo.opt",
                     "--set", "title1str=Changed"});
    ASSERT_EQ(save.exitCode, 0) << save.err;
    const ProgramResult json = history({"--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto runs = nlohmann::json::parse(json.out);
    ASSERT_EQ(runs.size(), 3u);
    // Each run has an id of its own, the first column of the text listing.
    std::set<std::string> ids;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        ids.insert(runs[i]["id"].get<std::string>());
        EXPECT_TRUE(lines[i].starts_with(runs[i]["id"].get<std::string>() + "  ")) << lines[i];
    }
    EXPECT_EQ(ids.size(), 3u);
    for (const auto& run : runs) {
        EXPECT_EQ(run["outcome"], "stopped");
        EXPECT_EQ(run["signal"], 15); // kvopt stops the model with SIGTERM either way
        EXPECT_EQ(run["changed_since"], true);
        EXPECT_EQ(run["model"], model + "/slow-model");
        EXPECT_TRUE(run["batch"].is_null());
    }
    EXPECT_GE(runs[0]["start"].get<std::string>(), runs[1]["start"].get<std::string>());

    // --limit and --since choose among them; the text says when runs were left out.
    const ProgramResult newest = history({"--limit", "1"});
    EXPECT_EQ(text_lines(newest.out).size(), 1u);
    EXPECT_EQ(newest.err, "Only the newest 1 runs are shown: --limit 0 lists them all\n");
    EXPECT_EQ(nlohmann::json::parse(history({"--json", "--limit", "1"}).out),
              nlohmann::json::array({runs.at(0)}));
    EXPECT_EQ(history({"--since", "2000-01-01", "--limit", "0"}).out, history().out);
    EXPECT_EQ(history({"--json", "--since", "2200-01-01"}).out, "[]\n");
    EXPECT_EQ(history({"--limit", "-1"}).exitCode, 2);
    const ProgramResult bad = history({"--since", "last week"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, "kvopt history: --since last week: not a date (YYYY-MM-DD, "
                       "YYYY-MM-DDTHH:MM[:SS])\n");
}

// A model whose last line has no line end: kvopt's status lines still begin on their own
// line, and the console log holds the output as the model wrote it.
TEST_F(KvoptRunTest, TheStatusLinesBeginOnALineOfTheirOwn) {
    const std::string script = dir.write("model/unended-model", "#!/bin/sh\nprintf 'no end'\n");
    fs::permissions(script, fs::perms::owner_all, fs::perm_options::add);
    const ProgramResult run = run_program({kvoptCopy, "--model-dir", model, "run",
                                           model + "/demo.opt", "--model-exe", "unended-model"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("no end\n")) << run.out;
    const auto runs = nlohmann::json::parse(history({"--json"}).out);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(read_file(runs[0]["console_file"]["path"].get<std::string>()), "no end");
}

// Each run keeps its options file, named by its content: shown byte for byte, written out and
// compared after the file has changed, and pruned with its record.
TEST_F(KvoptRunTest, ARunKeepsItsOptionsFile) {
    const std::string file = model + "/demo.opt";
    const auto run = [&] {
        return run_program(
            {kvoptCopy, "--model-dir", model, "run", file, "--model-exe", "demo-model"});
    };
    ASSERT_EQ(run().exitCode, 0);
    const std::string first = read_file(file);
    ASSERT_EQ(run_program(
                  {kKvopt, "--model-dir", model, "save", file, file, "--set", "title1str=Changed"})
                  .exitCode,
              0);
    ASSERT_EQ(run().exitCode, 0);
    const std::string second = read_file(file);
    const fs::path kept = dir.path() / "bin/runs/options";
    EXPECT_EQ(std::distance(fs::directory_iterator(kept), {}), 2);

    const auto runs = nlohmann::json::parse(history({"--json"}).out);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1]["options_kept"],
              "runs/options/" + runs[1]["options_sha256"].get<std::string>() + ".opt");
    EXPECT_EQ(history({"show", "-2"}).out, first);
    EXPECT_EQ(history({"show", runs[0]["id"]}).out, second);
    const std::string out = dir.str() + "/restored ü.opt";
    EXPECT_EQ(history({"restore", "-2", out}).exitCode, 0);
    EXPECT_EQ(read_file(out), first);
    EXPECT_EQ(history({"restore", "-2", out}).exitCode, 1); // not over a file unless --force

    const auto diff = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {kvoptCopy, "--model-dir", model, "history", "diff"});
        return run_program(args);
    };
    const ProgramResult changed = diff({"-2"});
    EXPECT_EQ(changed.exitCode, 1) << changed.err;
    EXPECT_NE(changed.out.find("/OPTIONS/\n  title1str: DEMONSTRATION RUN: CALIFORNIA AND TEXAS "
                               "-> CHANGED\n"),
              std::string::npos)
        << changed.out;
    EXPECT_EQ(diff({"-2", out}).exitCode, 0);
    EXPECT_EQ(history({"show", "nosuchrun"}).err, "kvopt history show: no run nosuchrun in the "
                                                  "history\n");

    // A copy the window opened as a run goes with them.
    dir.write("bin/runs/opened/" + runs[1]["id"].get<std::string>() + "/demo.opt", first);
    const ProgramResult pruned = history({"prune", "--older-than", "0"});
    EXPECT_EQ(pruned.exitCode, 0) << pruned.err;
    EXPECT_EQ(pruned.out, "2 runs and 3 kept options files removed\n");
    EXPECT_EQ(history({"--json"}).out, "[]\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(kept), {}), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "bin/runs/opened"), {}), 0);
}

// kvopt batch on copies of the demo file whose outputs are named after them, run by a
// stand-in model that notes each start in "started" and on its standard output, fails for
// "fail" in the file's name and waits for a child that sleeps 30 s for "slow".
class KvoptBatchTest : public KvoptRunTest {
protected:
    void SetUp() override {
        KvoptRunTest::SetUp();
        if (IsSkipped())
            return;
        const std::string script =
            dir.write("model/stand-in", "#!/bin/sh\necho \"$1\" >> started\necho \"model on $1\"\n"
                                        "case \"$1\" in\n"
                                        "*slow*) sleep 30 & wait ;;\n*fail*) exit 3 ;;\n"
                                        "*nap*) sleep 0.3 ;;\nesac\n");
        fs::permissions(script, fs::perms::owner_all, fs::perm_options::add);
        demoText = read_file(model + "/demo.opt");
    }
    std::string runFile(const std::string& name) const {
        std::string text = demoText;
        const std::string stem = fs::path(name).stem().string();
        for (const std::string ext : {".msg", ".out"}) {
            // In the copy of the model directory, never in the demo's.
            const std::string from = kModel + "/outputs/demo" + ext;
            text.replace(text.find(from), from.size(), model + "/outputs/" + stem + ext);
        }
        return dir.write("runs/" + name, text);
    }
    ProgramResult batch(std::vector<std::string> args) const {
        args.insert(args.begin(), {kvoptCopy, "--model-dir", model, "--data-dir",
                                   KV_DEMO_DIR "/data", "batch", "--model-exe", "stand-in"});
        return run_program(args, dir.str());
    }
    std::string demoText;
};

TEST_F(KvoptBatchTest, AFolderRunsItsFilesAndSumsThemUp) {
    runFile("a.opt");
    runFile("B.OPT");
    runFile("fail.opt");
    dir.write("runs/notes.txt", "not an options file");

    const ProgramResult r = batch({"runs", "-j", "2"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const auto lines = text_lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_TRUE(lines[0].starts_with("File           Outcome  Exit status  Duration  "
                                     "Message file"))
        << lines[0];
    EXPECT_TRUE(lines[1].starts_with("runs/B.OPT     ok       0            ")) << lines[1];
    EXPECT_TRUE(lines[2].starts_with("runs/a.opt     ok       0            ")) << lines[2];
    EXPECT_TRUE(lines[3].starts_with("runs/fail.opt  failed   3            ")) << lines[3];
    EXPECT_TRUE(lines[3].ends_with("  model/outputs/fail.msg")) << lines[3];
    // Not a terminal: one line per finished run on standard error.
    EXPECT_NE(r.err.find("\nfailed  runs/fail.opt  exit status 3  "), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(model + "/kelvaro.bat"));

    fs::remove(dir.path() / "runs/fail.opt");
    const ProgramResult ok = batch({"runs/a.opt", dir.str() + "/runs"}); // a.opt once
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(text_lines(ok.out).size(), 3u) << ok.out;
}

TEST_F(KvoptBatchTest, JsonSummaryAndHistoryCarryTheBatchId) {
    const std::string a = runFile("a.opt");
    const std::string failing = runFile("fail.opt");
    const std::string refused = dir.write("runs/refused.opt", without_packet(demoText, "/REGION/"));
    const ProgramResult r = batch({"--json", a, failing, refused});
    EXPECT_EQ(r.exitCode, 1);
    // Every line of each message indented under the file.
    EXPECT_NE(r.err.find("Refused: runs/refused.opt\n"
                         "  Cannot find the /REGION/ packet in the options file.\n"
                         "  The options file is corrupted.\n"),
              std::string::npos)
        << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["counts"], nlohmann::json::parse(R"({"ok": 1, "failed": 1, "refused": 1,
        "stopped": 0, "not started": 0})"));
    ASSERT_EQ(json["runs"].size(), 3u);
    EXPECT_EQ(json["runs"][0]["file"], a);
    EXPECT_EQ(json["runs"][0]["message_file"], model + "/outputs/a.msg");
    EXPECT_EQ(json["runs"][1]["exit_status"], 3);
    EXPECT_EQ(json["runs"][2]["outcome"], "refused");

    const ProgramResult h = history({"--json"});
    const auto runs = nlohmann::json::parse(h.out);
    ASSERT_EQ(runs.size(), 2u) << h.out;
    for (const auto& run : runs)
        EXPECT_EQ(run["batch"], json["batch"]);

    // --strict runs nothing when a file is refused.
    fs::remove(model + "/started");
    EXPECT_EQ(batch({"--strict", a, refused}).exitCode, 1);
    EXPECT_FALSE(fs::exists(model + "/started"));
}

// More runs at once than the open-file limit allows: the soft limit is raised as far as the
// hard one allows, and -j is cut to what fits, with a word on standard error; no run fails.
TEST_F(KvoptBatchTest, RunsAtOnceFitTheOpenFileLimit) {
    std::string files;
    for (int i = 0; i < 40; ++i)
        files += " '" + runFile("nap" + std::to_string(i) + ".opt") + "'";
    const struct {
        const char* limit;
        bool cut;
    } cases[] = {{"ulimit -Sn 40", false}, {"ulimit -n 40", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        const ProgramResult r = run_program(
            {"/bin/sh", "-c",
             std::string(c.limit) + " && exec '" + kvoptCopy + "' --model-dir '" + model +
                 "' --data-dir '" KV_DEMO_DIR "/data' batch --model-exe stand-in -j 100" + files},
            dir.str());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err.find("Too many open files"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("kvopt batch: the limit of open files allows at most ") !=
                      std::string::npos,
                  c.cut)
            << r.err;
    }
}

TEST_F(KvoptBatchTest, SigintSigtermAndSighupStopTheBatch) {
    std::vector<std::string> args = {"--model-dir", model, "batch", "--model-exe",
                                     "stand-in",    "-j",  "2"};
    for (const char* name : {"slow1.opt", "slow2.opt", "slow3.opt"})
        args.push_back(runFile(name));
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        fs::remove(model + "/started");
        const Spawned kvopt = spawn_program({kvoptCopy, args, dir.str()}, {});
        ASSERT_GT(kvopt.pid, 0);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (text_lines(read_file(model + "/started")).size() < 2 &&
               std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ::kill(kvopt.pid, signal);
        const LaunchResult r = wait_for_child(kvopt.pid);
        EXPECT_FALSE(r.crashed) << "ended by the signal itself";
        EXPECT_EQ(r.exitCode, 128 + signal);
        EXPECT_EQ(text_lines(read_file(model + "/started")).size(), 2u);
    }
}

} // namespace
} // namespace kv::test
