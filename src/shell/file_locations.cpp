#include "shell/file_locations.h"

#include <cstdlib>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv {

namespace fs = std::filesystem;

std::optional<std::string> process_environment(const std::string& name) {
    if (const char* value = std::getenv(name.c_str()))
        return std::string(value);
#ifndef _WIN32
    if (name == "HOME") {
        if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
            return std::string(pw->pw_dir);
    }
#endif
    return std::nullopt;
}

bool keeps_files_beside_program(const fs::path& programDir) {
    std::error_code ec;
    const fs::path metainfo =
        programDir / ".." / "share" / "metainfo" / (std::string(kAppId) + ".metainfo.xml");
    if (fs::exists(metainfo, ec))
        return false;
#ifndef _WIN32
    return ::access(programDir.c_str(), W_OK) == 0;
#else
    return true;
#endif
}

fs::path xdg_base_directory(const EnvironmentLookup& env, const std::string& variable,
                            const fs::path& fallback) {
    if (const auto value = env(variable); value && fs::path(*value).is_absolute())
        return *value;
    const auto home = env("HOME");
    return fs::path(home ? *home : std::string()) / fallback;
}

FileLocations file_locations(const fs::path& programDir, bool besideProgram,
                             const EnvironmentLookup& env) {
    if (besideProgram)
        return {programDir, programDir};
    return {xdg_base_directory(env, "XDG_CONFIG_HOME", ".config") / "kelvaro",
            xdg_base_directory(env, "XDG_STATE_HOME", fs::path(".local") / "state") / "kelvaro"};
}

bool make_private_directories(const fs::path& dir) {
    std::error_code ec;
#ifndef _WIN32
    fs::path made;
    for (const fs::path& part : dir) {
        made /= part;
        // EEXIST also when another process made it meanwhile; is_directory decides.
        if (!made.empty() && !fs::exists(made, ec))
            ::mkdir(made.c_str(), 0700);
    }
#else
    fs::create_directories(dir, ec);
#endif
    return fs::is_directory(dir, ec);
}

void create_private_file(const fs::path& file) {
#ifndef _WIN32
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
#endif
}

fs::path program_directory() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

FileLocations file_locations(const fs::path& programDir) {
    return file_locations(programDir, keeps_files_beside_program(programDir), process_environment);
}

} // namespace kv
