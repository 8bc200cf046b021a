#include "shell/session.h"

namespace kv {

Session::Session(UserInterface& ui_, Launcher& launcher_, ReferenceDbOpener& refdbs_,
                 std::filesystem::path programDir_, PathRules rules_)
    : ui(ui_), launcher(launcher_), refdbs(refdbs_), programDir(std::move(programDir_)),
      rules(rules_), configDir(programDir), stateDir(programDir) {
    build_state_table(statelist);
}

} // namespace kv
