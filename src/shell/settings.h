#pragma once

#include <string>
#include <string_view>

namespace kv {

class Session;

// The locations recorded in kv-gui.ini. The current and new options file names recorded
// there live in the scenario (`optfile`, `newoptfile`).
struct Settings {
    static constexpr std::string_view kFileName = "kv-gui.ini";

    std::string modeldir;
    std::string modelexe;
    std::string datadir;
    std::string accessexe;
    std::string inipath; // full path of kv-gui.ini
};

// The value of one settings line: its text before the first TAB, or the whole line.
std::string settings_value(std::string_view line);

// The six lines of kv-gui.ini, each "value TAB key" ended by CR LF.
std::string settings_file_text(const Settings& settings, std::string_view optfile,
                               std::string_view newoptfile);

// Writes kv-gui.ini into the configuration directory from the settings and the scenario's file
// names. False when the file could not be written.
bool write_settings(Session& session);

// Reads `inipath` line by line and tests each recorded path, reporting the first one that
// is missing. False means the program must end (`Fini`).
bool check_settings(Session& session);

// Reads the six values of a settings file without testing them (kvopt's defaults).
// False when the file cannot be read.
struct RecordedSettings {
    Settings settings;
    std::string optfile;
    std::string newoptfile;
};
bool read_settings_file(const std::string& path, RecordedSettings& out);

} // namespace kv
