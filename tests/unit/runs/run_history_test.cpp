#include "runs/kept_options.h"
#include "runs/model_run.h"
#include "runs/run_history.h"
#include "support/shell_fixture.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

class RunHistoryTest : public ShellTest {
protected:
    void SetUp() override {
        load();
        session->stateDir = dir.path() / "state";
        sc().msgdir = model + "/outputs";
        sc().msgfile = "TEST1.MSG";
        sc().outdir = model + "/outputs";
        sc().outfile = "TEST1.OUT";
        writeFile("model/model.sh", "");
    }
    std::vector<json> lines() const {
        std::vector<json> out;
        for (const auto& line : text_lines(read_file(run_history_file(*session))))
            out.push_back(json::parse(line));
        return out;
    }
};

TEST_F(RunHistoryTest, ARunAppendsALineWithEveryField) {
    writeFile("model/outputs/TEST1.OUT", "12345");
    launcher.result = {true, 3, false, {}};
    ASSERT_EQ(run_model(*session).outcome, RunOutcome::Finished);
    const auto all = lines();
    ASSERT_EQ(all.size(), 1u);
    const json& j = all[0];
    const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");
    EXPECT_TRUE(std::regex_match(j["start"].get<std::string>(), iso)) << j["start"];
    EXPECT_TRUE(std::regex_match(j["end"].get<std::string>(), iso)) << j["end"];
    EXPECT_TRUE(j["duration_s"].is_number());
    EXPECT_GE(j["duration_s"].get<double>(), 0.0);
    EXPECT_EQ(j["options_file"], model + "/test1.opt");
    // The hash of the file as run: saved first, so it matches the file now.
    EXPECT_EQ(j["options_sha256"], sha256_hex(read_file(model + "/test1.opt")));
    EXPECT_EQ(j["model"], model + "/model.sh");
    EXPECT_EQ(j["outcome"], "failed");
    EXPECT_EQ(j["exit_status"], 3);
    EXPECT_TRUE(j["signal"].is_null());
    EXPECT_EQ(j["message_file"], (json{{"path", model + "/outputs/TEST1.MSG"}, {"size", nullptr}}));
    EXPECT_EQ(j["output_file"], (json{{"path", model + "/outputs/TEST1.OUT"}, {"size", 5}}));
    EXPECT_TRUE(j["batch"].is_null());
    // The model's output goes to runs/<id>.log in the state folder (the fake model wrote none).
    const std::string console =
        (session->stateDir / "runs" / (j["id"].get<std::string>() + ".log")).string();
    EXPECT_EQ(j["console_file"], (json{{"path", console}, {"size", nullptr}}));
    ASSERT_EQ(launcher.waited.size(), 1u);
    EXPECT_EQ(launcher.waited[0].consoleFile, console);
    EXPECT_EQ(parse_history_line(j.dump())->consoleFile.path, console);
    for (const char* key :
         {"start", "end", "duration_s", "options_file", "options_sha256", "model", "outcome",
          "exit_status", "signal", "message_file", "output_file", "batch", "console_file"})
        EXPECT_TRUE(j.contains(key)) << key;
}

