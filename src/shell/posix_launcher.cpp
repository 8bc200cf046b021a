#include "shell/posix_launcher.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace kv {

#ifndef _WIN32

namespace {

struct Spawned {
    pid_t pid = -1;
    int error = 0;
};

// Starts the request's program; `stdoutFd` >= 0 becomes the child's standard output.
Spawned spawn(const LaunchRequest& request, int stdoutFd = -1) {
    Spawned out;
    if (request.program.empty()) {
        out.error = ENOENT;
        return out;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!request.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, request.workingDirectory.c_str());
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);

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
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> args;
    args.push_back(request.program);
    args.insert(args.end(), request.arguments.begin(), request.arguments.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const bool hasSeparator = request.program.find('/') != std::string::npos;
    out.error = hasSeparator ? posix_spawn(&out.pid, request.program.c_str(), &actions, &attr,
                                           argv.data(), environ)
                             : posix_spawnp(&out.pid, request.program.c_str(), &actions, &attr,
                                            argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (out.error != 0)
        out.pid = -1;
    return out;
}

LaunchResult wait_for(pid_t pid) {
    LaunchResult result;
    result.started = true;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            result.errorText = std::strerror(errno);
            return result;
        }
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.crashed = true;
        result.exitCode = 128 + WTERMSIG(status);
    }
    return result;
}

bool is_executable_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

} // namespace

LaunchResult PosixLauncher::startDetached(const LaunchRequest& request) {
    LaunchResult result;
    const Spawned child = spawn(request);
    if (child.pid < 0) {
        result.errorText = std::strerror(child.error);
        return result;
    }
    // Not waited for: the child is reaped when this short-lived program ends.
    result.started = true;
    return result;
}

LaunchResult PosixLauncher::runAndWait(const LaunchRequest& request) {
    const Spawned child = spawn(request);
    if (child.pid < 0) {
        LaunchResult result;
        result.errorText = std::strerror(child.error);
        return result;
    }
    return wait_for(child.pid);
}

std::optional<std::string> capture_output(const std::vector<std::string>& argv) {
    if (argv.empty())
        return std::nullopt;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    LaunchRequest r;
    r.program = argv.front();
    r.arguments.assign(argv.begin() + 1, argv.end());
    const Spawned child = spawn(r, fds[1]);
    ::close(fds[1]);
    if (child.pid < 0) {
        ::close(fds[0]);
        return std::nullopt;
    }
    std::string text;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n > 0)
            text.append(buf, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(fds[0]);
    const LaunchResult result = wait_for(child.pid);
    if (result.crashed || result.exitCode != 0)
        return std::nullopt;
    return text;
}

std::optional<std::string> find_program(const std::string& name) {
    if (name.empty())
        return std::nullopt;
    if (name.find('/') != std::string::npos)
        return is_executable_file(name) ? std::optional<std::string>(name) : std::nullopt;
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (is_executable_file(candidate))
            return candidate;
    }
    return std::nullopt;
}

#else

LaunchResult PosixLauncher::startDetached(const LaunchRequest&) {
    return {false, 0, false, "not available on this platform"};
}
LaunchResult PosixLauncher::runAndWait(const LaunchRequest&) {
    return {false, 0, false, "not available on this platform"};
}
std::optional<std::string> capture_output(const std::vector<std::string>&) {
    return {};
}
std::optional<std::string> find_program(const std::string&) {
    return {};
}

#endif

} // namespace kv
