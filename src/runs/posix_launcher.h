#pragma once

#include "runs/stop_request.h"
#include "shell/ports.h"

#include <optional>
#include <string>
#include <vector>

namespace kv {

// The Launcher of the programs without a window system (kvopt): posix_spawn and waitpid,
// argument vectors, no shell. Children start with the default signal dispositions; a
// program waited for runs in a process group of its own (GroupProcess), its output teed to
// standard output and its console log (run_with_console_log).
class PosixLauncher : public Launcher {
public:
    LaunchResult startDetached(const LaunchRequest& request) override;
    LaunchResult runAndWait(const LaunchRequest& request) override;
    // Safe inside a signal handler. Kept for the next wait when nothing is waited for.
    void stop() override { stop_.request(); }
    // The request stop() makes; SIGINT and SIGTERM can be pointed at it.
    StopRequest& stopRequest() { return stop_; }

private:
    StopRequest stop_;
};

// Runs a program, waits for it and answers what it wrote on standard output, or nullopt
// when it could not be started or did not end with status 0.
std::optional<std::string> capture_output(const std::vector<std::string>& argv);

// The full path of a program found in the directories of PATH; a name holding a separator
// is answered as it is when it names an executable file.
std::optional<std::string> find_program(const std::string& name);

} // namespace kv