TEST_F(RunHistoryTest, OutcomeFollowsHowTheModelEnded) {
    struct Case {
        LaunchResult launch;
        const char* outcome;
        json exitStatus;
        json signal;
    };
    LaunchResult stopped{true, 143, true, {}, 15, true};
    const Case cases[] = {
        {{true, 0, false, {}}, "ok", 0, nullptr},
        {{true, 4, false, {}}, "failed", 4, nullptr},
        {{true, 137, true, {}, 9}, "failed", nullptr, 9},
        {stopped, "stopped", nullptr, 15},
        {{true, 0, false, {}, 0, true}, "stopped", 0, nullptr}, // a model that traps SIGTERM
        {{false, 0, false, "No such file"}, "not started", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        RunFacts facts;
        facts.start = std::chrono::system_clock::now();
        facts.end = facts.start + std::chrono::milliseconds(2500);
        facts.optionsFile = "/x.opt";
        const json j = json::parse(history_line(run_record(facts, c.launch)));
        EXPECT_EQ(j["outcome"], c.outcome);
        EXPECT_EQ(j["exit_status"], c.exitStatus) << c.outcome;
        EXPECT_EQ(j["signal"], c.signal) << c.outcome;
        EXPECT_DOUBLE_EQ(j["duration_s"].get<double>(), 2.5);
    }
}

TEST_F(RunHistoryTest, RunsThatStartNothingAreRecordedAsNotStarted) {
    launcher.result = {false, 0, false, "No such file or directory"};
    session->settings.modelexe = "missing";
    run_model(*session);
    sc().optfile = "gone.opt"; // the save fails
    run_model(*session);
    const auto all = lines();
    ASSERT_EQ(all.size(), 2u);
    for (const auto& j : all) {
        EXPECT_EQ(j["outcome"], "not started");
        EXPECT_TRUE(j["exit_status"].is_null());
    }
    EXPECT_EQ(all[1]["options_file"], model + "/gone.opt");
    EXPECT_EQ(all[1]["options_sha256"], "");
}

TEST_F(RunHistoryTest, AStoppedRunIsLoggedAndTheStatusRefreshed) {
    launcher.result = {true, 143, true, {}, 15, true};
    ASSERT_EQ(run_model(*session).outcome, RunOutcome::Finished);
    EXPECT_EQ(logLines().back(), "Run stopped by user");
    EXPECT_EQ(ui.statuses.size(), 1u);
    EXPECT_TRUE(fs::exists(model + "/kelvaro.bat"));
    EXPECT_EQ(lines().at(0)["outcome"], "stopped");
    EXPECT_FALSE(stop_model_run(*session)); // nothing runs now
}

TEST_F(RunHistoryTest, ChangedSinceComparesTheContentNotTheSaveTime) {
    const std::string header = "Written by Kelvaro interface at 1/2/2026 10:00:00 AM\r\n";
    const std::string body = "/OPTIONS/\r\nTitle 1 : A\r\n/END/\r\n";
    const std::string path = writeFile("runs/a.opt", header + body);
    RunRecord r;
    r.optionsFile = path;
    r.options = *fingerprint_options_file(path);
    struct Case {
        const char* what;
        std::optional<std::string> content; // nullopt: the file is removed
        bool changed;
    };
    const Case cases[] = {
        {"unchanged", header + body, false},
        {"saved again without a change",
         "Written by Kelvaro interface at 1/3/2026 9:15:00 PM\r\n" + body, false},
        {"a value changed", header + "/OPTIONS/\r\nTitle 1 : B\r\n/END/\r\n", true},
        {"the header removed by hand", body, false},
        {"gone", std::nullopt, true},
    };
    for (const auto& c : cases) {
        if (c.content)
            writeFile("runs/a.opt", *c.content);
        else
            fs::remove(path);
        EXPECT_EQ(options_changed_since(r), c.changed) << c.what;
    }
    // A line without the second hash compares the whole file.
    writeFile("runs/a.opt", "Written by Kelvaro interface at 1/4/2026 9:15:00 PM\r\n" + body);
    r.options.sha256NoHeader.clear();
    EXPECT_TRUE(options_changed_since(r));
}

// A history line edited by hand cannot make show, restore or prune reach another file.
TEST(KeptOptions, OnlyANameThisProgramMakesLeadsToACopy) {
    const std::string hash(64, 'a');
    struct Case {
        std::string kept;
        bool leads;
    };
    const Case cases[] = {
        {"runs/options/" + hash + ".opt", true},
        {"", false},
        {"runs/options/../../" + hash.substr(6) + ".opt", false},
        {"runs/options/" + std::string(64, 'A') + ".opt", false},
        {"/etc/" + hash + ".opt", false},
        {"runs/options/" + hash + ".txt", false},
    };
    for (const Case& c : cases) {
        RunRecord r;
        r.optionsKept = c.kept;
        EXPECT_EQ(kept_options_path("/state", r),
                  c.leads ? fs::path("/state/runs/options/" + hash + ".opt") : fs::path())
            << c.kept;
    }
}

TEST_F(RunHistoryTest, DamagedLinesAreSkippedAndRunsListedNewestFirst) {
    const auto file = dir.path() / "runs.jsonl";
    const std::string good1 = R"({"start":"2026-03-01T10:00:00+01:00","options_file":"/a.opt",)"
                              R"("outcome":"ok","duration_s":4.25})";
    const std::string good2 = R"({"start":"2026-03-01T09:30:00Z","options_file":"/b.opt",)"
                              R"("outcome":"failed","exit_status":3,"duration_s":75})";
    const std::string good3 = R"({"start":"2026-03-01T08:59:59-01:00","options_file":"/c.opt",)"
                              R"("outcome":"stopped","signal":15,"duration_s":3725})";
    writeFile("runs.jsonl",
              good1 + "\n" + "not json\n" + "[1,2]\n" +
                  R"({"start":"yesterday","options_file":"/d.opt","outcome":"ok"})" + "\n" +
                  R"({"start":"2026-03-01T10:00:00Z","outcome":"ok"})" + "\n" +
                  R"({"start":"2026-03-01T10:00:00Z","options_file":"/e.opt","outcome":"fine"})" +
                  "\n\n" + good2 + "\r\n" + good3 + "\n" + R"({"start":"2026-03-01T11)");
    const auto entries = read_run_history(file);
    ASSERT_EQ(entries.size(), 3u);
    // 09:59:59Z, 09:30:00Z, 09:00:00Z
    EXPECT_EQ(entries[0].record.optionsFile, "/c.opt");
    EXPECT_EQ(entries[1].record.optionsFile, "/b.opt");
    EXPECT_EQ(entries[2].record.optionsFile, "/a.opt");
    EXPECT_EQ(entries[2].line, good1);
    const HistoryRow rows[] = {history_row(entries[0].record), history_row(entries[1].record),
                               history_row(entries[2].record)};
    // A line without an id gets one from its hash, the same at every reading.
    EXPECT_EQ(rows[0].id.size(), 10u);
    EXPECT_EQ(rows[0].id, history_row(read_run_history(file)[0].record).id);
    EXPECT_NE(rows[0].id, rows[1].id);
    EXPECT_EQ(
        history_row_text(rows[0]),
        rows[0].id +
            "  2026-03-01 08:59:59  /c.opt  1:02:05  stopped  options changed since this run");
    EXPECT_EQ(
        history_row_text(rows[1]),
        rows[1].id +
            "  2026-03-01 09:30:00  /b.opt  1:15  failed (exit status 3)  options changed since "
            "this run");
    EXPECT_EQ(rows[2].duration, "4.2 s");
    EXPECT_TRUE(read_run_history(dir.path() / "none.jsonl").empty());

    // The line cut short above does not swallow the next one.
    RunRecord r;
    r.start = "2026-03-02T08:00:00+00:00";
    r.optionsFile = "/f.opt";
    r.outcome = HistoryOutcome::Ok;
    EXPECT_EQ(append_run_record(file, r), "");
    EXPECT_EQ(read_run_history(file).at(0).record.optionsFile, "/f.opt");
}

TEST_F(RunHistoryTest, NamesComeBackAsRecordedAndPrintEscaped) {
    // A Latin-1 name is no UTF-8: its bytes are kept beside the readable text.
    const std::string latin1 = writeFile("runs/caf\xE9.opt", complete_options_file());
    const std::string message = writeFile("runs/caf\xE9.msg", "done");
    const std::string broken = writeFile("runs/two\nlines\x1b[2J.opt", complete_options_file());
    const auto file = dir.path() / "runs.jsonl";
    for (const std::string& path : {latin1, broken}) {
        RunFacts facts;
        facts.start = std::chrono::system_clock::now();
        facts.end = facts.start;
        facts.optionsFile = path;
        facts.options = fingerprint_options_file(path);
        facts.messageFile = message;
        ASSERT_EQ(append_run_record(file, run_record(facts, {true, 0, false, {}})), "");
    }
    const json first = json::parse(text_lines(read_file(file)).at(0));
    EXPECT_EQ(first["options_file_bytes"], dir.str() + "/runs/caf%E9.opt");
    EXPECT_EQ(first["message_file"]["path_bytes"], dir.str() + "/runs/caf%E9.msg");
    EXPECT_FALSE(first.contains("model_bytes"));

    const auto entries = read_run_history(file);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].record.optionsFile, latin1);
    EXPECT_EQ(entries[1].record.messageFile.path, message);
    EXPECT_FALSE(options_changed_since(entries[1].record));
    const std::string rows[] = {history_row_text(history_row(entries[0].record)),
                                history_row_text(history_row(entries[1].record))};
    EXPECT_NE(rows[0].find(dir.str() + "/runs/two\\nlines\\x1b[2J.opt  0.0 s  ok"),
              std::string::npos)
        << rows[0];
    EXPECT_NE(rows[1].find(dir.str() + "/runs/caf\\xe9.opt  0.0 s  ok"), std::string::npos)
        << rows[1];
}

