#include "runs/console_log.h"

#include "runs/process_group.h"
#include "runs/stop_request.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv {

namespace fs = std::filesystem;

fs::path console_log_path(const fs::path& stateDir, std::string_view runId) {
    return stateDir / std::string(kConsoleLogFolder) / (std::string(runId) + ".log");
}

bool is_run_id(std::string_view text) {
    return !text.empty() && text.size() <= 32 && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

#ifndef _WIN32

namespace {

// How often the log is looked at for new output to pass on while the model runs.
constexpr int kFollowMs = 50;
constexpr std::size_t kCopyBuffer = 1 << 16;

bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Passes on what the model has added to its log since the last look: the model writes
// straight into the log at full speed and the copy to the terminal trails it, without a pipe
// between them that would hold the model up. sendfile copies inside the kernel; where it
// cannot (an old kernel, an odd descriptor), a read and a write do.
class LogFollower {
public:
    LogFollower(UniqueFd log, int teeFd) : log_(std::move(log)), tee_(teeFd) {}

    void passOn() {
        while (tee_ >= 0 && log_) {
            if (useSendfile_) {
                const ssize_t n = ::sendfile(tee_, log_.get(), nullptr, kCopyBuffer);
                if (n > 0)
                    continue;
                if (n == 0)
                    return;
                if (errno == EINTR)
                    continue;
                if (errno != EINVAL && errno != ENOSYS) {
                    tee_ = -1; // a closed terminal ends the copy; the model goes on
                    return;
                }
                useSendfile_ = false;
                buffer_ = std::make_unique<char[]>(kCopyBuffer);
            }
            const ssize_t n = ::read(log_.get(), buffer_.get(), kCopyBuffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            if (!write_all(tee_, buffer_.get(), static_cast<std::size_t>(n)))
                tee_ = -1;
        }
    }

private:
    UniqueFd log_;
    int tee_;
    bool useSendfile_ = true;
    std::unique_ptr<char[]> buffer_;
};

LaunchResult run_teed(const LaunchRequest& request, int logFd, int teeFd, const StopRequest* stop) {
    LogFollower follower(UniqueFd(::open(request.consoleFile.c_str(), O_RDONLY | O_CLOEXEC)),
                         teeFd);
    GroupProcess process(request, logFd, logFd);
    while (!process.advance()) {
        if (stop != nullptr && stop->requested() && !process.stopping()) {
            process.stop();
            continue;
        }
        pollfd fds[2];
        nfds_t n = 0;
        if (process.readyFd() >= 0)
            fds[n++] = {process.readyFd(), POLLIN, 0};
        if (stop != nullptr && !process.stopping() && stop->fd() >= 0)
            fds[n++] = {stop->fd(), POLLIN, 0};
        const int due = process.pollTimeoutMs();
        ::poll(fds, n, due < 0 ? kFollowMs : std::min(due, kFollowMs));
        follower.passOn();
    }
    follower.passOn();
    return process.result();
}

} // namespace

UniqueFd::~UniqueFd() {
    if (fd_ >= 0)
        ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

int UniqueFd::release() {
    return std::exchange(fd_, -1);
}

UniqueFd open_console_log(const fs::path& path, std::string* error) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd && error != nullptr)
        *error = std::strerror(errno);
    return fd;
}

bool is_null_device(int fd) {
    struct stat a {};
    struct stat b {};
    return ::fstat(fd, &a) == 0 && S_ISCHR(a.st_mode) && ::stat("/dev/null", &b) == 0 &&
           a.st_rdev == b.st_rdev;
}

LaunchResult run_with_console_log(const LaunchRequest& request, int teeFd,
                                  const StopRequest* stop) {
    UniqueFd log;
    if (!request.consoleFile.empty())
        log = open_console_log(request.consoleFile);
    if (!log)
        return GroupProcess(request).wait(stop);
    if (teeFd < 0 || is_null_device(teeFd))
        return GroupProcess(request, log.get(), log.get()).wait(stop);
    return run_teed(request, log.get(), teeFd, stop);
}

#else

UniqueFd::~UniqueFd() = default;
UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    fd_ = other.release();
    return *this;
}
int UniqueFd::release() {
    return std::exchange(fd_, -1);
}
UniqueFd open_console_log(const fs::path&, std::string* error) {
    if (error != nullptr)
        *error = "not available on this platform";
    return {};
}
bool is_null_device(int) {
    return false;
}
LaunchResult run_with_console_log(const LaunchRequest& request, int, const StopRequest* stop) {
    return GroupProcess(request).wait(stop);
}

#endif

std::string copy_into_console_log(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_directories(to.parent_path(), ec);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    return ec ? ec.message() : std::string();
}

} // namespace kv
