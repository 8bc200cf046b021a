#include "shell/errors.h"

#include <system_error>

namespace kv {

ErrorInfo error_info(int number) {
    return {number, error_text(number)};
}

ErrorInfo cancel_error() {
    return {kCancelError, "Cancel was selected."};
}

ErrorInfo error_of(const std::exception& e) {
    if (const auto* shell = dynamic_cast<const ShellError*>(&e))
        return shell->info();
    if (const auto* run = dynamic_cast<const RunError*>(&e))
        return error_info(run->number());
    if (const auto* sys = dynamic_cast<const std::system_error*>(&e)) {
        if (sys->code().category() == std::generic_category() ||
            sys->code().category() == std::system_category())
            return error_info(error_number_from_errno(sys->code().value()));
    }
    if (dynamic_cast<const std::overflow_error*>(&e) != nullptr)
        return error_info(kOverflow);
    return {kInternalError, std::string("Internal error: ") + e.what()};
}

} // namespace kv
