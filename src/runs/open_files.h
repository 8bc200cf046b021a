#pragma once

namespace kv {

// Each model a batch runs holds one descriptor (its process descriptor) for as long as it
// runs, and the batch itself needs a few at a time besides (a save, a history line, a file
// read again), so the number of models at once is bounded by the limit of open files.
struct ParallelRuns {
    int runs = 1;   // models at once: as many as asked for, or as many as fit
    long limit = 0; // the limit of open files afterwards (0: not known)
};

// Raises the soft limit of open files as far as `wanted` models at once need (never beyond the
// hard limit, and no further than needed: models inherit it), then answers how many fit.
ParallelRuns fit_parallel_runs(int wanted);

// The arithmetic: with `limit` descriptors, `inUse` of them open, how many of `wanted` models
// fit (at least 1).
int runs_fitting(long limit, long inUse, int wanted);

} // namespace kv
