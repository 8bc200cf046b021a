#include "shell/run_error.h"

#include <cerrno>

namespace kv {

std::string error_text(int number) {
    switch (number) {
    case kInvalidProcedureCall:
        return "Invalid procedure call or argument";
    case kOverflow:
        return "Overflow";
    case kSubscriptOutOfRange:
        return "Subscript out of range";
    case kFileNotFound:
        return "File not found";
    case kDeviceIoError:
        return "Device I/O error";
    case kDiskFull:
        return "Disk full";
    case kInputPastEndOfFile:
        return "Input past end of file";
    case kPermissionDenied:
        return "Permission denied";
    case kPathFileAccessError:
        return "Path/File access error";
    case kPathNotFound:
        return "Path not found";
    case kDuplicateKey:
        return "This key is already associated with an element of this collection";
    default:
        return "Application-defined or object-defined error";
    }
}

int error_number_from_errno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return kPermissionDenied;
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return kDiskFull;
    case EIO:
        return kDeviceIoError;
    default:
        return kPathFileAccessError;
    }
}

} // namespace kv
