#include "shell/session.h"

#include "shell/dialog_helpers.h"
#include "shell/run_history.h"

namespace kv {

Session::Session(UserInterface& ui_, Launcher& launcher_, ReferenceDbOpener& refdbs_,
                 std::filesystem::path programDir_, PathRules rules_)
    : ui(ui_), launcher(launcher_), refdbs(refdbs_), programDir(std::move(programDir_)),
      rules(rules_), configDir(programDir), stateDir(programDir) {
    build_state_table(statelist);
}

void Session::scenarioMatchesFile() {
    savedValues_ = scenario_snapshot(scenario, rules);
    std::string path = join(scenario.optdir, scenario.optfile);
    const auto fingerprint = fingerprint_options_file(resolve_existing_path(path));
    savedFileHash_ = fingerprint ? fingerprint->sha256NoHeader : std::string();
    // A relative name was read from the current directory, which the next command may change.
    if (!rules.isAbsolute(path))
        path = std::filesystem::absolute(path).lexically_normal().string();
    recentFiles.add(path);
}

bool Session::scenarioModified() const {
    return savedValues_ && *savedValues_ != scenario_snapshot(scenario, rules);
}

} // namespace kv
