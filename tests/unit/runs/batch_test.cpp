#include "runs/batch.h"
#include "runs/end_notice.h"
#include "runs/local_batch.h"
#include "runs/process_group.h"
#include "runs/run_history.h"
#include "runs/stop_request.h"
#include "support/shell_fixture.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

// The test options file with its MESSAGE and OUTPUT DATA files renamed.
std::string options_writing(const std::string& msg, const std::string& out) {
    std::string text = complete_options_file();
    for (const auto& [from, to] : {std::pair{std::string("/model/outputs/test1.msg"), msg},
                                   std::pair{std::string("/model/outputs/test1.out"), out}})
        text.replace(text.find(from), from.size(), to);
    return text;
}

// A stand-in model in the model directory: notes its start and end (nanoseconds), its
// argument, its directory and its pid in "times", and prints its argument on standard output
// and error; "fail" in the file's name ends it with
// status 3, "slow" makes it wait for a child that sleeps 30 s.
constexpr const char* kStandIn = R"(echo "start $(date +%s%N) $1 $(pwd) $$" >> times
echo "out $1"; echo "err $1" >&2
case "$1" in
*slow*) sleep 30 & wait ;;
*) sleep 0.2 ;;
esac
echo "end $(date +%s%N) $1" >> times
case "$1" in *fail*) exit 3 ;; esac
exit 0)";

class BatchTest : public ShellTest {
protected:
    BatchTest() {
        script("stand-in", kStandIn);
        session->settings.modelexe = "stand-in";
    }
    // An options file in runs/ whose outputs are named after it.
    std::string file(const std::string& name) {
        const std::string stem = fs::path(name).stem().string();
        return writeFile("runs/" + name, options_writing("/model/outputs/" + stem + ".msg",
                                                         "/model/outputs/" + stem + ".out"));
    }
    // The messages `kvopt check` shows for the file: those of reading it on a session.
    std::vector<std::string> checkMessages(const std::string& path) {
        ui.messages.clear();
        sc().optdir = fs::path(path).parent_path().string();
        sc().optfile = fs::path(path).filename().string();
        sc().prevoptdir = sc().optdir;
        sc().prevoptfile = sc().optfile;
        read_options(*session);
        fs::current_path(startDir);
        return ui.messageTexts();
    }
    std::vector<std::string> times() const { return text_lines(read_file(model + "/times")); }
    std::vector<RunRecord> history() const {
        std::vector<RunRecord> records;
        for (const auto& entry : read_run_history(dir.path() / "runs.jsonl"))
            records.push_back(entry.record);
        return records;
    }
    static std::vector<BatchOutcome> outcomes(const std::vector<BatchRun>& runs) {
        std::vector<BatchOutcome> list;
        for (const BatchRun& run : runs)
            list.push_back(run.state == BatchRunState::Finished ? run.outcome
                                                                : BatchOutcome::NotStarted);
        return list;
    }
};

