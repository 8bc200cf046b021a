#include "runs/stop_request.h"

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kv {

#ifndef _WIN32

namespace {

// The request SIGINT and SIGTERM make while a StopOnTerminationSignals lives. A signal
// handler can reach nothing but process-wide state, so this is the exception to the rule
// of no globals.
std::atomic<StopRequest*> signal_target{nullptr};

void on_termination_signal(int signal) {
    if (StopRequest* target = signal_target.load())
        target->request(signal);
}

} // namespace

StopRequest::StopRequest() {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
        fds_[0] = fds_[1] = -1;
}

StopRequest::~StopRequest() {
    for (int fd : fds_) {
        if (fd >= 0)
            ::close(fd);
    }
}

void StopRequest::request(int signal) noexcept {
    int none = 0;
    signal_.compare_exchange_strong(none, signal);
    if (requested_.exchange(true))
        return;
    if (fds_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto n = ::write(fds_[1], &byte, 1);
    }
}

struct StopOnTerminationSignals::Saved {
    struct sigaction interrupt {};
    struct sigaction terminate {};
    struct sigaction hangup {};
};

StopOnTerminationSignals::StopOnTerminationSignals(StopRequest& request)
    : saved_(std::make_unique<Saved>()) {
    signal_target.store(&request);
    struct sigaction sa {};
    sa.sa_handler = on_termination_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, &saved_->interrupt);
    sigaction(SIGTERM, &sa, &saved_->terminate);
    // The terminal closed: the same stop. Under nohup the hangup stays ignored.
    sigaction(SIGHUP, nullptr, &saved_->hangup);
    if (saved_->hangup.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &sa, nullptr);
}

StopOnTerminationSignals::~StopOnTerminationSignals() {
    sigaction(SIGINT, &saved_->interrupt, nullptr);
    sigaction(SIGTERM, &saved_->terminate, nullptr);
    sigaction(SIGHUP, &saved_->hangup, nullptr);
    signal_target.store(nullptr);
}

#else

StopRequest::StopRequest() = default;
StopRequest::~StopRequest() = default;
void StopRequest::request(int signal) noexcept {
    int none = 0;
    signal_.compare_exchange_strong(none, signal);
    requested_.store(true);
}
struct StopOnTerminationSignals::Saved {};
StopOnTerminationSignals::StopOnTerminationSignals(StopRequest&) {}
StopOnTerminationSignals::~StopOnTerminationSignals() = default;

#endif

} // namespace kv
