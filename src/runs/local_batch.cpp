#include "runs/local_batch.h"

#include "runs/batch_session.h"
#include "runs/console_log.h"
#include "runs/kept_options.h"
#include "runs/model_run.h"
#include "runs/open_files.h"
#include "runs/process_group.h"
#include "runs/run_history.h"
#include "runs/stop_request.h"
#include "shell/current_dir.h"
#include "shell/file_commands.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>

#ifndef _WIN32
#include <poll.h>
#include <sched.h>
#endif

namespace kv {

namespace {

using SteadyClock = std::chrono::steady_clock;
using SystemClock = std::chrono::system_clock;

double seconds_between(SteadyClock::time_point from, SteadyClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

} // namespace

struct LocalBatch::Impl {
    // A model that runs now.
    struct Active {
        std::size_t index = 0;
        std::unique_ptr<GroupProcess> process;
        SteadyClock::time_point started;
        RunFacts facts;
    };

    Impl(const BatchContext& c, BatchPreflight preflight, Options o)
        : context(c), options(std::move(o)), saver(c), claims(std::move(preflight.claims)) {
        // No more descriptors are asked for than the batch can use.
        const auto waiting =
            std::count_if(preflight.files.begin(), preflight.files.end(),
                          [](const BatchFile& f) { return f.run.state == BatchRunState::Waiting; });
        options.parallel =
            fit_parallel_runs(std::min<int>(options.parallel, std::max<int>(waiting, 1))).runs;
        if (options.id.empty())
            options.id = new_batch_id(SystemClock::now());
        runs.reserve(preflight.files.size());
        scenarios.reserve(preflight.files.size());
        hashes.reserve(preflight.files.size());
        for (BatchFile& file : preflight.files) {
            runs.push_back(std::move(file.run));
            scenarios.push_back(std::move(file.scenario));
            hashes.push_back(std::move(file.sha256));
        }
    }

    void changed(std::size_t index) const {
        if (onRunChanged != nullptr && *onRunChanged)
            (*onRunChanged)(index);
    }

    void record(const RunFacts& facts, const LaunchResult& launch) {
        const std::filesystem::path file = context.stateDir / std::string(kRunHistoryFileName);
        const std::string error = append_run_record(file, run_record(facts, launch));
        if (!error.empty())
            historyErrors.push_back("Cannot record the run in " + file.string() + ": " + error);
    }

    // A file changed since the pre-flight (edited while the batch waited) is read and checked
    // again, so that an old reading is never saved over it. Answers why it may not run now
    // ("changed since the check", then the reasons); nothing when it may.
    std::optional<std::vector<std::string>> readAgainIfChanged(std::size_t index) {
        BatchRun& run = runs[index];
        if (file_sha256(run.optionsFile) == hashes[index])
            return std::nullopt;
        BatchFile fresh = read_batch_file(context, run.optionsFile);
        claims.releaseOutputs(index);
        std::vector<std::string> why = {std::string(kChangedSinceCheck)};
        if (fresh.run.state != BatchRunState::Waiting) {
            why.insert(why.end(), fresh.run.messages.begin(), fresh.run.messages.end());
            return why;
        }
        claims.forgetDisk(); // the models of the batch have made files since
        if (const auto clash = claims.claimOutputs(index, fresh.scenario)) {
            why.push_back(clash_text(*clash, run.optionsFile, runs[clash->other].optionsFile));
            return why;
        }
        scenarios[index] = std::move(fresh.scenario);
        hashes[index] = std::move(fresh.sha256);
        run.messageFile = std::move(fresh.run.messageFile);
        run.outputFile = std::move(fresh.run.outputFile);
        return std::nullopt;
    }

