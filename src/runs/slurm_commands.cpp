// The Slurm commands of the system: sbatch, squeue and scancel started as argument vectors,
// their two output streams collected, each given a time limit.
#include "runs/process_group.h"
#include "runs/slurm_batch.h"
#include "runs/stop_request.h"

#include <cerrno>
#include <cstring>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kv {

namespace {

#ifndef _WIN32

using Clock = std::chrono::steady_clock;

enum class Wait { Ended, TimedOut, Interrupted };

int ms_until(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

// Reads both pipes to their end at once, so a program that fills one while the other is
// read does not wait forever; gives up at `deadline` or when a stop is asked for.
Wait drain(int outFd, int errFd, std::string& out, std::string& err, Clock::time_point deadline,
           const StopRequest* interruptOn) {
    pollfd fds[3] = {{outFd, POLLIN, 0},
                     {errFd, POLLIN, 0},
                     {interruptOn != nullptr ? interruptOn->fd() : -1, POLLIN, 0}};
    std::string* texts[2] = {&out, &err};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        const int ready = ::poll(fds, 3, ms_until(deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (interruptOn != nullptr && interruptOn->requested())
            return Wait::Interrupted;
        if (ready == 0)
            return Wait::TimedOut;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    return Wait::Ended;
}

// Waits for the program to end after it has closed its output.
Wait reap(int pid, int& status, Clock::time_point deadline, const StopRequest* interruptOn) {
    constexpr auto kLook = std::chrono::milliseconds(5);
    for (;;) {
        const int got = ::waitpid(pid, &status, WNOHANG);
        if (got == pid || (got < 0 && errno != EINTR))
            return Wait::Ended;
        if (interruptOn != nullptr && interruptOn->requested())
            return Wait::Interrupted;
        if (Clock::now() >= deadline)
            return Wait::TimedOut;
        std::this_thread::sleep_for(kLook);
    }
}

class SystemSlurmCommands : public SlurmCommands {
public:
    explicit SystemSlurmCommands(std::chrono::milliseconds timeLimit) : timeLimit_(timeLimit) {}

    CommandOutput run(const std::vector<std::string>& argv,
                      const StopRequest* interruptOn) override {
        CommandOutput result;
        if (argv.empty())
            return result;
        if (interruptOn != nullptr && interruptOn->requested()) {
            result.interrupted = true;
            result.errorText = argv.front() + " was not run: the batch is being stopped";
            return result;
        }
        int outPipe[2];
        int errPipe[2];
        if (::pipe2(outPipe, O_CLOEXEC) != 0) {
            result.errorText = std::strerror(errno);
            return result;
        }
        if (::pipe2(errPipe, O_CLOEXEC) != 0) {
            result.errorText = std::strerror(errno);
            ::close(outPipe[0]);
            ::close(outPipe[1]);
            return result;
        }
        LaunchRequest request;
        request.program = argv.front();
        request.arguments.assign(argv.begin() + 1, argv.end());
        const Spawned child = spawn_program(
            request,
            {.stdoutFd = outPipe[1], .ownGroup = true, .nullStdin = true, .stderrFd = errPipe[1]});
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        if (child.pid < 0) {
            result.errorText = argv.front() + ": " + std::strerror(child.error);
        } else {
            const Clock::time_point deadline = Clock::now() + timeLimit_;
            int status = 0;
            Wait wait =
                drain(outPipe[0], errPipe[0], result.out, result.err, deadline, interruptOn);
            if (wait == Wait::Ended)
                wait = reap(child.pid, status, deadline, interruptOn);
            if (wait != Wait::Ended) {
                // Not answering, or no longer wanted: the program goes with whatever it has
                // started.
                ::kill(-child.pid, SIGKILL);
                while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
                }
                result.interrupted = wait == Wait::Interrupted;
                result.timedOut = wait == Wait::TimedOut;
                result.errorText = result.interrupted
                                       ? argv.front() + " was ended: the batch is being stopped"
                                       : argv.front() + " did not answer within " +
                                             std::to_string(timeLimit_.count() / 1000) + " s";
            } else {
                result.started = true;
                result.exitCode = WIFEXITED(status)     ? WEXITSTATUS(status)
                                  : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                                        : -1;
            }
        }
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }

private:
    std::chrono::milliseconds timeLimit_;
};

#else

class SystemSlurmCommands : public SlurmCommands {
public:
    explicit SystemSlurmCommands(std::chrono::milliseconds) {}
    CommandOutput run(const std::vector<std::string>&, const StopRequest*) override {
        CommandOutput result;
        result.errorText = "Slurm's commands are not available on this platform";
        return result;
    }
};

#endif

} // namespace

std::unique_ptr<SlurmCommands> system_slurm_commands(std::chrono::milliseconds timeLimit) {
    return std::make_unique<SystemSlurmCommands>(timeLimit);
}

} // namespace kv
