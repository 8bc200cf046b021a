#pragma once

#include "shell/ports.h"

#include <chrono>

namespace kv {

class StopRequest;

// How a program is started: as an argument vector, never through a shell, with the default
// handling of SIGINT, SIGTERM and SIGPIPE.
struct SpawnOptions {
    int stdoutFd = -1;      // >= 0: becomes the child's standard output
    bool ownGroup = false;  // the child leads a process group of its own
    bool nullStdin = false; // standard input from /dev/null
    int stderrFd = -1;      // >= 0: becomes the child's standard error
};

struct Spawned {
    int pid = -1;
    int error = 0; // errno of a failed start
};

Spawned spawn_program(const LaunchRequest& request, const SpawnOptions& options);

// Waits for a child and says how it ended: its exit status, or the signal that ended it.
LaunchResult wait_for_child(int pid);

// A program started in a process group of its own (stdin from /dev/null), so that a stop
// reaches every process it has started. A stop sends SIGTERM to the whole group and, when the
// group has not ended `kGracePeriod` later, SIGKILL; the run is over once the program has ended
// and, after a stop, its whole group.
//
// It never blocks except in wait(): an owner that watches several (a batch) polls their
// readyFd() with pollTimeoutMs() and calls advance() when something is due.
class GroupProcess {
public:
    static constexpr std::chrono::milliseconds kGracePeriod{5000};

    // `stdoutFd` and `stderrFd` >= 0 become the program's standard output and error (-1: this
    // process's own).
    explicit GroupProcess(const LaunchRequest& request, int stdoutFd = -1, int stderrFd = -1);
    // A process still running is killed with its group: it never outlives its owner.
    ~GroupProcess();
    GroupProcess(const GroupProcess&) = delete;
    GroupProcess& operator=(const GroupProcess&) = delete;

    bool started() const { return result_.started; }
    int pid() const { return pid_; }
    // Readable once the program has ended; -1 when the system offers no such descriptor
    // (pollTimeoutMs() then asks to look regularly).
    int readyFd() const { return reaped_ ? -1 : pidfd_; }
    // How long a poll may wait before advance() has something to do; -1: until readyFd().
    int pollTimeoutMs() const;

    // SIGTERM to the group; SIGKILL once the grace period is over. The result says `stopped`.
    void stop();
    bool stopping() const { return stopping_; }
    // Does what is due (reaps the program, sends SIGKILL when the grace period is over) and
    // answers whether the run is over.
    bool advance();
    // How the program ended (or why it did not start); complete once advance() answers true.
    const LaunchResult& result() const { return result_; }

    // Waits until the run is over; a request made on `stop` meanwhile (or before) stops it.
    LaunchResult wait(const StopRequest* stop = nullptr);

private:
    int pid_ = -1;
    int pidfd_ = -1;
    bool reaped_ = false;
    bool stopping_ = false;
    bool killed_ = false;
    bool over_ = false;
    std::chrono::steady_clock::time_point stopped_;
    std::chrono::steady_clock::time_point deadline_;
    LaunchResult result_;
};

// Whether any process of the group led by `pgid` still runs (one that has ended but is not
// reaped yet does not count).
bool process_group_alive(int pgid);

} // namespace kv
