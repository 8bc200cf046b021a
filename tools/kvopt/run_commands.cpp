#include "batch_output.h"
#include "cli_session.h"
#include "commands.h"
#include "optionsfile/reader.h"
#include "runs/model_run.h"
#include "runs/posix_launcher.h"
#include "runs/run_history.h"
#include "runs/slurm_batch.h"
#include "runs/stop_request.h"
#include "shell/session.h"
#include "shell/status.h"

#include <csignal>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kvopt {

namespace {

struct RunArgs {
    std::string file;
    std::string modelExe;
    std::string batch;      // the batch the run belongs to (a task of a cluster's job array)
    std::string statusFile; // where the run's outcome is left for the batch
    std::string jobId;      // the job array the task belongs to, and the task's attempt
    int attempt = 0;
};

// The outcome of a run that ended before its model ran, for the batch's status file.
kv::TaskStatus failed_before_the_model(std::vector<std::string> messages) {
    kv::TaskStatus status;
    status.outcome = kv::BatchOutcome::Failed;
    status.messages = std::move(messages);
    return status;
}

void leave_status(const RunArgs& args, kv::TaskStatus status) {
    if (args.statusFile.empty())
        return;
    status.batch = args.batch;
    status.jobId = args.jobId;
    status.attempt = args.attempt;
    const std::string error = kv::write_task_status(args.statusFile, status);
    if (!error.empty())
        std::cerr << "kvopt run: " << error << '\n';
}

// The model's output came to the terminal as it is; when its last line has no line end, the
// status lines begin on a line of their own all the same. The console log keeps it as it is.
void end_the_models_last_line(const kv::RunReport& report) {
    if (!report.record || report.record->consoleFile.path.empty())
        return;
    std::ifstream log(report.record->consoleFile.path, std::ios::binary | std::ios::ate);
    if (!log || log.tellg() <= 0)
        return;
    log.seekg(-1, std::ios::end);
    if (log.get() != '\n')
        std::cout << '\n';
}

// Runs the core model on FILE as Model > Run does: reads it, saves it in place, writes
// kelvaro.bat, starts the model from the model directory and waits; then prints the three
// status lines. Exit status 0 when the model ran and ended with status 0.
void run_run(const Globals& globals, const RunArgs& args, int& exitCode) {
    kv::PosixLauncher launcher;
    // Ctrl-C, SIGTERM and SIGHUP stop the model with its process group, as Model > Stop Run does,
    // and the run is recorded as stopped before kvopt ends.
    const kv::StopOnTerminationSignals stopOnSignals(launcher.stopRequest());
    CliSession cli(globals, &launcher);
    kv::Session& session = *cli.session;
    if (!args.modelExe.empty())
        session.settings.modelexe = args.modelExe;
    if (session.settings.modelexe.empty()) {
        const std::string message =
            "no core model executable: give --model-exe or record it in kv-gui.ini";
        std::cerr << "kvopt run: " << message << '\n';
        leave_status(args, failed_before_the_model({message}));
        exitCode = kUsage;
        return;
    }
    cli.setCurrentFile(args.file);
    if (kv::read_options(session) != kv::ReadOutcome::Loaded) {
        leave_status(args, failed_before_the_model(cli.ui.messages));
        exitCode = kRefused;
        return;
    }
    kv::RunOptions options;
    if (!args.batch.empty())
        options.batch = args.batch;
    const kv::RunReport report = kv::run_model(session, options);
    end_the_models_last_line(report);
    std::cout << kv::status_display(session.scenario, session.settings, session.rules).text << '\n';
    if (!report.historyError.empty())
        std::cerr << "kvopt run: " << report.historyError << '\n';
    if (report.outcome != kv::RunOutcome::Finished || !report.record) {
        leave_status(args, failed_before_the_model(cli.ui.messages));
        exitCode = kRefused;
        return;
    }
    leave_status(args, kv::task_status_of(*report.record));
    if (report.launch.stopped) {
        std::cerr << "kvopt run: " << kv::kRunStoppedLine << '\n';
        const int signal = launcher.stopRequest().signal();
        exitCode = kv::exit_status_for_signal(signal != 0 ? signal : SIGTERM);
        return;
    }
    if (report.launch.crashed || report.launch.exitCode != 0) {
        std::cerr << "kvopt run: the core model ended with status " << report.launch.exitCode
                  << '\n';
        exitCode = kRefused;
        return;
    }
    exitCode = kOk;
}

struct HistoryArgs {
    bool json = false;
    std::optional<std::size_t> limit; // 0: all
    std::string since;
};

// Without --limit: the newest runs that fit a terminal's screen or two, every run for a
// program reading the list.
constexpr std::size_t kTerminalLimit = 50;

// Lists the run history newest first, as Model > Run History does; with --json, the
// recorded lines as a JSON array, each with "changed_since". One run is held at a time.
void run_history(const Globals& globals, const HistoryArgs& args, int& exitCode) {
    kv::HistorySelection selection;
    if (!args.since.empty()) {
        selection.since = kv::parse_history_date(args.since);
        if (!selection.since) {
            std::cerr << "kvopt history: --since " << args.since
                      << ": not a date (YYYY-MM-DD, YYYY-MM-DDTHH:MM[:SS])\n";
            exitCode = kUsage;
            return;
        }
    }
    if (args.limit)
        selection.limit = *args.limit == 0 ? std::nullopt : args.limit;
    else if (!args.json && is_terminal(STDOUT_FILENO))
        selection.limit = kTerminalLimit;
    CliSession cli(globals);
    kv::OptionsChangeCheck check;
    bool first = true;
    const bool cut = kv::visit_run_history(
        kv::run_history_file(*cli.session), selection, [&](kv::HistoryEntry&& entry) {
            if (!args.json) {
                std::cout << kv::history_row_text(kv::history_row(entry.record, check)) << '\n';
                return;
            }
            auto line = nlohmann::ordered_json::parse(entry.line);
            if (!line.contains("id"))
                line["id"] = entry.record.id;
            line["changed_since"] = check.changedSince(entry.record);
            // Laid out as the whole array dumped with an indent of 2: each line of an
            // element indented once more.
            std::string text =
                line.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
            for (auto at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
                text.insert(at + 1, "  ");
            std::cout << (first ? "[\n  " : ",\n  ") << text;
            first = false;
        });
    if (args.json)
        std::cout << (first ? "[]\n" : "\n]\n");
    std::cout.flush();
    if (cut && !args.json)
        std::cerr << "Only the newest " << *selection.limit
                  << " runs are shown: --limit 0 lists them all\n";
    exitCode = kOk;
}

} // namespace

void register_run_commands(CLI::App& app, Globals& globals) {
    auto args = std::make_shared<RunArgs>();
    auto* run = app.add_subcommand(
        "run", "Run the core model on an options file as the Run menu does (save it, write "
               "kelvaro.bat, wait) and print the three status lines");
    path_argument(run->add_option("FILE", args->file, "Options file"), globals)->required();
    run->add_option("--model-exe", args->modelExe,
                    "Core model executable in the model directory (default: from kv-gui.ini)");
    run->add_option("--batch", args->batch,
                    "The batch the run belongs to: recorded in its history line; no kelvaro.bat "
                    "is written (the runs of a batch would overwrite it)");
    auto* statusFile =
        path_argument(run->add_option("--status-file", args->statusFile,
                                      "Write the run's outcome there as a batch's status file "
                                      "(JSON: outcome, exit status, start and end time)"),
                      globals);
    run->add_option("--job-id", args->jobId,
                    "The Slurm job array the run is a task of: recorded in the status file")
        ->needs(statusFile);
    run->add_option("--attempt", args->attempt,
                    "The task's attempt (Slurm's restart count): recorded in the status file")
        ->check(CLI::NonNegativeNumber)
        ->needs(statusFile);
    run->callback([&globals, args] { run_run(globals, *args, globals.exitCode); });

    auto historyArgs = std::make_shared<HistoryArgs>();
    auto* history = app.add_subcommand(
        "history", "List the recorded model runs, newest first: id, start, options file, duration, "
                   "outcome, and whether the options file has changed since");
    history->add_flag("--json", historyArgs->json,
                      "Print the recorded lines as a JSON array, each with \"changed_since\"");
    history
        ->add_option("--limit", historyArgs->limit,
                     "List the newest N runs; 0 lists all (default: 50 on a terminal, all "
                     "otherwise and with --json)")
        ->check(CLI::Validator(
            [](const std::string& text) {
                return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos
                           ? std::string()
                           : text + " is not a number of runs (0 lists them all)";
            },
            "N"));
    history->add_option("--since", historyArgs->since,
                        "List the runs started at DATE or later: YYYY-MM-DD or "
                        "YYYY-MM-DDTHH:MM[:SS], local time");
    add_history_subcommands(*history, globals);
    history->require_subcommand(0, 1);
    history->callback([&globals, historyArgs, history] {
        if (history->get_subcommands().empty())
            run_history(globals, *historyArgs, globals.exitCode);
    });
}

} // namespace kvopt