TEST_F(BatchTest, PreflightLeavesOutRefusedFilesAndRefusesClashingOutputs) {
    const std::string a = file("a.opt");
    const std::string b = file("b.opt");
    const std::string bad =
        writeFile("runs/bad.opt", without_packet(complete_options_file(), "/RUNFILES/"));
    const std::string sameMessage =
        writeFile("runs/same.opt", options_writing("/model/outputs/a.msg", "/model/x.out"));
    const std::string outputIsMessage =
        writeFile("runs/cross.opt", options_writing("/model/y.msg", "/model/outputs/a.msg"));
    const std::vector<std::string> badMessages = checkMessages(bad);
    ASSERT_FALSE(badMessages.empty());
    const std::string before = read_file(a);

    using O = BatchOutcome;
    const O wait = O::NotStarted; // a file that may run is not finished yet
    struct Case {
        std::vector<std::string> files;
        bool strict;
        std::vector<O> outcomes;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        {{a, bad, b}, false, {wait, O::Refused, wait}, {}},
        {{a, bad, b},
         true,
         {O::NotStarted, O::Refused, O::NotStarted},
         {strict_refusal_message(bad)}},
        {{a, sameMessage, b},
         false,
         {O::Refused, O::Refused, O::NotStarted},
         {output_clash_message(a, sameMessage, "/model/outputs/a.msg", "MESSAGE")}},
        {{a, outputIsMessage},
         false,
         {O::Refused, O::Refused},
         {output_clash_message(a, outputIsMessage, "/model/outputs/a.msg", "OUTPUT DATA")}},
        {{a, b, a, dir.str() + "/runs/../runs/b.opt"}, false, {wait, wait}, {}}, // once each
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.files));
        const BatchPreflight p = preflight_batch(batch_context(*session), c.files, c.strict);
        EXPECT_EQ(p.errors, c.errors);
        EXPECT_EQ(outcomes(p.runs()), c.outcomes);
        for (const BatchFile& f : p.files) {
            if (f.run.optionsFile == bad) {
                EXPECT_EQ(f.run.messages, badMessages);
            }
            if (f.run.state == BatchRunState::Waiting) {
                EXPECT_EQ(f.run.messageFile,
                          "/model/outputs/" + fs::path(f.run.optionsFile).stem().string() + ".msg");
            }
        }
        if (c.errors.size() == 1 && c.errors[0].find("both write") != std::string::npos) {
            EXPECT_EQ(p.files[0].run.messages, c.errors);
        }
    }
    EXPECT_EQ(read_file(a), before) << "the pre-flight writes nothing";
    EXPECT_EQ(cwd(), startDir.string());
    EXPECT_FALSE(fs::exists(model + "/times"));
}

// Outputs are compared where they lead: the same name in another case, a folder reached
// through a link, an options file of the batch; a name through a link and ".." is not
// folded into the folder the link lies in.
TEST_F(BatchTest, OutputsAreComparedWhereTheyLead) {
    const std::string d = dir.str();
    fs::create_directories(d + "/out");
    fs::create_directories(d + "/deep/sub");
    fs::create_directory_symlink(d + "/out", d + "/same");
    fs::create_directory_symlink(d + "/deep/sub", d + "/link");
    const auto writing = [&](const std::string& name, const std::string& msg) {
        return writeFile("runs/" + name, options_writing(msg, d + "/out/" + name + ".out"));
    };
    const std::string lower = writing("lower.opt", d + "/out/res.msg");
    const std::string upper = writing("upper.opt", d + "/OUT/RES.MSG");
    const std::string linked = writing("linked.opt", d + "/same/res.msg");
    const std::string up = writing("up.opt", d + "/link/../x.msg");
    const std::string plain = writing("plain.opt", d + "/x.msg");
    const std::string target = writing("target.opt", d + "/out/t.msg");
    const std::string clobber = writing("clobber.opt", target);
    const struct {
        std::vector<std::string> files;
        std::vector<std::string> errors;
    } cases[] = {
        {{lower, upper}, {output_clash_message(lower, upper, d + "/OUT/RES.MSG", "MESSAGE")}},
        {{lower, linked}, {output_clash_message(lower, linked, d + "/same/res.msg", "MESSAGE")}},
        {{up, plain}, {}},
        {{target, clobber}, {options_clash_message(clobber, target, "MESSAGE")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.files));
        const BatchPreflight p = preflight_batch(batch_context(*session), c.files, false);
        EXPECT_EQ(p.errors, c.errors);
        EXPECT_EQ(p.runnable(), c.errors.empty() ? c.files.size() : 0u);
    }
}

