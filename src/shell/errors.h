#pragma once

#include "shell/run_error.h"

#include <stdexcept>
#include <string>

namespace kv {

// A failure as a command's error trap reports it: the error number and its description.
struct ErrorInfo {
    int number = 0;
    std::string text;
};

// What a file dialog reports when the user cancels it.
inline constexpr int kCancelError = 32755;
inline constexpr int kInternalError = 51;

ErrorInfo error_info(int number);
ErrorInfo cancel_error();

// Raised inside a command and caught by its error trap.
class ShellError : public std::runtime_error {
public:
    explicit ShellError(ErrorInfo info) : std::runtime_error(info.text), info_(std::move(info)) {}
    const ErrorInfo& info() const { return info_; }

private:
    ErrorInfo info_;
};

// A failure that was shown to the user where it happened (the options-file writer reports
// its own errors): the trap only records it.
class ReportedFailure : public std::runtime_error {
public:
    explicit ReportedFailure(const std::string& what) : std::runtime_error(what) {}
};

// The error number and text of any exception a trap catches.
ErrorInfo error_of(const std::exception& e);

} // namespace kv
