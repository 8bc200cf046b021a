#include "shell/startup.h"

#include "optionsfile/reader.h"
#include "shell/current_dir.h"
#include "shell/dialog_helpers.h"
#include "shell/errors.h"
#include "shell/session.h"
#include "shell/settings.h"
#include "shell/status.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kv {

namespace {

constexpr std::string_view kOptionFilter =
    "option (*.opt)|*.opt|text files (*.txt)|*.txt|All files (*.*)|*.*";

// The root of the file system, where the data directory prompt starts.
std::string root_dir(const PathRules& rules) {
    return std::string(1, rules.separator);
}

// Where the Access prompt starts: the usual installation folder on Windows, the folder of
// the system's programs elsewhere.
std::string access_initial_dir(const PathRules& rules) {
    return rules.caseSensitive ? "/usr/bin" : "c:\\program files\\microsoft office\\office";
}

FileDialogRequest request(std::string title, std::string_view filter, std::string initialDir) {
    FileDialogRequest r;
    r.title = std::move(title);
    r.filter = std::string(filter);
    r.filterIndex = 1;
    r.initialDir = std::move(initialDir);
    return r;
}

// A prompt's cancel message: some boxes carry the application's title, some none.
void cancelled(Session& session, const std::string& text, bool titled) {
    session.ui.showMessage(text, titled ? std::string(kAppTitle) : std::string(),
                           MessageIcon::None);
}

// Shows an Open dialog and, on a choice, makes the program's directory current.
std::optional<FileChoice> ask_open(Session& session, const FileDialogRequest& r) {
    auto choice = session.ui.chooseOpenFile(r);
    if (choice)
        make_program_dir_current(session);
    return choice;
}

} // namespace

bool select_model(Session& session) {
    const auto choice = ask_open(session, request("Select Model", "model (*.exe)|*.exe", {}));
    if (!choice) {
        cancelled(session, "Must select Model", false);
        return false;
    }
    const auto parts = split_dialog_path(choice->path, choice->fileTitle);
    session.settings.modelexe = parts.file;
    session.settings.modeldir = parts.dir;
    return true;
}

bool select_option_template(Session& session) {
    const auto choice = ask_open(
        session, request("Select Option template", kOptionFilter, session.settings.modeldir));
    if (!choice) {
        cancelled(session, "Must have default option file", true);
        return false;
    }
    const auto parts = split_dialog_path(choice->path, choice->fileTitle);
    session.scenario.optfile = parts.file;
    session.scenario.optdir = parts.dir;
    return true;
}

bool name_new_option_file(Session& session) {
    const auto r = request("Name new option file", kOptionFilter, session.settings.modeldir);
    for (;;) {
        const auto choice = session.ui.chooseSaveFile(r);
        if (!choice) {
            cancelled(session, "Must have new option file", false);
            return false;
        }
        if (!check_83_name(choice->path, session.ui))
            continue;
        make_program_dir_current(session);
        const auto parts = split_dialog_path(choice->path, choice->fileTitle);
        session.scenario.newoptfile = parts.file;
        session.scenario.newoptdir = parts.dir;
        return true;
    }
}

bool select_data_dir(Session& session) {
    const auto choice = ask_open(session, request("Navigate to Data files and select",
                                                  "(*.me)|*.me", root_dir(session.rules)));
    if (!choice) {
        cancelled(session, "Must Define Data Path", false);
        return false;
    }
    session.settings.datadir = split_dialog_path(choice->path, choice->fileTitle).dir;
    return true;
}

bool select_access(Session& session) {
    const auto choice = ask_open(session, request("Select MSACCESS.EXE", "option (*.exe)|*.exe",
                                                  access_initial_dir(session.rules)));
    if (!choice) {
        cancelled(session, "Will not transfer to ACCESS", true);
        return false;
    }
    session.settings.accessexe = choice->path;
    return true;
}

void fini(Session& session) {
    session.ended = true;
    end_run_log(session.log);
}

StartupOutcome run_startup(Session& session, bool anotherInstanceRunning,
                           const StartupHooks& hooks) {
    if (anotherInstanceRunning &&
        !session.ui.askYesNo(std::string(kAnotherInstanceQuestion), std::string(kAppTitle)))
        return StartupOutcome::Declined;

    // The state table was built with the session.
    if (session.loadcount >= 1)
        return StartupOutcome::AlreadyLoaded;

    try {
        start_run_log(session.log, session.stateDir);
        ++session.loadcount;

        if (hooks.centreWindow)
            hooks.centreWindow();

        const auto ini = session.configDir / std::string(Settings::kFileName);
        if (hooks.openDemo) {
            RecordedSettings recorded;
            if (read_settings_file(ini.string(), recorded)) {
                session.settings = recorded.settings;
                session.scenario.optfile = recorded.optfile;
                session.scenario.optdir = session.settings.modeldir;
                session.scenario.newoptfile = recorded.newoptfile;
            }
            if (hooks.showWindow)
                hooks.showWindow();
            set_caption(session);
            hooks.openDemo();
            return StartupOutcome::Ready;
        }
        if (!file_exists(ini.string())) {
            if (!select_model(session) || !select_option_template(session) ||
                !name_new_option_file(session) || !select_data_dir(session) ||
                !select_access(session))
                return StartupOutcome::PromptCancelled;
            if (!write_settings(session))
                throw RunError(kPathFileAccessError);
        } else {
            session.settings.inipath = ini.string();
            if (!check_settings(session)) {
                fini(session);
                return StartupOutcome::SettingsMissing;
            }
        }

        if (hooks.showWindow)
            hooks.showWindow();
        {
            BusyPointer busy(session.ui);
            set_caption(session);
            // The default options file is always read from the model directory.
            session.scenario.optdir = session.settings.modeldir;
            read_options(session);
        }
        return StartupOutcome::Ready;
    } catch (const std::exception& e) {
        session.log.write(" Main error " + std::to_string(error_of(e).number));
        session.log.close();
        return StartupOutcome::MainError;
    }
}

} // namespace kv
