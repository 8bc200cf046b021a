#include "slurm_batch_command.h"

#include "cli_session.h"
#include "runs/batch.h"
#include "runs/slurm_batch.h"
#include "runs/stop_request.h"
#include "shell/file_locations.h"
#include "shell/session.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <regex>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kvopt {

namespace fs = std::filesystem;

namespace {

// The forms sbatch takes for --time: minutes, MM:SS, HH:MM:SS, D-HH, D-HH:MM, D-HH:MM:SS.
std::string check_time_limit(const std::string& value) {
    static const std::regex form(R"(\d+(:\d+){0,2}|\d+-\d+(:\d+){0,2}|INFINITE|UNLIMITED)");
    return std::regex_match(value, form)
               ? std::string()
               : "not a time limit of Slurm (HH:MM:SS, MM, MM:SS, D-HH, D-HH:MM or D-HH:MM:SS)";
}

// The kvopt the tasks run: this one, by its full path (the nodes see the installation where
// this machine sees it).
std::string this_program() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? (kv::program_directory() / "kvopt").string() : exe.string();
}

int exit_status_without_waiting(const std::vector<kv::BatchRun>& runs) {
    for (const kv::BatchRun& run : runs) {
        if (run.outcome == kv::BatchOutcome::Refused)
            return kRefused;
    }
    return kOk;
}

} // namespace

void add_slurm_options(CLI::App& batch, SlurmArgs& args, const Globals& globals) {
    auto* slurm = batch.add_flag(
        "--slurm", args.enabled,
        "Run the batch as one job array on a Slurm cluster (sbatch), one task per file");
    const auto onlyWithSlurm = [slurm](CLI::Option* option) {
        option->needs(slurm)->group("Slurm");
        return option;
    };
    slurm->group("Slurm");
    onlyWithSlurm(batch.add_option("--partition", args.partition, "sbatch --partition"));
    onlyWithSlurm(batch
                      .add_option("--time", args.timeLimit,
                                  "The time limit of each task (sbatch --time), HH:MM:SS")
                      ->check(check_time_limit, "TIME"));
    onlyWithSlurm(batch.add_option("--account", args.account, "sbatch --account"));
    onlyWithSlurm(batch
                      .add_option("--sbatch-arg", args.sbatchArgs,
                                  "An argument passed to sbatch as it is (repeat it for more; "
                                  "write one that starts with - as --sbatch-arg=--mem=2G)")
                      ->allow_extra_args(false));
    onlyWithSlurm(path_argument(
        batch.add_option("--batch-dir", args.batchDir,
                         "The batch folder, new or empty: the job script, the list of files, a "
                         "status file and a log per task (default: kvbatch-<id> beside the "
                         "first file)"),
        globals));
    onlyWithSlurm(
        batch.add_flag("--no-wait", args.noWait, "Submit and end without waiting for the array"));
    onlyWithSlurm(batch.add_flag("--dry-run", args.dryRun,
                                 "Write the batch folder and print the sbatch command, without "
                                 "submitting"));
    if (CLI::Option* jobs = batch.get_option_no_throw("--jobs"))
        slurm->excludes(jobs);
}

void run_slurm_batch(const Globals& globals, const BatchArgs& args, const SlurmArgs& slurm,
                     int& exitCode) {
    kv::StopRequest stopRequest;
    const kv::StopOnTerminationSignals stopOnSignals(stopRequest);
    CliSession cli(globals);
    kv::Session& session = *cli.session;
    std::optional<CheckedBatch> checked =
        check_batch(globals, args, session, exitCode, &stopRequest);
    if (!checked)
        return;
    const std::vector<std::string>& files = checked->files;
    const kv::BatchContext& context = checked->context;
    kv::BatchPreflight& preflight = checked->preflight;

    kv::SlurmJob job;
    job.batchId = kv::new_batch_id(std::chrono::system_clock::now());
    job.dir = slurm.batchDir.empty() ? fs::path(files.front()).parent_path() /
                                           kv::default_batch_folder_name(job.batchId)
                                     : fs::path(slurm.batchDir);
    job.kvopt = this_program();
    job.settings = context.settings;
    job.stateDir = context.stateDir;
    job.submit = {slurm.partition, slurm.timeLimit, slurm.account, slurm.sbatchArgs};
    const auto commands = kv::system_slurm_commands();
    kv::SlurmBatch batch(std::move(preflight), std::move(job), *commands);
    const auto summary = [&] {
        print_batch_summary(std::cout, batch.job().batchId, batch.runs(), args.json,
                            globals.startDir);
        exitCode = kv::batch_exit_status(batch.runs(), batch.stopSignal());
    };
    // A stop asked for before the array is submitted submits nothing; one asked for while
    // sbatch ran cancels what it submitted.
    const auto stopAsked = [&] {
        if (!stopRequest.requested())
            return false;
        batch.cancel(stopRequest.signal());
        return true;
    };
    if (stopAsked() || batch.tasks() == 0) {
        summary();
        return;
    }
    if (const std::string error = batch.prepare(); !error.empty()) {
        std::cerr << "kvopt batch: " << error << '\n';
        exitCode = kRefused;
        return;
    }
    // Shown to a terminal: a control character in the name is shown escaped.
    const std::string folder = kv::escape_control_characters(batch.job().dir.string());
    if (stopAsked()) {
        summary();
        return;
    }
    if (slurm.dryRun) {
        std::cerr << "Batch " << batch.job().batchId << ": " << batch.tasks()
                  << (batch.tasks() == 1 ? " task" : " tasks")
                  << "; the job script and the list of files are in " << folder << '\n';
        std::cout << kv::command_line_text(kv::sbatch_command(batch.job())) << '\n';
        exitCode = exit_status_without_waiting(batch.runs());
        return;
    }
    if (const std::string error = batch.submit(); !error.empty()) {
        std::cerr << "kvopt batch: " << error << '\n';
        summary();
        return;
    }
    std::cerr << "Batch " << batch.job().batchId << ": job array " << batch.jobId() << " of "
              << batch.tasks() << (batch.tasks() == 1 ? " task" : " tasks")
              << " submitted; its folder is " << folder << '\n';
    if (slurm.noWait) {
        if (stopAsked()) {
            std::cerr << "Batch stopped: job array " << batch.jobId() << " cancelled\n";
            for (const std::string& problem : batch.problems())
                std::cerr << "kvopt batch: " << problem << '\n';
            exitCode = kv::exit_status_for_signal(stopRequest.signal());
            return;
        }
        std::cerr << "Not waiting: each task leaves its outcome in " << folder << '/'
                  << kv::kStatusFolderName << '\n';
        exitCode = exit_status_without_waiting(batch.runs());
        return;
    }
    stopAsked();
    BatchProgressPrinter printer(std::cerr, is_terminal(STDERR_FILENO), globals.startDir);
    batch.wait(&stopRequest, [&] { printer.update(batch.runs(), batch.elapsedSeconds()); });
    printer.finish();
    if (batch.cancelling())
        std::cerr << "Batch stopped: job array " << batch.jobId() << " cancelled\n";
    for (const std::string& problem : batch.problems())
        std::cerr << "kvopt batch: " << problem << '\n';
    summary();
}

} // namespace kvopt
