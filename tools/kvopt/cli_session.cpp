#include "cli_session.h"

#include "shell/file_locations.h"
#include "shell/settings.h"

#include <iostream>

namespace kvopt {

namespace fs = std::filesystem;

void CliUserInterface::showMessage(const std::string& text, const std::string&, kv::MessageIcon) {
    ++messageCount;
    messages.push_back(text);
    std::cerr << text << '\n';
}

bool CliUserInterface::askYesNo(const std::string& text, const std::string&) {
    ++messageCount;
    messages.push_back(text);
    std::cerr << text << '\n';
    return false;
}

// Nobody answers on a terminal: Cancel leaves everything as it is.
kv::Answer CliUserInterface::askYesNoCancel(const std::string& text, const std::string&) {
    ++messageCount;
    messages.push_back(text);
    std::cerr << text << '\n';
    return kv::Answer::Cancel;
}

std::optional<kv::FileChoice> CliUserInterface::chooseOpenFile(const kv::FileDialogRequest&) {
    ++dialogCount;
    return std::nullopt;
}

std::optional<kv::FileChoice> CliUserInterface::chooseSaveFile(const kv::FileDialogRequest&) {
    ++dialogCount;
    return std::nullopt;
}

std::vector<std::string> CliUserInterface::choosePaths(const kv::FileDialogRequest&, kv::PathKind) {
    ++dialogCount;
    return {};
}

kv::LaunchResult NoLauncher::startDetached(const kv::LaunchRequest&) {
    return {false, 0, false, "this command starts no program"};
}

kv::LaunchResult NoLauncher::runAndWait(const kv::LaunchRequest&) {
    return {false, 0, false, "this command starts no program"};
}

namespace {

// Stands in when no reference database back-end is available: every open fails.
class UnavailableOpener : public kv::ReferenceDbOpener {
public:
    std::shared_ptr<kv::ReferenceDb> open(const std::string&) override {
        throw kv::ReferenceDbError("No reference database engine is available for ", 3024);
    }
};

} // namespace

CliSession::CliSession(const Globals& globals, kv::Launcher* launcher) {
    opener = kv::make_reference_db_opener();
    if (!opener)
        opener = std::make_unique<UnavailableOpener>();
    session = std::make_unique<kv::Session>(ui, launcher ? *launcher : noLauncher, *opener,
                                            kv::program_directory());
    // kv-gui.ini and the program's other files are found where the interface keeps them.
    const kv::FileLocations places = kv::file_locations(session->programDir);
    session->configDir = places.configDir;
    session->stateDir = places.stateDir;
    kv::Settings& s = session->settings;
    kv::RecordedSettings recorded;
    const fs::path ini = session->configDir / std::string(kv::Settings::kFileName);
    if (kv::read_settings_file(ini.string(), recorded)) {
        s = recorded.settings;
        session->scenario.optfile = recorded.optfile;
        session->scenario.newoptfile = recorded.newoptfile;
    } else {
        s.modeldir = fs::current_path().string();
        s.datadir = s.modeldir;
    }
    if (!globals.modelDir.empty())
        s.modeldir = fs::absolute(globals.modelDir).lexically_normal().string();
    if (!globals.dataDir.empty())
        s.datadir = fs::absolute(globals.dataDir).lexically_normal().string();
    else if (!globals.modelDir.empty() && s.datadir.empty())
        s.datadir = s.modeldir;
    while (s.modeldir.size() > 1 && s.modeldir.back() == '/')
        s.modeldir.pop_back();
}

void CliSession::setCurrentFile(const std::string& path) {
    const fs::path full = fs::absolute(path).lexically_normal();
    kv::Scenario& sc = session->scenario;
    sc.optdir = full.parent_path().string();
    sc.optfile = full.filename().string();
    sc.prevoptdir = sc.optdir;
    sc.prevoptfile = sc.optfile;
}

} // namespace kvopt
