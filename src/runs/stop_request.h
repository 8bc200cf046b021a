#pragma once

#include <atomic>
#include <memory>

namespace kv {

// A request to stop what is running, made from a signal handler, another thread or the
// waiting code itself. It stays made once made; a waiter watches `fd()`, which poll()
// reports readable from then on.
class StopRequest {
public:
    StopRequest();
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    // Safe inside a signal handler. `signal` is the signal that asked (0: none); the first
    // request's signal is kept.
    void request(int signal = 0) noexcept;
    bool requested() const noexcept { return requested_.load(); }
    int signal() const noexcept { return signal_.load(); }
    int fd() const noexcept { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
    std::atomic<bool> requested_{false};
    std::atomic<int> signal_{0};
    static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
                  "a signal handler may only touch lock-free atomics");
};

// While it lives, SIGINT, SIGTERM and SIGHUP (the terminal closed; unless it is ignored, as
// under nohup) no longer end the process: they make `request`, so the program can stop its
// children and end in order. One at a time per process; the
// previous handlers come back when it goes.
class StopOnTerminationSignals {
public:
    explicit StopOnTerminationSignals(StopRequest& request);
    ~StopOnTerminationSignals();
    StopOnTerminationSignals(const StopOnTerminationSignals&) = delete;
    StopOnTerminationSignals& operator=(const StopOnTerminationSignals&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

// The exit status of a program that ended because of `signal`, as a shell reports it:
// 130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP.
constexpr int exit_status_for_signal(int signal) {
    return 128 + signal;
}

} // namespace kv