    // Saves the file in place from the scenario the pre-flight read (or read again, when the
    // file has changed since), then starts its model. A run that fails before its model starts
    // is finished (and recorded) at once.
    void start(std::size_t index) {
        BatchRun& run = runs[index];
        Session& session = saver.session;
        const auto refused = readAgainIfChanged(index);
        session.scenario = std::move(scenarios[index]);
        saver.takeMessages();

        RunFacts facts;
        facts.start = SystemClock::now();
        facts.optionsFile = run.optionsFile;
        facts.model = absolute_path(model_launch_request(session).program);
        facts.messageFile = run.messageFile;
        facts.outputFile = run.outputFile;
        facts.batch = options.id;

        const auto failBeforeStart = [&](std::vector<std::string> messages) {
            facts.end = SystemClock::now();
            if (!facts.options)
                take_options_as_run(facts, context.stateDir);
            const LaunchResult notStarted;
            finish_batch_run(run, notStarted, 0);
            run.messages = std::move(messages);
            record(facts, notStarted);
            changed(index);
        };

        if (refused) {
            failBeforeStart(*refused);
            return;
        }
        try {
            update_default_option_file(session);
        } catch (const std::exception& e) {
            std::vector<std::string> messages = saver.takeMessages();
            if (messages.empty())
                messages.push_back(std::string("Cannot save the options file: ") + e.what());
            failBeforeStart(std::move(messages));
            return;
        }

        const LaunchRequest request = model_launch_request(session);
        take_options_as_run(facts, context.stateDir);
        facts.start = SystemClock::now();
        // Each model writes straight into its own console log, so that the outputs of the
        // runs never mix; one whose log cannot be made writes where the owner said.
        facts.id = new_run_id();
        const std::filesystem::path consoleFile = console_log_path(context.stateDir, facts.id);
        const UniqueFd log = open_console_log(consoleFile);
        if (log)
            facts.consoleFile = consoleFile.string();
        const int out = log ? log.get() : options.modelStdoutFd;
        auto process = std::make_unique<GroupProcess>(request, out, out);
        if (!process->started()) {
            failBeforeStart({"Cannot start the core model " + request.program + ": " +
                             process->result().errorText});
            return;
        }
        run.state = BatchRunState::Running;
        run.consoleFile = facts.consoleFile;
        active.push_back({index, std::move(process), SteadyClock::now(), std::move(facts)});
        changed(index);
    }

    void finish(Active& a) {
        const double duration = seconds_between(a.started, SteadyClock::now());
        a.facts.end = SystemClock::now();
        const LaunchResult& launch = a.process->result();
        finish_batch_run(runs[a.index], launch, duration);
        record(a.facts, launch);
        changed(a.index);
    }

    bool advance() {
        if (!began) {
            began = true;
            beganAt = SteadyClock::now();
        }
        for (auto it = active.begin(); it != active.end();) {
            if (it->process->advance()) {
                Active done = std::move(*it);
                it = active.erase(it);
                finish(done);
            } else {
                ++it;
            }
        }
        while (!stopping && active.size() < static_cast<std::size_t>(options.parallel) &&
               next < runs.size()) {
            // A stop asked for meanwhile comes before every start.
            if (stopRequest != nullptr && stopRequest->requested()) {
                stop(stopRequest->signal());
                break;
            }
            const std::size_t index = next++;
            if (runs[index].state == BatchRunState::Waiting)
                start(index);
        }
        return over();
    }

    bool over() const {
        if (!active.empty())
            return false;
        return stopping || std::none_of(runs.begin() + static_cast<std::ptrdiff_t>(next),
                                        runs.end(), [](const BatchRun& run) {
                                            return run.state == BatchRunState::Waiting;
                                        });
    }

    void stop(int signal) {
        if (stopping)
            return;
        stopping = true;
        stopSignal = signal;
        for (Active& a : active)
            a.process->stop();
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (runs[i].state == BatchRunState::Waiting) {
                runs[i].state = BatchRunState::Finished;
                runs[i].outcome = BatchOutcome::NotStarted;
                changed(i);
            }
        }
    }

