#pragma once

#include <filesystem>
#include <string>

namespace kv {

class Session;

// The process's current directory is working state: relative names in options files are
// resolved against it, and each command leaves the directory it is documented to leave.
// False when the directory cannot be made current (it then stays as it was).
bool make_current(const std::string& dir);

// The path made absolute against the current directory and normalised; the path itself
// when the current directory cannot be found.
std::string absolute_path(const std::string& path);

// Makes the program's own directory current.
bool make_program_dir_current(const Session& session);

// Puts the process's current directory back as it was when this was made: for work that reads
// options files (which makes the model directory current) on behalf of somebody else.
class KeepCurrentDir {
public:
    KeepCurrentDir();
    ~KeepCurrentDir();
    KeepCurrentDir(const KeepCurrentDir&) = delete;
    KeepCurrentDir& operator=(const KeepCurrentDir&) = delete;

private:
    std::filesystem::path dir_;
};

} // namespace kv
