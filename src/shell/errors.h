#pragma once

#include <stdexcept>
#include <string>

namespace kv {

// A failure as the program reports it: the classic error number and its description.
struct ErrorInfo {
    int number = 0;
    std::string text;
};

inline constexpr int kErrOverflow = 6;
inline constexpr int kErrInternal = 51;
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrPermissionDenied = 70;
inline constexpr int kErrPathFileAccess = 75;
inline constexpr int kErrPathNotFound = 76;
inline constexpr int kErrCancel = 32755;

// The numbered error closest to a C library error code.
ErrorInfo error_from_errno(int err);
// What a cancelled file dialog reports.
ErrorInfo cancel_error();

// Raised inside a procedure and caught by its error trap.
class ShellError : public std::runtime_error {
public:
    explicit ShellError(ErrorInfo info) : std::runtime_error(info.text), info_(std::move(info)) {}
    const ErrorInfo& info() const { return info_; }

private:
    ErrorInfo info_;
};

// A failure that was already shown to the user where it happened (the options-file writer
// reports its own errors): the trap only records it.
class ReportedFailure : public std::runtime_error {
public:
    explicit ReportedFailure(const std::string& what) : std::runtime_error(what) {}
};

// The error number and text of any exception a trap catches.
ErrorInfo error_of(const std::exception& e);

} // namespace kv
