#include "batch_output.h"
#include "cli_session.h"
#include "commands.h"
#include "optionsfile/csv.h"
#include "runs/batch.h"
#include "runs/stop_request.h"
#include "sets/scenario_diff.h"
#include "sets/sweep.h"
#include "shell/text.h"

#include <iostream>
#include <memory>

namespace kvopt {

namespace {

struct SweepArgs {
    std::string templateFile;
    std::string folder;
    std::vector<std::string> varies;
    std::string eachRegion;
    std::string table;
    std::string namePattern;
    bool force = false;
    bool keepGoing = false;
};

// The members the options describe; nothing, after the reason on standard error, when they
// are malformed.
std::optional<std::vector<kv::SetMember>> members_of(const SweepArgs& args) {
    std::string error;
    std::optional<std::vector<kv::SetMember>> members;
    if (!args.table.empty()) {
        try {
            members = kv::table_members(kv::read_csv_file(args.table), error);
        } catch (const kv::CsvError& e) {
            error = e.what();
        }
        if (!error.empty())
            error = args.table + ": " + error;
    } else {
        std::vector<kv::Variation> variations;
        for (const std::string& text : args.varies) {
            auto variation = kv::parse_variation(text, error);
            if (!variation)
                break;
            variations.push_back(std::move(*variation));
        }
        std::optional<kv::RegionRequest> eachRegion;
        if (error.empty() && !args.eachRegion.empty()) {
            eachRegion = kv::parse_region_request(args.eachRegion, error);
            if (eachRegion && eachRegion->entries.empty())
                error = "--each-region takes LEVEL=ENTRY,...";
        }
        if (error.empty())
            members = kv::product_members(variations, eachRegion, error);
    }
    // A placeholder that names nothing is a typing error too.
    if (members && !kv::member_file_names(*members, "", args.namePattern, error))
        members.reset();
    if (!error.empty()) {
        std::cerr << "kvopt sweep: " << error << '\n';
        return std::nullopt;
    }
    return members;
}

void print_refusals(const std::vector<kv::SweepRefusal>& refusals, std::string_view heading,
                    const std::filesystem::path& relativeTo) {
    for (const kv::SweepRefusal& refusal : refusals) {
        std::cerr << heading << kv::batch_shown_path(refusal.file, relativeTo) << '\n';
        print_messages_indented(std::cerr, refusal.messages);
    }
}

void run_sweep(const Globals& globals, const SweepArgs& args, int& exitCode) {
    if (!args.table.empty() && (!args.varies.empty() || !args.eachRegion.empty())) {
        std::cerr << "kvopt sweep: --table is given instead of --vary and --each-region\n";
        exitCode = kUsage;
        return;
    }
    std::optional<std::vector<kv::SetMember>> members = members_of(args);
    if (!members) {
        exitCode = kUsage;
        return;
    }
    kv::StopRequest stopRequest;
    const kv::StopOnTerminationSignals stopOnSignals(stopRequest);
    CliSession cli(globals);
    kv::SweepRequest request;
    request.templateFile = args.templateFile;
    request.folder = args.folder;
    request.members = std::move(*members);
    request.namePattern = args.namePattern;
    request.force = args.force;
    request.keepGoing = args.keepGoing;
    const kv::SweepResult result =
        kv::write_sweep(kv::batch_context(*cli.session), std::move(request),
                        [&] { return stopRequest.requested(); });
    print_refusals(result.refused, args.keepGoing ? "Left out: " : "Refused: ", globals.startDir);
    for (const std::string& error : result.errors)
        print_command_error(std::cerr, "sweep", error);
    if (!result.refused.empty() && !args.keepGoing)
        std::cerr << "kvopt sweep: nothing was written\n";
    for (const std::string& file : result.written)
        std::cout << kv::batch_shown_path(file, globals.startDir) << '\n';
    if (result.cancelled) {
        std::cerr << "Sweep stopped: nothing was written\n";
        exitCode = kv::exit_status_for_signal(stopRequest.signal());
    } else {
        exitCode = result.complete() ? kOk : kRefused;
    }
}

struct DiffArgs {
    std::string a;
    std::string b;
    bool json = false;
};

void run_diff(const Globals& globals, const DiffArgs& args, int& exitCode) {
    CliSession cli(globals);
    const kv::BatchContext context = kv::batch_context(*cli.session);
    std::vector<std::string> errors;
    auto a = kv::read_scenario_for_diff(context, args.a, errors);
    auto b = kv::read_scenario_for_diff(context, args.b, errors);
    if (!a || !b) {
        for (const std::string& error : errors)
            print_command_error(std::cerr, "diff", error);
        exitCode = kUsage; // as diff has it: 2 for trouble
        return;
    }
    const kv::ScenarioDiff diff = kv::diff_scenarios(*a, *b);
    const std::string nameA = kv::batch_shown_path(args.a, globals.startDir);
    const std::string nameB = kv::batch_shown_path(args.b, globals.startDir);
    std::cout << (args.json ? kv::diff_json(diff, nameA, nameB)
                            : kv::diff_text(diff, nameA, nameB));
    exitCode = diff.same() ? kOk : kRefused;
}

} // namespace

void register_set_commands(CLI::App& app, Globals& globals) {
    auto args = std::make_shared<SweepArgs>();
    auto* sweep = app.add_subcommand(
        "sweep", "Write a scenario set: one options file per variation of a template, each "
                 "checked as the dialogs check it and saved as Save as saves a new file (its "
                 "message and output data files named after it)");
    path_argument(sweep->add_option("TEMPLATE", args->templateFile, "The options file to vary"),
                  globals)
        ->required();
    path_argument(sweep->add_option("-o,--output", args->folder,
                                    "Folder of the set (made when missing; refused when it "
                                    "holds files, unless --force); sweep.csv lists the files"),
                  globals)
        ->required();
    sweep->add_option("--vary", args->varies,
                      "NAME=V1,V2,... or NAME=FIRST..LAST/STEP for a name --set takes; "
                      "repeatable: every combination, the first varying slowest");
    sweep->add_option("--each-region", args->eachRegion,
                      "LEVEL=ENTRY,...: one file per entry, each with that region alone");
    path_argument(sweep->add_option("--table", args->table,
                                    "A CSV file, one file per row, instead of --vary: columns "
                                    "named by --set names, region (LEVEL=ENTRY,...) and name; "
                                    "an empty cell keeps the template's value"),
                  globals);
    sweep->add_option("--name", args->namePattern,
                      "Names of the files: {template}, {n}, {name}, {region} and {NAME} for a "
                      "value (default: the template's name and each value set with its name)");
    sweep->add_flag("--force", args->force,
                    "Write into a folder that holds files, over files of the same name");
    sweep->add_flag("--keep-going", args->keepGoing,
                    "Leave a refused variation out (listed on standard error) instead of "
                    "writing nothing");
    sweep->footer("The files written are printed on standard output. Exit status: 0 when every "
                  "file was written; 1 when a variation was refused (nothing written, or with "
                  "--keep-going the others) or the set could not be written; 2 usage error.");
    sweep->callback([&globals, args] { run_sweep(globals, *args, globals.exitCode); });

    auto diffArgs = std::make_shared<DiffArgs>();
    auto* diff = app.add_subcommand(
        "diff", "Show what differs between two options files as the program reads them: the "
                "values by the names --set takes, the entries added to or removed from the list "
                "packets, and the lines outside the managed packets as a unified diff");
    path_argument(diff->add_option("A", diffArgs->a, "The first options file"), globals)
        ->required();
    path_argument(diff->add_option("B", diffArgs->b, "The second options file"), globals)
        ->required();
    diff->add_flag("--json", diffArgs->json, "Print the difference as a JSON object");
    diff->footer("Nothing is written and nothing asked. Exit status: 0 when the files are the "
                 "same, 1 when they differ, 2 when one cannot be read or is refused, or on a "
                 "usage error.");
    diff->callback([&globals, diffArgs] { run_diff(globals, *diffArgs, globals.exitCode); });
}

} // namespace kvopt
