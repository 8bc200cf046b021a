#include "shell/ui/signal_bridge.h"

#include <QSocketNotifier>
#include <atomic>

#ifndef _WIN32
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kv {

#ifndef _WIN32

namespace {

// The write end of the bridge's socket pair. A signal handler can reach nothing but
// process-wide state, so this one descriptor is the exception to the rule of no globals.
std::atomic<int> signal_write_fd{-1};

void on_signal(int) {
    const int fd = signal_write_fd.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto n = ::write(fd, &byte, 1);
    }
}

} // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0)
        return;
    signal_write_fd.store(fds_[0]);
    notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        [[maybe_unused]] const auto n = ::read(fds_[1], buf, sizeof buf);
        emit terminationRequested();
    });
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    // The terminal or the display went away: unsaved changes are kept as on SIGTERM. Under
    // nohup the hangup stays ignored.
    struct sigaction hangup {};
    if (sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &sa, nullptr);
}

SignalBridge::~SignalBridge() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    if (std::signal(SIGHUP, SIG_DFL) == SIG_IGN)
        std::signal(SIGHUP, SIG_IGN);
    signal_write_fd.store(-1);
    for (int fd : fds_) {
        if (fd >= 0)
            ::close(fd);
    }
}

#else

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {}
SignalBridge::~SignalBridge() = default;

#endif

} // namespace kv
