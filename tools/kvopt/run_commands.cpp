#include "cli_session.h"
#include "commands.h"
#include "optionsfile/reader.h"
#include "shell/model_run.h"
#include "shell/posix_launcher.h"
#include "shell/session.h"
#include "shell/status.h"

#include <iostream>
#include <memory>
#include <string>

namespace kvopt {

namespace {

struct RunArgs {
    std::string file;
    std::string modelExe;
};

// Runs the core model on FILE as Model > Run does: reads it, saves it in place, writes
// kelvaro.bat, starts the model from the model directory and waits; then prints the three
// status lines. Exit status 0 when the model ran and ended with status 0.
void run_run(const Globals& globals, const RunArgs& args, int& exitCode) {
    kv::PosixLauncher launcher;
    CliSession cli(globals, &launcher);
    kv::Session& session = *cli.session;
    if (!args.modelExe.empty())
        session.settings.modelexe = args.modelExe;
    if (session.settings.modelexe.empty()) {
        std::cerr << "kvopt run: no core model executable: give --model-exe or record it in "
                     "kv-gui.ini\n";
        exitCode = kUsage;
        return;
    }
    cli.setCurrentFile(args.file);
    if (kv::read_options(session) != kv::ReadOutcome::Loaded) {
        exitCode = kRefused;
        return;
    }
    const kv::RunReport report = kv::run_model(session);
    std::cout << kv::status_display(session.scenario, session.settings, session.rules).text << '\n';
    if (report.outcome != kv::RunOutcome::Finished) {
        exitCode = kRefused;
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

} // namespace

void register_run_commands(CLI::App& app, Globals& globals) {
    auto args = std::make_shared<RunArgs>();
    auto* run = app.add_subcommand(
        "run", "Run the core model on an options file as the Run menu does (save it, write "
               "kelvaro.bat, wait) and print the three status lines");
    path_argument(run->add_option("FILE", args->file, "Options file"), globals)->required();
    run->add_option("--model-exe", args->modelExe,
                    "Core model executable in the model directory (default: from kv-gui.ini)");
    run->callback([&globals, args] { run_run(globals, *args, globals.exitCode); });
}

} // namespace kvopt
