#pragma once

#include <string>
#include <vector>

namespace kv {
class Session;
}

namespace kvopt {

// After the --set values are in the scenario (`assignments` are --set's NAME=VALUE): every
// single-file dialog whose OK checks its names and one of whose run files was set is opened
// on the scenario and left with OK, as a person would leave it, in the order of the Advanced
// options menu. Its OK checks all its rows in its own order (a relative name is taken from
// the directory holding kvopt, the program's folder) and stores them, an empty Activity name
// as the default. `check` false stores the rows without the check. Answers false after the
// dialog's message when a check fails.
bool run_file_dialogs_accept(kv::Session& session, const std::vector<std::string>& assignments,
                             bool check);

} // namespace kvopt
