#include "shell/errors.h"

#include <cerrno>
#include <system_error>

namespace kv {

ErrorInfo error_from_errno(int err) {
    switch (err) {
    case ENOENT:
        return {kErrFileNotFound, "File not found"};
    case ENOTDIR:
        return {kErrPathNotFound, "Path not found"};
    case EACCES:
    case EPERM:
    case EROFS:
        return {kErrPermissionDenied, "Permission denied"};
    case ENOSPC:
        return {61, "Disk full"};
    case EEXIST:
        return {58, "File already exists"};
    case ENOEXEC:
        return {kErrPathFileAccess, "Path/File access error"};
    default:
        return {kErrPathFileAccess, "Path/File access error"};
    }
}

ErrorInfo cancel_error() {
    return {kErrCancel, "Cancel was selected."};
}

ErrorInfo error_of(const std::exception& e) {
    if (const auto* shell = dynamic_cast<const ShellError*>(&e))
        return shell->info();
    if (const auto* sys = dynamic_cast<const std::system_error*>(&e)) {
        if (sys->code().category() == std::generic_category() ||
            sys->code().category() == std::system_category())
            return error_from_errno(sys->code().value());
    }
    if (dynamic_cast<const std::overflow_error*>(&e) != nullptr)
        return {kErrOverflow, "Overflow"};
    return {kErrInternal, std::string("Internal error: ") + e.what()};
}

} // namespace kv
