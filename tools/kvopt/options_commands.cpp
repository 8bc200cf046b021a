#include "cli_session.h"
#include "commands.h"
#include "factor_files_option.h"
#include "file_list_options.h"
#include "optionsfile/reader.h"
#include "optionsfile/scenario_values.h"
#include "optionsfile/writer.h"
#include "region_option.h"
#include "scenario_json.h"
#include "sets/scenario_edits.h"
#include "sources_option.h"

#include <iostream>
#include <memory>
#include <vector>

namespace kvopt {

namespace {

struct OptionsArgs {
    std::string file;
    std::string out;
    std::vector<std::string> sets;
    std::vector<std::string> sources;
    std::string region; // --region
    FactorFilesArgs factorFiles;
    bool noCheck = false; // --no-check: the dialogs' checks are skipped
    FileListArgs fileLists;
};

// Reads the file as the interface would; true when it was usable.
bool read_current(CliSession& cli, const std::string& file) {
    cli.setCurrentFile(file);
    return kv::read_options(*cli.session) == kv::ReadOutcome::Loaded;
}

void run_show(const Globals& globals, const OptionsArgs& args, int& exitCode) {
    CliSession cli(globals);
    const bool usable = read_current(cli, args.file);
    std::cout << scenario_to_json(cli.session->scenario)
                     .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
              << '\n';
    exitCode = usable ? kOk : kRefused;
}

void run_check(const Globals& globals, const OptionsArgs& args, int& exitCode) {
    CliSession cli(globals);
    exitCode = read_current(cli, args.file) ? kOk : kRefused;
}

void run_save(const Globals& globals, const OptionsArgs& args, int& exitCode) {
    CliSession cli(globals);
    kv::Scenario& sc = cli.session->scenario;
    kv::ScenarioEdits edits{args.sets, std::nullopt};
    // The values are checked before anything is read, so a typing error costs nothing.
    for (const std::string& assignment : edits.sets) {
        if (const std::string error = kv::assignment_error(assignment); !error.empty()) {
            std::cerr << "kvopt save: " << error << '\n';
            exitCode = kUsage;
            return;
        }
    }
    const auto sources = parse_sources_actions(args.sources);
    if (!sources) {
        exitCode = kUsage;
        return;
    }
    if (!args.region.empty()) {
        std::string error;
        edits.region = kv::parse_region_request(args.region, error);
        if (!edits.region) {
            std::cerr << "kvopt save: " << error << '\n';
            exitCode = kUsage;
            return;
        }
    }
    const auto factorFiles = parse_factor_files(args.factorFiles);
    if (!factorFiles || !file_list_paths_single_line(args.fileLists)) {
        exitCode = kUsage;
        return;
    }
    if (const std::string error = kv::take_altitude_as_the_dialog_does(edits.sets);
        !error.empty()) {
        std::cerr << "kvopt save: " << error << '\n';
        exitCode = kRefused;
        return;
    }
    if (!read_current(cli, args.file) ||
        !kv::apply_scenario_edits(*cli.session, edits, !args.noCheck) ||
        !apply_sources_actions(*cli.session, *sources) ||
        !apply_factor_files(*cli.session, *factorFiles, !args.noCheck) ||
        !apply_file_list_options(*cli.session, args.fileLists, !args.noCheck, globals)) {
        exitCode = kRefused;
        return;
    }
    const std::filesystem::path out = std::filesystem::absolute(args.out).lexically_normal();
    sc.newoptdir = out.parent_path().string();
    sc.newoptfile = out.filename().string();
    exitCode = kv::newoptions(*cli.session) ? kOk : kRefused;
}

} // namespace

void register_options_commands(CLI::App& app, Globals& globals) {
    auto args = std::make_shared<OptionsArgs>();

    auto* show = app.add_subcommand("show", "Print the scenario read from an options file as JSON");
    path_argument(show->add_option("FILE", args->file, "Options file"), globals)->required();
    show->callback([&globals, args] { run_show(globals, *args, globals.exitCode); });

    auto* check = app.add_subcommand(
        "check", "Read and validate an options file; print every message the interface shows");
    path_argument(check->add_option("FILE", args->file, "Options file"), globals)->required();
    check->callback([&globals, args] { run_check(globals, *args, globals.exitCode); });

    std::string names;
    for (const std::string& name : kv::settable_scenario_names())
        names += (names.empty() ? "" : ", ") + name;
    auto* save = app.add_subcommand(
        "save", "Read IN, change scenario values and write OUT with IN as the template");
    path_argument(save->add_option("IN", args->file, "Options file to read"), globals)->required();
    path_argument(save->add_option("OUT", args->out, "Options file to write"), globals)->required();
    save->add_option("--set", args->sets, "NAME=VALUE; NAME is one of: " + names);
    add_region_option(*save, args->region);
    add_sources_option(*save, args->sources);
    add_factor_files_options(*save, args->factorFiles);
    add_file_list_options(*save, args->fileLists);
    save->add_flag("--no-check", args->noCheck,
                   "Store the values set without the checks of the dialogs that edit them");
    save->callback([&globals, args] { run_save(globals, *args, globals.exitCode); });
}

} // namespace kvopt
