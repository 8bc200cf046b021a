#pragma once

#include "shell/ports.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kv {

class GroupProcess;
class StopRequest;

// A run's console log: the model's standard output and standard error together, in the order
// the model wrote them, kept in "runs/<id>.log" in the state folder for every run (the main
// window's, kvopt run, each run of a batch, each task of a cluster's batch).
inline constexpr std::string_view kConsoleLogFolder = "runs";

std::filesystem::path console_log_path(const std::filesystem::path& stateDir,
                                       std::string_view runId);

// Whether `text` may be a run's id, and so a log's name: letters and digits only, so that one
// read from a file (a cluster task's status) never names a path elsewhere.
bool is_run_id(std::string_view text);

// A file descriptor that closes itself.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();

private:
    int fd_ = -1;
};

// Makes the log's folder and opens the log anew for writing (close-on-exec: the model gets
// it only as its standard output and error). An invalid descriptor when it cannot be made;
// `error` then says why.
UniqueFd open_console_log(const std::filesystem::path& path, std::string* error = nullptr);

// Whether `fd` is /dev/null (nobody reads what goes there).
bool is_null_device(int fd);

// Starts the program of `request` with its standard output and error going to its console log
// (request.consoleFile) and, when `teeFd` >= 0 is not /dev/null, to `teeFd` as well, and waits
// for it; a request made on `stop` stops it as GroupProcess::wait does. The model always
// writes straight into its log; what it adds is passed on to `teeFd` as it comes (looked at
// every 50 ms and at the end). Without a log (none asked for, or it cannot be made) the output
// is this process's own.
LaunchResult run_with_console_log(const LaunchRequest& request, int teeFd, const StopRequest* stop);

// Copies the file `from` over the console log `to` (a cluster's task log, once the task is
// final). Answers an error text, empty on success.
std::string copy_into_console_log(const std::filesystem::path& from,
                                  const std::filesystem::path& to);

} // namespace kv