    BatchContext context;
    Options options;
    BatchSession saver; // the session each run is saved and started on
    std::vector<BatchRun> runs;
    std::vector<Scenario> scenarios;
    std::vector<std::string> hashes; // of each file as the pre-flight read it
    BatchClaims claims;
    const StopRequest* stopRequest = nullptr; // while run() runs
    std::vector<Active> active;
    std::size_t next = 0;
    bool began = false;
    SteadyClock::time_point beganAt;
    bool stopping = false;
    int stopSignal = 0;
    std::vector<std::string> historyErrors;
    const std::function<void(std::size_t)>* onRunChanged = nullptr; // the owner's
};

LocalBatch::LocalBatch(const BatchContext& context, BatchPreflight preflight, Options options)
    : impl_(std::make_unique<Impl>(context, std::move(preflight), std::move(options))) {
    impl_->onRunChanged = &onRunChanged;
}

LocalBatch::~LocalBatch() {
    if (impl_->active.empty())
        return;
    onRunChanged = nullptr;
    impl_->stop(0);
    run();
}

int LocalBatch::parallel() const {
    return impl_->options.parallel;
}

const std::string& LocalBatch::id() const {
    return impl_->options.id;
}

const std::vector<BatchRun>& LocalBatch::runs() const {
    return impl_->runs;
}

BatchProgress LocalBatch::progress() const {
    return batch_progress(impl_->runs, elapsedSeconds());
}

bool LocalBatch::advance() {
    return impl_->advance();
}

bool LocalBatch::over() const {
    return impl_->over();
}

std::vector<int> LocalBatch::readyFds() const {
    std::vector<int> fds;
    for (const Impl::Active& a : impl_->active) {
        if (a.process->readyFd() >= 0)
            fds.push_back(a.process->readyFd());
    }
    return fds;
}

int LocalBatch::pollTimeoutMs() const {
    if (!impl_->began || impl_->over())
        return 0;
    int timeout = -1;
    for (const Impl::Active& a : impl_->active) {
        const int t = a.process->pollTimeoutMs();
        if (t >= 0)
            timeout = timeout < 0 ? t : std::min(timeout, t);
    }
    return timeout;
}

void LocalBatch::stop(int signal) {
    impl_->stop(signal);
}

bool LocalBatch::stopping() const {
    return impl_->stopping;
}

int LocalBatch::stopSignal() const {
    return impl_->stopSignal;
}

void LocalBatch::run(const StopRequest* stopRequest) {
    run(stopRequest, {}, std::chrono::milliseconds(-1));
}

void LocalBatch::run(const StopRequest* stopRequest, const std::function<void()>& tick,
                     std::chrono::milliseconds every) {
    const int tickMs = tick ? static_cast<int>(every.count()) : -1;
    impl_->stopRequest = stopRequest;
    struct Forget {
        Impl& impl;
        ~Forget() { impl.stopRequest = nullptr; }
    } forget{*impl_};
    if (stopRequest != nullptr && stopRequest->requested() && !stopping())
        stop(stopRequest->signal());
    while (!advance()) {
        if (stopRequest != nullptr && stopRequest->requested() && !stopping()) {
            stop(stopRequest->signal());
            continue;
        }
        int timeout = pollTimeoutMs();
        if (tickMs >= 0)
            timeout = timeout < 0 ? tickMs : std::min(timeout, tickMs);
#ifndef _WIN32
        std::vector<pollfd> fds;
        for (const int fd : readyFds())
            fds.push_back({fd, POLLIN, 0});
        if (stopRequest != nullptr && !stopping() && stopRequest->fd() >= 0)
            fds.push_back({stopRequest->fd(), POLLIN, 0});
        ::poll(fds.data(), fds.size(), timeout);
#else
        std::this_thread::sleep_for(std::chrono::milliseconds(timeout < 0 ? 50 : timeout));
#endif
        if (tick)
            tick();
    }
}

double LocalBatch::elapsedSeconds() const {
    if (!impl_->began)
        return 0;
    return seconds_between(impl_->beganAt, SteadyClock::now());
}

const std::vector<std::string>& LocalBatch::historyErrors() const {
    return impl_->historyErrors;
}

int available_processors() {
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0)
            return count;
    }
#endif
    return static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
}

} // namespace kv