// A file edited while the batch waited is read and checked again before its run: the edit
// is run and kept, never saved over with the pre-flight's reading; a new reading that is
// refused, or whose outputs clash with another file's, fails the file.
TEST_F(BatchTest, AFileChangedWhileItWaitedIsReadAgain) {
    const std::string a = file("a.opt");
    const std::string refusedText = without_packet(complete_options_file(), "/REGION/");
    const std::string refusedPath = writeFile("runs/refused.opt", refusedText);
    std::vector<std::string> refusal = checkMessages(refusedPath);
    refusal.insert(refusal.begin(), std::string(kChangedSinceCheck));
    const struct {
        std::string edit;
        BatchOutcome outcome;
        std::vector<std::string> messages;
    } cases[] = {
        {options_writing("/model/outputs/b2.msg", "/model/outputs/b2.out"), BatchOutcome::Ok, {}},
        {refusedText, BatchOutcome::Failed, refusal},
        {options_writing("/model/outputs/a.msg", "/model/outputs/b.out"),
         BatchOutcome::Failed,
         {std::string(kChangedSinceCheck),
          a + " and " + dir.str() + "/runs/b.opt both write /model/outputs/a.msg (MESSAGE)"}},
    };
    for (const auto& c : cases) {
        const std::string b = file("b.opt");
        LocalBatch batch(batch_context(*session),
                         preflight_batch(batch_context(*session), {a, b}, false), {1, {}});
        writeFile("runs/b.opt", c.edit);
        batch.run();
        const BatchRun& run = batch.runs()[1];
        EXPECT_EQ(run.outcome, c.outcome);
        EXPECT_EQ(run.messages, c.messages);
        if (c.outcome == BatchOutcome::Ok) {
            EXPECT_EQ(run.messageFile, "/model/outputs/b2.msg");
            EXPECT_NE(read_file(b).find("/model/outputs/b2.msg"), std::string::npos);
        } else {
            EXPECT_EQ(read_file(b), c.edit) << "the edited file is left as it is";
        }
    }
}

TEST_F(BatchTest, RunsAtMostNAtATimeEachSavedInPlaceAndRecordedWithTheBatchId) {
    std::vector<std::string> files;
    for (const char* name : {"r1.opt", "r2.opt", "r3.opt", "r4.opt", "r5.opt"})
        files.push_back(file(name));
    LocalBatch batch(batch_context(*session),
                     preflight_batch(batch_context(*session), files, false), {2, "test-batch"});
    std::vector<std::pair<std::size_t, BatchRunState>> changes;
    batch.onRunChanged = [&](std::size_t i) { changes.emplace_back(i, batch.runs()[i].state); };
    batch.run();

    EXPECT_EQ(outcomes(batch.runs()), std::vector<BatchOutcome>(5, BatchOutcome::Ok));
    EXPECT_EQ(changes.size(), 10u); // each run started and finished
    EXPECT_EQ(batch_exit_status(batch.runs(), 0), 0);
    // At most two at a time, and two did run together.
    std::vector<std::pair<long long, int>> events;
    std::map<std::string, std::string> startLine;
    for (const std::string& line : times()) {
        std::istringstream in(line);
        std::string what, file;
        long long t = 0;
        in >> what >> t >> file;
        events.emplace_back(t, what == "start" ? 1 : -1);
        if (what == "start")
            startLine[file] = line;
    }
    std::sort(events.begin(), events.end());
    int overlap = 0, most = 0;
    for (const auto& e : events)
        most = std::max(most, overlap += e.second);
    EXPECT_EQ(most, 2);
    ASSERT_EQ(startLine.size(), 5u);
    for (const std::string& f : files) {
        // Started from the model directory with the file's full path as its argument.
        EXPECT_NE(startLine[f].find(" " + f + " " + model + " "), std::string::npos);
        EXPECT_TRUE(read_file(f).starts_with("Written by Kelvaro interface at ")) << f;
    }
    EXPECT_FALSE(fs::exists(model + "/kelvaro.bat"));

    const auto records = history();
    ASSERT_EQ(records.size(), 5u);
    for (const RunRecord& r : records) {
        EXPECT_EQ(r.batch, std::optional<std::string>("test-batch"));
        EXPECT_EQ(r.outcome, HistoryOutcome::Ok);
        EXPECT_EQ(r.model, model + "/stand-in");
        EXPECT_NE(std::find(files.begin(), files.end(), r.optionsFile), files.end());
        // Each model's output in its own console log, named in the history and the batch.
        EXPECT_EQ(r.consoleFile.path, (dir.path() / "runs" / (r.id + ".log")).string());
        EXPECT_EQ(read_file(r.consoleFile.path),
                  "out " + r.optionsFile + "\nerr " + r.optionsFile + "\n");
        EXPECT_EQ(std::count_if(batch.runs().begin(), batch.runs().end(),
                                [&](const BatchRun& run) {
                                    return run.consoleFile == r.consoleFile.path &&
                                           run.optionsFile == r.optionsFile;
                                }),
                  1);
    }
}

