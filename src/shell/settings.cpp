#include "shell/settings.h"

#include "optionsfile/reader.h"
#include "shell/dialog_helpers.h"
#include "shell/file_locations.h"
#include "shell/session.h"

#include <fstream>
#include <sstream>

namespace kv {

namespace {

constexpr std::string_view kKeys[6] = {":model directory",   ":model executable",
                                       ":input option file", ":output option file",
                                       ":Data dir",          ":ACCESS executable"};

} // namespace

std::string settings_value(std::string_view line) {
    return std::string(line.substr(0, line.find('\t')));
}

std::string settings_file_text(const Settings& settings, std::string_view optfile,
                               std::string_view newoptfile) {
    const std::string_view values[6] = {settings.modeldir, settings.modelexe, optfile,
                                        newoptfile,        settings.datadir,  settings.accessexe};
    std::string text;
    for (int i = 0; i < 6; ++i) {
        text += values[i];
        text += '\t';
        text += kKeys[i];
        text += "\r\n";
    }
    return text;
}

bool write_settings(Session& session) {
    make_private_directories(session.configDir);
    const auto path = session.configDir / std::string(Settings::kFileName);
    create_private_file(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << settings_file_text(session.settings, session.scenario.optfile,
                              session.scenario.newoptfile);
    out.close();
    if (!out)
        return false;
    session.settings.inipath = path.string();
    return true;
}

namespace {

// The six values of a settings file, read by position; missing lines give empty values.
std::array<std::string, 6> read_values(std::istream& in) {
    std::array<std::string, 6> values;
    std::string line;
    for (auto& value : values) {
        if (!read_line(in, line))
            break;
        value = settings_value(line);
    }
    return values;
}

} // namespace

bool check_settings(Session& session) {
    std::ifstream in(session.settings.inipath, std::ios::binary);
    std::array<std::string, 6> values;
    if (in)
        values = read_values(in);

    Settings& s = session.settings;
    Scenario& sc = session.scenario;
    // Each value is taken, then its path tested; the first missing path ends the check.
    const auto present = [&session](const std::string& path, int attributes = kFilesOnly) {
        if (file_exists(path, attributes))
            return true;
        session.message(path + " does not exist. Correct kv-gui.ini and retry.");
        return false;
    };
    s.modeldir = values[0];
    s.modelexe = values[1];
    if (!present(session.join(s.modeldir, s.modelexe)))
        return false;
    sc.optfile = values[2];
    if (!present(session.join(s.modeldir, sc.optfile)))
        return false;
    sc.newoptfile = values[3];
    if (!present(session.join(s.modeldir, sc.newoptfile)))
        return false;
    s.datadir = values[4];
    if (!present(s.datadir, kDirectoriesToo))
        return false;
    s.accessexe = values[5];
    return present(s.accessexe);
}

bool read_settings_file(const std::string& path, RecordedSettings& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const auto values = read_values(in);
    out.settings.modeldir = values[0];
    out.settings.modelexe = values[1];
    out.optfile = values[2];
    out.newoptfile = values[3];
    out.settings.datadir = values[4];
    out.settings.accessexe = values[5];
    out.settings.inipath = path;
    return true;
}

} // namespace kv
