#include "batch_output.h"
#include "cli_session.h"
#include "commands.h"
#include "runs/batch.h"
#include "runs/local_batch.h"
#include "runs/stop_request.h"
#include "shell/session.h"
#include "slurm_batch_command.h"

#include <algorithm>
#include <iostream>
#include <memory>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kvopt {

namespace {

constexpr int kStandardError = 2;

// Runs the files on this machine, at most -j at a time, showing progress on standard error
// and the summary on standard output. Ctrl-C and SIGTERM stop every model and start no more.
void run_batch(const Globals& globals, const BatchArgs& args, int& exitCode) {
    kv::StopRequest stopRequest;
    const kv::StopOnTerminationSignals stopOnSignals(stopRequest);
    CliSession cli(globals);
    kv::Session& session = *cli.session;
    std::optional<CheckedBatch> checked =
        check_batch(globals, args, session, exitCode, &stopRequest);
    if (!checked)
        return;
    const kv::BatchContext& context = checked->context;
    kv::BatchPreflight& preflight = checked->preflight;

    const int parallel = args.parallel > 0 ? args.parallel : kv::available_processors();
    const bool refused = preflight.refused();
    // Each model's output goes to its console log; only a model whose log cannot be made
    // writes to standard error with the progress: standard output holds the summary alone, so
    // that --json can be read by a program.
    kv::LocalBatch batch(context, std::move(preflight), {parallel, {}, kStandardError});
    const auto waiting = std::count_if(batch.runs().begin(), batch.runs().end(), [](const auto& r) {
        return r.state == kv::BatchRunState::Waiting;
    });
    const bool cut = batch.parallel() < std::min<long>(parallel, waiting);
    if (cut)
        std::cerr << "kvopt batch: the limit of open files allows at most " << batch.parallel()
                  << " models at a time, not " << parallel << '\n';
    if (!refused)
        std::cerr << "Batch " << batch.id() << ": " << batch.progress().total << " runs, at most "
                  << (cut ? batch.parallel() : parallel) << " at a time\n";
    BatchProgressPrinter printer(std::cerr, is_terminal(STDERR_FILENO), globals.startDir);
    const auto show = [&] { printer.update(batch.runs(), batch.elapsedSeconds()); };
    batch.onRunChanged = [&](std::size_t) { show(); };
    batch.run(&stopRequest, show, std::chrono::seconds(1));
    batch.onRunChanged = nullptr;
    printer.finish();
    if (batch.stopping())
        std::cerr << "Batch stopped\n";
    for (const std::string& error : batch.historyErrors())
        std::cerr << "kvopt batch: " << error << '\n';
    print_batch_summary(std::cout, batch.id(), batch.runs(), args.json, globals.startDir);
    exitCode = kv::batch_exit_status(batch.runs(), batch.stopSignal());
}

} // namespace

CLI::App* register_batch_commands(CLI::App& app, Globals& globals) {
    auto args = std::make_shared<BatchArgs>();
    auto* batch = app.add_subcommand(
        "batch", "Run the core model on several options files, several at a time: each is "
                 "checked first, then run as the Run menu does (saved in place, no kelvaro.bat) "
                 "and recorded in the run history with the batch's id");
    path_argument(batch->add_option("FILE", args->files,
                                    "Options files, or folders whose *.opt files are run"),
                  globals)
        ->required();
    batch
        ->add_option("-j,--jobs", args->parallel,
                     "Models run at the same time (default: the processors kvopt may use)")
        ->check(CLI::Range(1, 4096));
    batch->add_flag("--strict", args->strict,
                    "Run nothing when a file is refused (default: leave it out)");
    batch->add_flag("--json", args->json,
                    "Print the summary as a JSON object (progress stays on standard error)");
    batch->add_option("--model-exe", args->modelExe,
                      "Core model executable in the model directory (default: from kv-gui.ini)");
    batch->footer("Exit status: 0 when every file ran and its model ended with status 0; 1 "
                  "otherwise (a refused file included); 130, 143 or 129 when Ctrl-C, SIGTERM "
                  "or SIGHUP stopped the batch; 2 usage error.");
    auto slurm = std::make_shared<SlurmArgs>();
    add_slurm_options(*batch, *slurm, globals);
    batch->callback([&globals, args, slurm] {
        if (slurm->enabled)
            run_slurm_batch(globals, *args, *slurm, globals.exitCode);
        else
            run_batch(globals, *args, globals.exitCode);
    });
    return batch;
}

} // namespace kvopt
