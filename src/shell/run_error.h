#pragma once

#include <stdexcept>
#include <string>

namespace kv {

// The program's run-time errors keep the numbers and texts users know from its messages
// ("Read options error Input past end of file62", "file error 61").
enum ErrorNumber : int {
    kInvalidProcedureCall = 5,
    kOverflow = 6,
    kSubscriptOutOfRange = 9,
    kFileNotFound = 53,
    kDeviceIoError = 57,
    kDiskFull = 61,
    kInputPastEndOfFile = 62,
    kPermissionDenied = 70,
    kPathFileAccessError = 75,
    kPathNotFound = 76,
    kDuplicateKey = 457,
};

// The standard text of an error number.
std::string error_text(int number);

// The error number of a failed file-system call (errno), for a file or a directory path.
int error_number_from_errno(int err);

// A run-time error as the packet readers and the writer raise it internally.
class RunError : public std::runtime_error {
public:
    explicit RunError(int number) : std::runtime_error(error_text(number)), number_(number) {}
    int number() const { return number_; }

private:
    int number_;
};

} // namespace kv
