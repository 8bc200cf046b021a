#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <string>

// kvopt's subcommands. Each group registers its commands on the app; a command sets the
// process's exit status through `exitCode` when it runs.
namespace kvopt {

// 0: usable or written; 1: refused or failed; 2: usage error. A run stopped by SIGINT or
// SIGTERM ends with 130 or 143.
enum ExitStatus { kOk = 0, kRefused = 1, kUsage = 2 };

struct Globals {
    std::filesystem::path startDir; // the current directory when kvopt started
    std::string modelDir;           // --model-dir
    std::string dataDir;            // --data-dir
    int exitCode = kOk;
};

// Makes the option's value a path resolved against the directory kvopt was started in, as
// the command line is parsed: reading an options file makes the model directory current,
// and a relative name given afterwards would land there.
inline CLI::Option* path_argument(CLI::Option* option, const Globals& globals) {
    return option->transform(
        [start = globals.startDir](const std::string& value) {
            return value.empty() ? value : (start / value).lexically_normal().string();
        },
        "", "");
}

// show, check, save
void register_options_commands(CLI::App& app, Globals& globals);
// refdb-import, refdb-export, refdb-from-csv
void register_refdb_commands(CLI::App& app, Globals& globals);
// run, history
void register_run_commands(CLI::App& app, Globals& globals);
// history show, restore, diff, prune
void add_history_subcommands(CLI::App& history, Globals& globals);
// batch; answers the subcommand, so other ways of running a batch can add their options
CLI::App* register_batch_commands(CLI::App& app, Globals& globals);
// sweep, diff
void register_set_commands(CLI::App& app, Globals& globals);

} // namespace kvopt
