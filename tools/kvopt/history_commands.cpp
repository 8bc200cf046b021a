#include "batch_output.h"
#include "cli_session.h"
#include "commands.h"
#include "runs/kept_options.h"
#include "runs/run_history.h"
#include "sets/scenario_diff.h"
#include "shell/session.h"

#include <fstream>
#include <iostream>
#include <memory>

// kvopt history show|restore|diff|prune: the options file each run kept.
namespace kvopt {

namespace {

struct KeptArgs {
    std::string run;
    std::string out;
    std::string file;
    bool force = false;
    bool json = false;
    int days = -1;
};

// The kept copy of the run RUN names; nothing, after the reason, when there is none.
std::optional<std::string> kept_copy(const CliSession& cli, std::string_view command,
                                     const std::string& run, kv::RunRecord* record = nullptr) {
    const kv::Session& session = *cli.session;
    std::string error;
    auto found = kv::find_run(kv::run_history_file(session), run, error);
    std::optional<std::string> content;
    if (found)
        content = kv::read_kept_options(session.stateDir, *found, error);
    if (!content) {
        std::cerr << "kvopt history " << command << ": " << error << '\n';
        return std::nullopt;
    }
    if (record)
        *record = std::move(*found);
    return content;
}

void show(const Globals& globals, const KeptArgs& args, int& exitCode) {
    CliSession cli(globals);
    const auto content = kept_copy(cli, "show", args.run);
    if (!content) {
        exitCode = kRefused;
        return;
    }
    std::cout.write(content->data(), static_cast<std::streamsize>(content->size()));
    std::cout.flush();
    exitCode = kOk;
}

void restore(const Globals& globals, const KeptArgs& args, int& exitCode) {
    CliSession cli(globals);
    const auto content = kept_copy(cli, "restore", args.run);
    if (!content) {
        exitCode = kRefused;
        return;
    }
    const std::filesystem::path out(args.out);
    std::error_code ec;
    if (!args.force && std::filesystem::exists(out, ec)) {
        std::cerr << "kvopt history restore: " << args.out
                  << " exists: give --force to replace it\n";
        exitCode = kRefused;
        return;
    }
    // Written beside the target and renamed over it: never a file half written.
    const std::filesystem::path partial = out.string() + ".restoring";
    {
        std::ofstream file(partial, std::ios::binary);
        file.write(content->data(), static_cast<std::streamsize>(content->size()));
        file.flush();
        if (!file) {
            std::filesystem::remove(partial, ec);
            std::cerr << "kvopt history restore: cannot write " << args.out << '\n';
            exitCode = kRefused;
            return;
        }
    }
    std::filesystem::rename(partial, out, ec);
    if (ec) {
        std::filesystem::remove(partial, ec);
        std::cerr << "kvopt history restore: cannot write " << args.out << '\n';
        exitCode = kRefused;
        return;
    }
    exitCode = kOk;
}

void diff(const Globals& globals, const KeptArgs& args, int& exitCode) {
    CliSession cli(globals);
    exitCode = kUsage; // as diff has it: 2 for trouble
    kv::RunRecord record;
    auto content = kept_copy(cli, "diff", args.run, &record);
    if (!content)
        return;
    const std::string file = args.file.empty() ? record.optionsFile : args.file;
    const kv::BatchContext context = kv::batch_context(*cli.session);
    std::vector<std::string> errors;
    const std::string runName = "run " + record.id;
    auto kept =
        kv::read_scenario_text_for_diff(context, std::move(*content), record.optionsFile, errors);
    auto now = kv::read_scenario_for_diff(context, file, errors);
    if (!kept || !now) {
        for (const std::string& error : errors)
            print_command_error(std::cerr, "history diff", error);
        return;
    }
    const kv::ScenarioDiff difference = kv::diff_scenarios(*kept, *now);
    const std::string nameNow = kv::batch_shown_path(file, globals.startDir);
    std::cout << (args.json ? kv::diff_json(difference, runName, nameNow)
                            : kv::diff_text(difference, runName, nameNow));
    exitCode = difference.same() ? kOk : kRefused;
}

void prune(const Globals& globals, const KeptArgs& args, int& exitCode) {
    CliSession cli(globals);
    const auto cutoff = std::chrono::system_clock::now() - std::chrono::hours(24) * args.days;
    const kv::PruneResult result = kv::prune_run_history(cli.session->stateDir, cutoff);
    if (!result.error.empty()) {
        std::cerr << "kvopt history prune: " << result.error << '\n';
        exitCode = kRefused;
        return;
    }
    std::cout << result.recordsRemoved << " runs and " << result.filesRemoved
              << " kept options files removed\n";
    exitCode = kOk;
}

} // namespace

void add_history_subcommands(CLI::App& history, Globals& globals) {
    const auto args = std::make_shared<KeptArgs>();
    const auto runArgument = [&](CLI::App* command) {
        command->add_option("RUN", args->run, "A run's id, or -N for the N-th newest run")
            ->required();
    };
    auto* showCommand = history.add_subcommand(
        "show", "Print the options file a run was given, byte for byte, as it was kept");
    runArgument(showCommand);
    showCommand->callback([&globals, args] { show(globals, *args, globals.exitCode); });

    auto* restoreCommand =
        history.add_subcommand("restore", "Write the options file a run was given to OUT");
    runArgument(restoreCommand);
    path_argument(restoreCommand->add_option("OUT", args->out, "The file to write"), globals)
        ->required();
    restoreCommand->add_flag("--force", args->force, "Replace OUT when it exists");
    restoreCommand->callback([&globals, args] { restore(globals, *args, globals.exitCode); });

    auto* diffCommand = history.add_subcommand(
        "diff", "Compare the options file a run was given with the file as it is now (or FILE), "
                "as kvopt diff does; exit 0 the same, 1 different, 2 trouble");
    runArgument(diffCommand);
    path_argument(diffCommand->add_option("FILE", args->file,
                                          "The file to compare with (default: the run's own)"),
                  globals);
    diffCommand->add_flag("--json", args->json, "Print the difference as a JSON object");
    diffCommand->callback([&globals, args] { diff(globals, *args, globals.exitCode); });

    auto* pruneCommand = history.add_subcommand(
        "prune", "Remove the records of runs older than DAYS and the kept options files no "
                 "record names any more");
    pruneCommand->add_option("--older-than", args->days, "Age in days of the runs removed")
        ->required()
        ->check(CLI::NonNegativeNumber);
    pruneCommand->callback([&globals, args] { prune(globals, *args, globals.exitCode); });
}

} // namespace kvopt
