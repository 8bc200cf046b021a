#include "runs/process_group.h"

#include "runs/stop_request.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace kv {

#ifndef _WIN32

namespace {

using Clock = std::chrono::steady_clock;

// How often the rest of a stopped group is looked at once its leader has ended: often at
// first (most processes end at once), then less.
constexpr int kGroupLookMs = 2;
constexpr int kGroupLookLaterMs = 25;
constexpr std::chrono::milliseconds kGroupLookOftenFor{200};
// How long a stopped group may take to go after SIGKILL before the run counts as over.
constexpr std::chrono::seconds kKillWait{1};
// How often a program is looked at where the system offers no descriptor for its end.
constexpr int kFallbackLookMs = 10;

int open_pidfd(int pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

LaunchResult decode_status(int status) {
    LaunchResult result;
    result.started = true;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.crashed = true;
        result.signal = WTERMSIG(status);
        result.exitCode = 128 + result.signal;
    }
    return result;
}

} // namespace

Spawned spawn_program(const LaunchRequest& request, const SpawnOptions& options) {
    Spawned out;
    if (request.program.empty()) {
        out.error = ENOENT;
        return out;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!request.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, request.workingDirectory.c_str());
    if (options.stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, options.stdoutFd, STDOUT_FILENO);
    if (options.stderrFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, options.stderrFd, STDERR_FILENO);
    // A process outside the terminal's foreground group that reads the terminal is halted.
    if (options.nullStdin)
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (options.ownGroup) {
        posix_spawnattr_setpgroup(&attr, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr, flags);

    std::vector<std::string> args;
    args.push_back(request.program);
    args.insert(args.end(), request.arguments.begin(), request.arguments.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const bool hasSeparator = request.program.find('/') != std::string::npos;
    out.error =
        hasSeparator
            ? posix_spawn(&pid, request.program.c_str(), &actions, &attr, argv.data(), environ)
            : posix_spawnp(&pid, request.program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    out.pid = out.error == 0 ? pid : -1;
    return out;
}

LaunchResult wait_for_child(int pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            LaunchResult result;
            result.started = true;
            result.errorText = std::strerror(errno);
            return result;
        }
    }
    return decode_status(status);
}

bool process_group_alive(int pgid) {
    if (pgid <= 0 || (::kill(-pgid, 0) != 0 && errno != EPERM))
        return false;
#ifdef __linux__
    // Ended processes stay in the group until they are reaped, and an orphan is reaped by
    // init, which some systems (containers) do only now and then: look for one still running.
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return true;
    bool running = false;
    while (const dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        const std::string path = std::string("/proc/") + entry->d_name + "/stat";
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf - 1);
        ::close(fd);
        if (n <= 0)
            continue;
        buf[n] = '\0';
        // "pid (name) state ppid pgrp ...": the name may hold blanks and parentheses.
        const char* end = std::strrchr(buf, ')');
        char state = 0;
        int ppid = 0;
        int pgrp = 0;
        if (end != nullptr && std::sscanf(end + 1, " %c %d %d", &state, &ppid, &pgrp) == 3 &&
            pgrp == pgid && state != 'Z' && state != 'X') {
            running = true;
            break;
        }
    }
    ::closedir(proc);
    return running;
#else
    return true;
#endif
}

GroupProcess::GroupProcess(const LaunchRequest& request, int stdoutFd, int stderrFd) {
    const Spawned child = spawn_program(request, {stdoutFd, true, true, stderrFd});
    if (child.pid < 0) {
        result_.errorText = std::strerror(child.error);
        over_ = true;
        return;
    }
    pid_ = child.pid;
    // The child is not reaped before this, so its descriptor can be had even if it has
    // ended already.
    pidfd_ = open_pidfd(pid_);
    result_.started = true;
}

GroupProcess::~GroupProcess() {
    if (started() && !over_) {
        ::kill(-pid_, SIGKILL);
        if (!reaped_)
            wait_for_child(pid_);
    }
    if (pidfd_ >= 0)
        ::close(pidfd_);
}

int GroupProcess::pollTimeoutMs() const {
    if (over_)
        return 0;
    int timeout = -1;
    if (!reaped_ && pidfd_ < 0)
        timeout = kFallbackLookMs;
    if (stopping_) {
        if (reaped_)
            timeout =
                Clock::now() < stopped_ + kGroupLookOftenFor ? kGroupLookMs : kGroupLookLaterMs;
        if (!killed_) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
            const int untilKill = static_cast<int>(std::max<decltype(left)>(left, 0));
            timeout = timeout < 0 ? untilKill : std::min(timeout, untilKill);
        }
    }
    return timeout;
}

void GroupProcess::stop() {
    if (over_ || stopping_)
        return;
    stopping_ = true;
    result_.stopped = true;
    stopped_ = Clock::now();
    deadline_ = stopped_ + kGracePeriod;
    ::kill(-pid_, SIGTERM);
}

bool GroupProcess::advance() {
    if (over_)
        return true;
    if (!reaped_) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            const bool stopped = result_.stopped;
            result_ = r == pid_ ? decode_status(status) : LaunchResult{true, 0, false, {}};
            result_.stopped = stopped;
            reaped_ = true;
        }
    }
    if (!stopping_) {
        over_ = reaped_;
        return over_;
    }
    if (!killed_ && Clock::now() >= deadline_) {
        ::kill(-pid_, SIGKILL);
        killed_ = true;
    }
    // After a stop the run lasts until nothing of the group is left; a process that cannot
    // take even SIGKILL (stuck in the kernel) is given up on a little later.
    over_ = reaped_ &&
            (!process_group_alive(pid_) || (killed_ && Clock::now() >= deadline_ + kKillWait));
    return over_;
}

LaunchResult GroupProcess::wait(const StopRequest* stopRequest) {
    while (!advance()) {
        if (stopRequest != nullptr && stopRequest->requested() && !stopping_) {
            stop();
            continue;
        }
        pollfd fds[2];
        nfds_t n = 0;
        if (readyFd() >= 0)
            fds[n++] = {readyFd(), POLLIN, 0};
        if (stopRequest != nullptr && !stopping_ && stopRequest->fd() >= 0)
            fds[n++] = {stopRequest->fd(), POLLIN, 0};
        ::poll(fds, n, pollTimeoutMs());
    }
    return result_;
}

#else

Spawned spawn_program(const LaunchRequest&, const SpawnOptions&) {
    return {-1, ENOSYS};
}
LaunchResult wait_for_child(int) {
    return {};
}
bool process_group_alive(int) {
    return false;
}
GroupProcess::GroupProcess(const LaunchRequest&, int, int) {
    result_.errorText = "not available on this platform";
    over_ = true;
}
GroupProcess::~GroupProcess() = default;
int GroupProcess::pollTimeoutMs() const {
    return 0;
}
void GroupProcess::stop() {}
bool GroupProcess::advance() {
    return true;
}
LaunchResult GroupProcess::wait(const StopRequest*) {
    return result_;
}

#endif

} // namespace kv
