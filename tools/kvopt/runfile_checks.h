#pragma once

#include <string>
#include <vector>

namespace kv {
class Session;
}

namespace kvopt {

// Gives the --set values of the run files that the single-file dialogs edit what the OK of
// that dialog gives them: the existence check (a relative name is taken from the directory
// holding kvopt, the program's folder) unless `check` is false, and the Activity default for
// an empty value. Answers false after the dialog's message when a check fails; `assignments`
// then stays as it was.
bool apply_run_file_checks(kv::Session& session, std::vector<std::string>& assignments, bool check);

} // namespace kvopt
