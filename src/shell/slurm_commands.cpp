// The Slurm commands of the system: sbatch, squeue and scancel started as argument vectors,
// their two output streams collected.
#include "shell/process_group.h"
#include "shell/slurm_batch.h"

#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace kv {

namespace {

#ifndef _WIN32

// Reads both pipes to their end at once, so a program that fills one while the other is
// read does not wait forever.
void drain(int outFd, int errFd, std::string& out, std::string& err) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* texts[2] = {&out, &err};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
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
}

class SystemSlurmCommands : public SlurmCommands {
public:
    CommandOutput run(const std::vector<std::string>& argv) override {
        CommandOutput result;
        if (argv.empty())
            return result;
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
            drain(outPipe[0], errPipe[0], result.out, result.err);
            const LaunchResult ended = wait_for_child(child.pid);
            result.started = true;
            result.exitCode = ended.exitCode;
        }
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }
};

#else

class SystemSlurmCommands : public SlurmCommands {
public:
    CommandOutput run(const std::vector<std::string>&) override {
        CommandOutput result;
        result.errorText = "Slurm's commands are not available on this platform";
        return result;
    }
};

#endif

} // namespace

std::unique_ptr<SlurmCommands> system_slurm_commands() {
    return std::make_unique<SystemSlurmCommands>();
}

} // namespace kv
