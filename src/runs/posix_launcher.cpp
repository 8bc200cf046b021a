#include "runs/posix_launcher.h"

#include "runs/console_log.h"
#include "runs/process_group.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv {

#ifndef _WIN32

namespace {

bool is_executable_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

} // namespace

LaunchResult PosixLauncher::startDetached(const LaunchRequest& request) {
    LaunchResult result;
    const Spawned child = spawn_program(request, {});
    if (child.pid < 0) {
        result.errorText = std::strerror(child.error);
        return result;
    }
    // Not waited for: the child is reaped when this short-lived program ends.
    result.started = true;
    return result;
}

LaunchResult PosixLauncher::runAndWait(const LaunchRequest& request) {
    // The model's output goes to the terminal as it comes, and into its console log.
    return run_with_console_log(request, STDOUT_FILENO, &stop_);
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
    const Spawned child = spawn_program(r, {fds[1]});
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
    const LaunchResult result = wait_for_child(child.pid);
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
LaunchResult PosixLauncher::runAndWait(const LaunchRequest& request) {
    return GroupProcess(request).wait(&stop_);
}
std::optional<std::string> capture_output(const std::vector<std::string>&) {
    return {};
}
std::optional<std::string> find_program(const std::string&) {
    return {};
}

#endif

} // namespace kv
