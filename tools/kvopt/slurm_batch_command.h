#pragma once

#include "batch_output.h"
#include "commands.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace kvopt {

// The options of `kvopt batch --slurm`.
struct SlurmArgs {
    bool enabled = false;                // --slurm
    std::string partition;               // --partition
    std::string timeLimit;               // --time
    std::string account;                 // --account
    std::vector<std::string> sbatchArgs; // --sbatch-arg, each passed to sbatch as it is
    std::string batchDir;                // --batch-dir; empty: beside the first options file
    bool noWait = false;                 // --no-wait
    bool dryRun = false;                 // --dry-run
};

// Adds --slurm and its options to the batch command.
void add_slurm_options(CLI::App& batch, SlurmArgs& args, const Globals& globals);

// The batch as one job array on a Slurm cluster: the pre-flight, the batch folder, sbatch,
// then (unless --no-wait) squeue until the array has ended, with the progress and summary of
// a batch on this machine; Ctrl-C or SIGTERM cancels the array with scancel.
void run_slurm_batch(const Globals& globals, const BatchArgs& args, const SlurmArgs& slurm,
                     int& exitCode);

} // namespace kvopt
