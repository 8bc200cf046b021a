#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

// kvopt's subcommands. Each group registers its commands on the app; a command sets the
// process's exit status through `exitCode` when it runs.
namespace kvopt {

// 0: usable or written; 1: refused or failed; 2: usage error.
enum ExitStatus { kOk = 0, kRefused = 1, kUsage = 2 };

struct Globals {
    std::string modelDir; // --model-dir
    std::string dataDir;  // --data-dir
    int exitCode = kOk;
};

// show, check, save
void register_options_commands(CLI::App& app, Globals& globals);
// refdb-import, refdb-export, refdb-from-csv
void register_refdb_commands(CLI::App& app, Globals& globals);
// run
void register_run_commands(CLI::App& app, Globals& globals);

} // namespace kvopt
