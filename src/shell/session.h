#pragma once

#include "editors/state_table.h"
#include "optionsfile/reference_db.h"
#include "optionsfile/scenario.h"
#include "optionsfile/writer.h"
#include "shell/log.h"
#include "shell/path_rules.h"
#include "shell/ports.h"
#include "shell/recent_files.h"
#include "shell/settings.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

// The title of every message box described as titled with the application's title.
inline constexpr std::string_view kAppTitle = "US XQB KELVARO MODEL";

// The one shared state of a running program: settings, scenario, log, state table,
// reference database access and the ports. Created once by main() (or by kvopt, or by a
// test) and handed by reference to everything that needs it.
class Session {
public:
    Session(UserInterface& ui, Launcher& launcher, ReferenceDbOpener& refdbs,
            std::filesystem::path programDir, PathRules rules = PathRules::native());

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    UserInterface& ui;
    Launcher& launcher;
    ReferenceDbOpener& refdbs;
    const std::filesystem::path programDir;
    const PathRules rules;
    // Where the program keeps kv-gui.ini, and its log and other files of its own. Both are
    // the program's directory unless the caller chooses otherwise.
    std::filesystem::path configDir;
    std::filesystem::path stateDir;

    Settings settings;
    Scenario scenario;
    Log log;
    StateList statelist;
    std::int16_t loadcount = 0;
    std::vector<std::string> arguments; // the command line, shown by the about window
    // True while the core model runs: a second run and the File commands are refused.
    bool modelRunning = false;
    // The run has ended (a signal may end it while a question waits): from then on nobody
    // answers, so a No that closes a question decides nothing.
    bool ended = false;
    // The options files opened or saved last (kept in a file only when given one).
    RecentFiles recentFiles;

    // The reference database while it is open (between open_reference_db and
    // close_reference_db), and the path that was tried last.
    std::string refdbpath;
    std::shared_ptr<ReferenceDb> refdb;

    // Joins with the platform separator.
    std::string join(std::string_view dir, std::string_view name) const {
        return rules.join(dir, name);
    }
    // Shows a message box titled with the application's title.
    void message(const std::string& text, MessageIcon icon = MessageIcon::None) {
        ui.showMessage(text, std::string(kAppTitle), icon);
    }

    // The scenario now holds what the current options file holds: it was just read from it or
    // saved to it. Remembers the values and puts the file at the top of the recent files.
    void scenarioMatchesFile();
    // True when the scenario's values differ from those of the last read or save of the
    // current file. Edit flags do not count: a dialog that sets them and changes nothing
    // leaves the scenario unmodified. Before any file has been read nothing is modified.
    bool scenarioModified() const;
    // The values of the last read or save; replaced only by scenarioMatchesFile and here.
    const std::optional<ScenarioSnapshot>& savedValues() const { return savedValues_; }
    void setSavedValues(std::optional<ScenarioSnapshot> values) {
        savedValues_ = std::move(values);
    }
    // The SHA-256 of the current file as last read or saved, without the interface's first
    // line: what unsaved changes were made on, should the file change on disk meanwhile. It is
    // taken when asked for, while the file has the size and time of change it had then (a
    // read costs no second reading of the file); once it has not, the answer is
    // kChangedOnDisk, which no hash equals. Empty when no file was read or saved.
    std::string savedFileHash() const;
    static constexpr std::string_view kChangedOnDisk = "changed";

    // Non-empty while the scenario is a recovered copy of this options file that has no name
    // of its own yet (it lies in the state directory): Save asks for one, as Save as does.
    // Reading another file or a Save as ends it.
    std::string untitledCopyOf;

    // Whoever holds values taken from the scenario (an open dialog) listens here: a read of
    // another options file is about to replace the scenario, so such values must be dropped,
    // never stored into the new one.
    // Answers a number that removes the listener again.
    int onScenarioReplacing(std::function<void()> listener) {
        replacingListeners_.emplace_back(++lastListener_, std::move(listener));
        return lastListener_;
    }
    void removeListener(int id) {
        std::erase_if(replacingListeners_, [id](const auto& l) { return l.first == id; });
    }
    void scenarioReplacing() {
        untitledCopyOf.clear();
        for (const auto& listener : replacingListeners_)
            listener.second();
    }

private:
    // The current file as last read or saved: where it is, its time of change and size.
    struct FileStamp {
        std::string path;
        std::filesystem::file_time_type time;
        std::uintmax_t size = 0;
        bool operator==(const FileStamp&) const = default;
    };
    static std::optional<FileStamp> stamp_of(const std::string& path);

    std::optional<ScenarioSnapshot> savedValues_;
    std::optional<FileStamp> savedStamp_;
    std::vector<std::pair<int, std::function<void()>>> replacingListeners_;
    int lastListener_ = 0;
};

} // namespace kv
