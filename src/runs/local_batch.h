#pragma once

#include "runs/batch.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class StopRequest;

// A batch run on this machine, at most `parallel` models at a time, each in a process group
// of its own. A run saves its file in place from the scenario the pre-flight read (read and
// checked again first when the file has changed since), starts the
// model from the model directory with the file's full path as its one argument (no shell, no
// kelvaro.bat: parallel runs would overwrite it) and, once the model has ended, adds a line
// with the batch's id to the run history.
//
// Single-threaded and never blocking except in run(): an owner with an event loop of its own
// (a window) watches readyFds() with pollTimeoutMs() and calls advance(); run() is that loop
// for a program without one (kvopt).
class LocalBatch {
public:
    struct Options {
        // At least 1, and no more than the limit of open files allows (see parallel()).
        int parallel = 1;
        std::string id; // the batch's id; empty: a new one
        // Each model's standard output and error go to its console log; where that cannot be
        // made, here when >= 0 (kvopt keeps its own standard output for the summary), else to
        // this process's own.
        int modelStdoutFd = -1;
    };

    // Nothing starts before the first advance(). A refused pre-flight gives a batch that is
    // over at once, its runs as the pre-flight left them.
    LocalBatch(const BatchContext& context, BatchPreflight preflight, Options options);
    // Models still running are stopped and waited for (SIGTERM to each group, SIGKILL 5 s
    // later), and recorded as stopped.
    ~LocalBatch();
    LocalBatch(const LocalBatch&) = delete;
    LocalBatch& operator=(const LocalBatch&) = delete;

    const std::string& id() const;
    // Models at most at once: as asked for, unless there are fewer files to run or the limit
    // of open files allows fewer (it is raised as far as it may be first).
    int parallel() const;
    // One per file, in the pre-flight's order.
    const std::vector<BatchRun>& runs() const;
    BatchProgress progress() const;

    // Reaps the models that have ended (recording them), then starts waiting runs until
    // `parallel` run. Answers whether the batch is over: nothing runs and nothing will.
    bool advance();
    bool over() const;

    // Descriptors that become readable when something is due, and how long a poll may wait
    // before advance() must be called anyway (-1: until a descriptor is ready).
    std::vector<int> readyFds() const;
    int pollTimeoutMs() const;

    // Stops the batch: every running model is stopped as Model > Stop Run stops it, and no
    // run starts any more (the waiting ones become NotStarted). The batch is over once the
    // stopped models have ended. `signal` is the signal that asked for it (0: none).
    void stop(int signal = 0);
    bool stopping() const;
    int stopSignal() const;

    // Runs the batch to its end; a request made on `stop` before or meanwhile stops it (with
    // the request's signal): it is looked at before every start.
    void run(const StopRequest* stop = nullptr);
    // The same, calling `tick` at least every `every` meanwhile (a progress line's clock).
    void run(const StopRequest* stop, const std::function<void()>& tick,
             std::chrono::milliseconds every);

    // Called when a run starts or finishes, with its index in runs().
    std::function<void(std::size_t)> onRunChanged;

    // Seconds since the first advance().
    double elapsedSeconds() const;

    // Why runs could not be added to the history (one message per failed write); the runs
    // themselves are not affected.
    const std::vector<std::string>& historyErrors() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The number of processors this process may run on (its CPU affinity), at least 1.
int available_processors();

} // namespace kv
