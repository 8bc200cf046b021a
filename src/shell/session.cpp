#include "shell/session.h"

#include "runs/run_history.h"
#include "shell/dialog_helpers.h"

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
    if (const std::string found = resolve_existing_path(path); !found.empty())
        savedStamp_ = stamp_of(std::filesystem::absolute(found).string());
    else
        savedStamp_.reset();
    // A relative name was read from the current directory, which the next command may change.
    if (!rules.isAbsolute(path))
        path = std::filesystem::absolute(path).lexically_normal().string();
    recentFiles.add(path);
}

std::optional<Session::FileStamp> Session::stamp_of(const std::string& path) {
    std::error_code ec;
    FileStamp stamp{path, std::filesystem::last_write_time(path, ec), 0};
    if (!ec)
        stamp.size = std::filesystem::file_size(path, ec);
    return ec ? std::nullopt : std::optional(stamp);
}

std::string Session::savedFileHash() const {
    if (!savedStamp_)
        return {};
    if (stamp_of(savedStamp_->path) != savedStamp_)
        return std::string(kChangedOnDisk);
    const auto fingerprint = fingerprint_options_file(savedStamp_->path);
    return fingerprint ? fingerprint->sha256NoHeader : std::string(kChangedOnDisk);
}

bool Session::scenarioModified() const {
    return savedValues_ && *savedValues_ != scenario_snapshot(scenario, rules);
}

} // namespace kv
