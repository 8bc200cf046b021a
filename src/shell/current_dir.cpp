#include "shell/current_dir.h"

#include "shell/dialog_helpers.h"
#include "shell/session.h"

#include <filesystem>
#include <system_error>

namespace kv {

std::string absolute_path(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

bool make_current(const std::string& dir) {
    if (dir.empty())
        return false;
    const std::string found = resolve_existing_path(dir);
    if (found.empty())
        return false;
    std::error_code ec;
    std::filesystem::current_path(found, ec);
    return !ec;
}

bool make_program_dir_current(const Session& session) {
    return make_current(session.programDir.string());
}

KeepCurrentDir::KeepCurrentDir() {
    std::error_code ec;
    dir_ = std::filesystem::current_path(ec);
}

KeepCurrentDir::~KeepCurrentDir() {
    std::error_code ignored;
    if (!dir_.empty())
        std::filesystem::current_path(dir_, ignored);
}

} // namespace kv