TEST_F(RunHistoryTest, ASelectionHoldsTheNewestRunsSinceADate) {
    std::string text;
    for (int day = 1; day <= 5; ++day)
        text += R"({"start":"2026-03-0)" + std::to_string(day) +
                R"(T10:00:00Z","options_file":"/)" + std::to_string(day) +
                R"(.opt","outcome":"ok"})" + "\n";
    // Damaged lines, one of them among the newest, and a foreign key order.
    text += R"({"start":"2026-03-06T10:00:00Z","options_file":"/6.opt","outc)"
            "\n";
    text += R"({"outcome":"ok","options_file":"/0.opt","start":"2026-02-28T10:00:00Z"})"
            "\n";
    const auto file = writeFile("runs.jsonl", text);
    struct Case {
        std::optional<std::size_t> limit;
        const char* since;
        std::vector<std::string> files;
        bool cut;
    };
    const Case cases[] = {
        {std::nullopt,
         nullptr,
         {"/5.opt", "/4.opt", "/3.opt", "/2.opt", "/1.opt", "/0.opt"},
         false},
        {2, nullptr, {"/5.opt", "/4.opt"}, true},
        {6, nullptr, {"/5.opt", "/4.opt", "/3.opt", "/2.opt", "/1.opt", "/0.opt"}, false},
        {std::nullopt, "2026-03-04T10:00:00Z", {"/5.opt", "/4.opt"}, false},
        {1, "2026-03-02T00:00:00Z", {"/5.opt"}, true},
    };
    for (const auto& c : cases) {
        HistorySelection selection{c.limit, {}};
        if (c.since)
            selection.since = parse_iso8601(c.since);
        std::vector<std::string> files;
        const bool cut = visit_run_history(
            file, selection, [&](HistoryEntry&& e) { files.push_back(e.record.optionsFile); });
        EXPECT_EQ(files, c.files) << (c.since ? c.since : "") << " " << c.limit.value_or(0);
        EXPECT_EQ(cut, c.cut) << (c.since ? c.since : "") << " " << c.limit.value_or(0);
    }
}

