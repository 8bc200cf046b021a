#pragma once

#include "commands.h"

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace kv {
class Session;
}

// `kvopt save --alloc-add/--alloc-remove/--growth/--pop`: what the Geographic Allocation,
// Growth and Equipment Population dialogs do to the scenario's file lists, run on the
// dialogs' own logic, so their checks, messages and edit flags are the same.
namespace kvopt {

struct FileListArgs {
    struct AllocAction {
        bool add = true; // false: remove
        std::string path;
    };
    std::vector<AllocAction> alloc; // in the order given
    std::optional<std::string> growth;
    std::optional<std::string> pop;
};

// Adds the options to the save command.
void add_file_list_options(CLI::App& save, FileListArgs& args);

// Each path is one line of the options file: false, after saying which option took a line
// break, when one holds a line break.
bool file_list_paths_single_line(const FileListArgs& args);

// Runs the options on the scenario: the allocation actions in order and OK, then the growth
// and population lists. `check` false skips the existence and 8.3 checks; a path listed
// twice is refused all the same. Paths are taken from the directory kvopt was started in and
// stored in full, as a file dialog gives them. False when something was refused (the
// dialog's message is on standard error).
bool apply_file_list_options(kv::Session& session, const FileListArgs& args, bool check,
                             const Globals& globals);

} // namespace kvopt
