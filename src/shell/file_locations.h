#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// The component id under which the program is installed (desktop entry, icon, metainfo).
inline constexpr std::string_view kAppId = "io.github.kelvaro.ModelInterface";

// Where the program keeps its own files: kv-gui.ini in `configDir`; the log, the instance
// lock, the recent files, the run history and recovery files in `stateDir`.
struct FileLocations {
    std::filesystem::path configDir;
    std::filesystem::path stateDir;
};

// Looks up an environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;
// The variables of this process (HOME falls back on the user database).
std::optional<std::string> process_environment(const std::string& name);

// A program that runs where it was built or from a copy of its own keeps everything beside
// itself: its directory is writable and no installation put it there. An installed program
// (its directory read-only, or the installation's metainfo beside it in ../share) keeps its
// files in the user's directories.
bool keeps_files_beside_program(const std::filesystem::path& programDir);

// The XDG base directory named by `variable` (XDG_CONFIG_HOME, ...), else `fallback` under the
// home directory. A value that is empty or not an absolute path is ignored, as the XDG rules
// say.
std::filesystem::path xdg_base_directory(const EnvironmentLookup& env, const std::string& variable,
                                         const std::filesystem::path& fallback);

// Beside the program when `besideProgram`; otherwise $XDG_CONFIG_HOME/kelvaro (default
// ~/.config/kelvaro) and $XDG_STATE_HOME/kelvaro (default ~/.local/state/kelvaro). A variable
// that is empty or not an absolute path is ignored, as the XDG rules say.
FileLocations file_locations(const std::filesystem::path& programDir, bool besideProgram,
                             const EnvironmentLookup& env);

// The program's own files hold whole options files and every run's paths: the folders it
// makes for them are the user's alone (0700), and so are the files (0600). Files and folders
// that exist already keep their permissions.
//
// Makes `dir` and every missing folder above it; true when `dir` is a folder afterwards.
bool make_private_directories(const std::filesystem::path& dir);
// Creates `file` empty, readable and writable by the user alone, unless it exists (or its
// folder does not). For writers that then open it as a stream.
void create_private_file(const std::filesystem::path& file);

// The directory of the running program's file.
std::filesystem::path program_directory();

// The rule for this process.
FileLocations file_locations(const std::filesystem::path& programDir);

} // namespace kv