TEST_F(RunHistoryTest, TwoProcessesAppendingAtOnceLoseNoLine) {
    const auto file = session->stateDir / "runs.jsonl";
    RunRecord r;
    r.start = "2026-03-02T08:00:00+00:00";
    r.optionsFile = "/" + std::string(3000, 'x') + ".opt"; // long lines: one write each
    r.outcome = HistoryOutcome::Ok;
    constexpr int kPerProcess = 300;
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < kPerProcess; ++i) {
                if (!append_run_record(file, r).empty())
                    ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // Every line whole (an empty line may come between two: each writer may have seen the
    // other's line half written when it looked at the last byte).
    auto lines = text_lines(read_file(file));
    std::erase(lines, "");
    EXPECT_EQ(lines.size(), std::size_t(2 * kPerProcess));
    EXPECT_EQ(read_run_history(file).size(), std::size_t(2 * kPerProcess));
}

TEST(RunHistoryHelpers, Sha256AndTimes) {
    EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    EXPECT_EQ(parse_iso8601(iso8601_local(now)), now);
    EXPECT_EQ(parse_iso8601("2026-01-01T05:30:00+05:30"), parse_iso8601("2026-01-01T00:00:00Z"));
    EXPECT_EQ(parse_iso8601("2026-01-01T00:00:00.250Z"), parse_iso8601("2026-01-01T00:00:00Z"));
    for (const char* bad :
         {"", "2026-01-01", "2026-02-30T00:00:00Z", "2026-01-01T00:00:00",
          "2026-01-01T00:00:00+0100", "2026-01-01T00:00:00Z junk", "2999-01-01T00:00:00Z"})
        EXPECT_FALSE(parse_iso8601(bad)) << bad;
}

TEST(RunHistoryHelpers, SinceTakesADateOrALocalTime) {
    const auto local = [](const char* text) {
        const auto t = parse_history_date(text);
        return t ? iso8601_local(*t).substr(0, 19) : std::string("none");
    };
    EXPECT_EQ(local("2026-03-01"), "2026-03-01T00:00:00");
    EXPECT_EQ(local("2026-03-01 20:05"), "2026-03-01T20:05:00");
    EXPECT_EQ(local("2026-03-01T20:05:09"), "2026-03-01T20:05:09");
    EXPECT_EQ(parse_history_date("2026-03-01T20:05:09+02:00"),
              parse_iso8601("2026-03-01T18:05:09Z"));
    for (const char* bad : {"", "yesterday", "2026-3-1", "2026-02-30", "2026-03-01T25:00",
                            "2026-03-01x20:05", "2026-03-01 20:05 junk"})
        EXPECT_EQ(local(bad), "none") << bad;
}

} // namespace
} // namespace kv::test