TEST_F(BatchTest, FailuresAreRecordedWithTheirStatuses) {
    const std::vector<std::string> files = {file("good.opt"), file("fail.opt")};
    {
        LocalBatch batch(batch_context(*session),
                         preflight_batch(batch_context(*session), files, false), {4, {}});
        batch.run();
        const auto& runs = batch.runs();
        EXPECT_EQ(outcomes(runs), (std::vector{BatchOutcome::Ok, BatchOutcome::Failed}));
        EXPECT_EQ(runs[0].exitStatus, std::optional(0));
        EXPECT_EQ(runs[1].exitStatus, std::optional(3));
        EXPECT_GE(runs[1].durationSeconds, 0.2);
        EXPECT_EQ(batch_exit_status(runs, 0), 1);
    }
    // A model that cannot be started fails every run, recorded as not started.
    session->settings.modelexe = "missing-model";
    LocalBatch batch(batch_context(*session),
                     preflight_batch(batch_context(*session), files, false), {1, {}});
    batch.run();
    for (const BatchRun& run : batch.runs()) {
        EXPECT_EQ(run.outcome, BatchOutcome::Failed);
        EXPECT_FALSE(run.exitStatus);
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_TRUE(run.messages[0].starts_with("Cannot start the core model " + model +
                                                "/missing-model: "))
            << run.messages[0];
    }
    const auto records = history();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].outcome, HistoryOutcome::NotStarted);
    EXPECT_EQ(records[0].batch, batch.id());
}

