#pragma once

#include <string>

namespace kv {

class Session;

// The process's current directory is working state: relative names in options files are
// resolved against it, and each command leaves the directory it is documented to leave.
// False when the directory cannot be made current (it then stays as it was).
bool make_current(const std::string& dir);

// Makes the program's own directory current.
bool make_program_dir_current(const Session& session);

} // namespace kv