TEST_F(BatchTest, StopEndsEveryRunningModelAndStartsNoMore) {
    std::vector<std::string> files;
    for (const char* name : {"slow1.opt", "slow2.opt", "slow3.opt", "slow4.opt"})
        files.push_back(file(name));
    LocalBatch batch(batch_context(*session),
                     preflight_batch(batch_context(*session), files, false), {2, {}});
    batch.advance();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (times().size() < 2 && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(times().size(), 2u);
    batch.stop(SIGTERM);
    batch.run();

    const auto& runs = batch.runs();
    EXPECT_EQ(outcomes(runs), (std::vector{BatchOutcome::Stopped, BatchOutcome::Stopped,
                                           BatchOutcome::NotStarted, BatchOutcome::NotStarted}));
    EXPECT_EQ(runs[0].signal, std::optional(SIGTERM));
    EXPECT_EQ(batch_exit_status(runs, batch.stopSignal()), 143);
    const auto lines = times();
    EXPECT_EQ(lines.size(), 2u) << "nothing started after the stop";
    for (const std::string& line : lines) {
        const int pid = std::stoi(line.substr(line.rfind(' ') + 1));
        EXPECT_FALSE(process_group_alive(pid)) << line;
    }
    const auto records = history();
    ASSERT_EQ(records.size(), 2u);
    for (const RunRecord& r : records)
        EXPECT_EQ(r.outcome, HistoryOutcome::Stopped);

    // A stop asked for before the batch starts starts nothing and saves nothing.
    const std::string before = read_file(files[0]);
    LocalBatch unstarted(batch_context(*session),
                         preflight_batch(batch_context(*session), files, false), {2, {}});
    StopRequest early;
    early.request(SIGINT);
    unstarted.run(&early);
    EXPECT_EQ(outcomes(unstarted.runs()), std::vector<BatchOutcome>(4, BatchOutcome::NotStarted));
    EXPECT_EQ(batch_exit_status(unstarted.runs(), unstarted.stopSignal()), 130);
    EXPECT_EQ(read_file(files[0]), before);
    EXPECT_EQ(times().size(), 2u);
}

TEST(BatchSummary, TableJsonProgressAndExitStatus) {
    const auto finished = [](std::string file, BatchOutcome outcome, std::optional<int> status,
                             std::optional<int> signal, double duration, std::string msg) {
        BatchRun run;
        run.optionsFile = std::move(file);
        run.state = BatchRunState::Finished;
        run.outcome = outcome;
        run.exitStatus = status;
        run.signal = signal;
        run.durationSeconds = duration;
        run.messageFile = std::move(msg);
        return run;
    };
    const BatchRun ok =
        finished("/runs/a.opt", BatchOutcome::Ok, 0, {}, 0.51, "/runs/outputs/a.msg");
    const BatchRun failed =
        finished("/runs/b.opt", BatchOutcome::Failed, 3, {}, 1.25, "/runs/outputs/b.msg");
    const BatchRun killed = finished("/runs/c.opt", BatchOutcome::Failed, {}, 9, 2, "/else/c.msg");
    BatchRun refused = finished("/runs/d.opt", BatchOutcome::Refused, {}, {}, 0, "");
    refused.messages = {"Packet missing"};
    BatchRun running;
    running.optionsFile = "/runs/e.opt";
    running.state = BatchRunState::Running;
    running.messageFile = "/runs/outputs/e.msg";
    const std::vector<BatchRun> runs = {ok, failed, killed, refused, running};

    EXPECT_EQ(batch_summary_table(runs, "/runs"),
              "File   Outcome  Exit status  Duration  Message file\n"
              "a.opt  ok       0            0.5 s     outputs/a.msg\n"
              "b.opt  failed   3            1.2 s     outputs/b.msg\n"
              "c.opt  failed   signal 9     2.0 s     /else/c.msg\n"
              "d.opt  refused  -            -         -\n"
              "e.opt  running  -            -         outputs/e.msg\n");
    const auto json = nlohmann::json::parse(batch_summary_json("id-1", runs));
    EXPECT_EQ(json["batch"], "id-1");
    EXPECT_EQ(json["counts"], nlohmann::json::parse(R"({"ok": 1, "failed": 2, "refused": 1,
        "stopped": 0, "not started": 0})"));
    ASSERT_EQ(json["runs"].size(), 5u);
    EXPECT_EQ(json["runs"][1], nlohmann::json::parse(R"({"file": "/runs/b.opt",
        "outcome": "failed", "exit_status": 3, "signal": null, "duration_s": 1.25,
        "message_file": "/runs/outputs/b.msg", "console_file": null})"));
    EXPECT_EQ(json["runs"][3]["message_file"], nullptr);
    EXPECT_EQ(json["runs"][3]["messages"], nlohmann::json::parse(R"(["Packet missing"])"));
    EXPECT_EQ(json["runs"][4]["outcome"], "not started");

    // Four runs (the refused file is none), three done in 12 s: about 4 s for the last.
    EXPECT_EQ(batch_progress_line(batch_progress(runs, 12)),
              "3/4 done, 1 running, 2 failed, 0:12 elapsed, about 0:04 left");
    EXPECT_EQ(batch_over_line({ok, failed}), "2 finished: 1 ok, 1 failed");
    BatchRun stopped = finished("/runs/f.opt", BatchOutcome::Stopped, {}, 15, 1, "");
    EXPECT_EQ(batch_over_line({ok, killed, refused, stopped}),
              "3 finished: 1 ok, 1 failed, 1 stopped, 1 refused");
    EXPECT_EQ(batch_finished_line(failed, "/runs"), "failed  b.opt  exit status 3  1.2 s");
    EXPECT_EQ(batch_finished_line(refused), "refused  /runs/d.opt  Packet missing");
    // A name's control characters are shown escaped: no forged line, no terminal command.
    BatchRun odd = finished("/runs/x\n\x1b[2J.opt", BatchOutcome::Failed, 3, {}, 1, "/runs/\r.msg");
    odd.messages = {"Cannot read\x1b]0;title\x07"};
    EXPECT_EQ(batch_summary_table({odd}, "/runs"),
              "File            Outcome  Exit status  Duration  Message file\n"
              "x\\n\\x1b[2J.opt  failed   3            1.0 s     \\r.msg\n");
    EXPECT_EQ(batch_finished_line(odd, "/runs"),
              "failed  x\\n\\x1b[2J.opt  exit status 3  1.0 s  Cannot read\\x1b]0;title\\x07");

    EXPECT_EQ(batch_exit_status({ok, ok}, 0), 0);
    EXPECT_EQ(batch_exit_status({ok, refused}, 0), 1);
    EXPECT_EQ(batch_exit_status({ok, running}, 0), 1);
    EXPECT_EQ(batch_exit_status({ok}, SIGINT), 130);
    EXPECT_EQ(batch_exit_status({ok}, SIGTERM), 143);

    // The desktop's word at a long batch's end counts as the window's last line does.
    EXPECT_EQ(batch_end_notice({ok, ok, failed}, 95).text, "Batch finished: 2 ok, 1 failed");
    EXPECT_EQ(batch_end_notice({ok, stopped}, 95).text,
              "Batch finished: 1 ok, 0 failed, 1 stopped");
    EXPECT_TRUE(end_notice_due(batch_end_notice({ok}, 95), false));
}

// The desktop's word at a run's end: only for work that took over 30 s while the program was not
// looked at, in the words the user reads in the notification.
TEST(EndNotice, SaysHowARunEndedAndOnlyWhenItIsDue) {
    RunRecord run;
    run.optionsFile = "/home/ana/runs/demo.opt";
    run.outcome = HistoryOutcome::Ok;
    run.end = "2026-07-12T12:41:09+02:00";
    run.durationSeconds = 31;
    const EndNotice ranLong = run_end_notice(run);
    EXPECT_EQ(ranLong.text, "Run finished: demo.opt, ok, 12:41");
    EXPECT_TRUE(end_notice_due(ranLong, false));
    EXPECT_FALSE(end_notice_due(ranLong, true));
    run.durationSeconds = 30;
    EXPECT_FALSE(end_notice_due(run_end_notice(run), false));

    // The Run window's outcome and the main window's status while a model runs.
    EXPECT_EQ(run_outcome_text(run), "ok");
    run.outcome = HistoryOutcome::Failed;
    run.exitStatus = 3;
    EXPECT_EQ(run_outcome_text(run), "failed with exit status 3");
    run.signal = 9;
    EXPECT_EQ(run_outcome_text(run), "ended by signal 9");
    run.outcome = HistoryOutcome::Stopped;
    EXPECT_EQ(run_outcome_text(run), "stopped");
    EXPECT_EQ(running_status_text("/home/ana/runs/demo.opt", 72.4), "Running demo.opt \u2014 1:12");
}

TEST(BatchFiles, FoldersGiveTheirOptionsFilesSorted) {
    TempDir dir;
    for (const char* name : {"b.opt", "A.OPT", "c.Opt", "notes.txt", "sub/d.opt"})
        dir.write(std::string("runs/") + name, "");
    fs::create_directories(dir.path() / "runs/folder.opt");
    EXPECT_EQ(batch_files_of({"runs", "x/../missing.opt"}, dir.path()),
              (std::vector<std::string>{dir.str() + "/runs/A.OPT", dir.str() + "/runs/b.opt",
                                        dir.str() + "/runs/c.Opt", dir.str() + "/missing.opt"}));
}

} // namespace
} // namespace kv::test
