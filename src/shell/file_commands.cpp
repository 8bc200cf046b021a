#include "shell/file_commands.h"

#include "optionsfile/format.h"
#include "optionsfile/reader.h"
#include "optionsfile/writer.h"
#include "shell/current_dir.h"
#include "shell/dialog_helpers.h"
#include "shell/errors.h"
#include "shell/session.h"
#include "shell/status.h"
#include "shell/text.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kFileFilter = "Option files (*.opt)|*.opt|All files (*.*)|*.*";
constexpr int kOpenSaveStep = 0;
constexpr int kSaveAsStep = 2;

// The error trap of the File items: the log line, the message (except for a failure the
// writer has shown already), the program's directory made current again.
CommandOutcome trap(Session& session, int step, const std::exception& e) {
    session.log.write("Cancelled error " + std::to_string(step));
    if (dynamic_cast<const ReportedFailure*>(&e) == nullptr)
        session.ui.showMessage("Error: Cannot save file: " + error_of(e).text, std::string(),
                               MessageIcon::None);
    make_program_dir_current(session);
    return CommandOutcome::Failed;
}

// What Save as changes before the new file is written; put back when the write fails, so a
// failed Save as leaves the scenario describing the current file.
struct SaveAsSnapshot {
    explicit SaveAsSnapshot(const Scenario& sc)
        : newoptfile(sc.newoptfile), newoptdir(sc.newoptdir), msgfile(sc.msgfile),
          msgdir(sc.msgdir), outfile(sc.outfile), outdir(sc.outdir), runfiles(sc.runfiles) {}
    void restore(Scenario& sc) const {
        sc.newoptfile = newoptfile;
        sc.newoptdir = newoptdir;
        sc.msgfile = msgfile;
        sc.msgdir = msgdir;
        sc.outfile = outfile;
        sc.outdir = outdir;
        sc.runfiles = runfiles;
    }
    std::string newoptfile, newoptdir, msgfile, msgdir, outfile, outdir;
    std::array<std::string, kRunFileCount> runfiles;
};

// A scenario that holds nothing read from an options file is never written over a file: it
// would replace the user's file with an empty one.
void refuse_empty_scenario(Session& session) {
    if (!session.scenario.foundNoPacket())
        return;
    session.message("No options file is loaded: the scenario is empty and cannot be saved or "
                    "run.\nChoose an options file with File > Open.",
                    MessageIcon::Exclamation);
    throw ReportedFailure("the scenario is empty");
}

void save_in_place(Session& session) {
    BusyPointer busy(session.ui);
    update_default_option_file(session);
}

} // namespace

FileDialogRequest file_menu_request(const Session& session, std::string title,
                                    std::string initialFile) {
    FileDialogRequest r;
    r.title = std::move(title);
    r.filter = std::string(kFileFilter);
    r.filterIndex = 1;
    r.initialDir = session.scenario.optdir;
    r.initialFile = std::move(initialFile);
    return r;
}

std::string output_directory(const PathRules& rules, const std::string& newoptdir) {
    const std::string found = resolve_existing_path(rules.join(newoptdir, "outputs"));
    std::error_code ec;
    if (!found.empty() && fs::is_directory(found, ec))
        return found;
    return newoptdir;
}

void name_outputs_after_new_file(Scenario& sc, const PathRules& rules) {
    const std::string outputs = output_directory(rules, sc.newoptdir);
    const std::string base = sc.newoptfile.substr(0, sc.newoptfile.find('.') + 1);
    sc.msgfile = base + "MSG";
    sc.outfile = base + "OUT";
    sc.msgdir = outputs;
    sc.outdir = outputs;
    sc.runfiles[kMessage] = rules.join(sc.msgdir, sc.msgfile);
    sc.runfiles[kOutputData] = rules.join(sc.outdir, sc.outfile);
    if (sc.bmy_on) {
        sc.runfiles[kExhaustBmyOut] = format::by_model_year_path(sc.runfiles[kOutputData], "BMX");
        sc.runfiles[kEvapBmyOut] = format::by_model_year_path(sc.runfiles[kOutputData], "BMV");
    } else {
        sc.runfiles[kExhaustBmyOut].clear();
        sc.runfiles[kEvapBmyOut].clear();
    }
}

bool same_file(const PathRules& rules, const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    if (!rules.caseSensitive && iequals(a, b))
        return true;
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

void update_default_option_file(Session& session) {
    Scenario& sc = session.scenario;
    refuse_empty_scenario(session);
    const std::string current = session.join(sc.optdir, sc.optfile);
    // The writer writes a temporary file beside the current one and renames it into place:
    // the current file is never deleted first, and a failed write leaves it as it was.
    if (!write_options_file(session, current, current))
        throw ReportedFailure("the options file was not saved");
    session.scenarioMatchesFile();
    set_caption(session);
}

std::string save_changes_question(std::string_view optfile) {
    return "Save changes to " + std::string(optfile) + "?";
}

bool settle_unsaved_changes(Session& session) {
    if (!session.scenarioModified())
        return true;
    switch (session.ui.askYesNoCancel(save_changes_question(session.scenario.optfile),
                                      std::string(kAppTitle))) {
    case Answer::Yes:
        return file_save(session) == CommandOutcome::Done;
    case Answer::No:
        return true;
    case Answer::Cancel:
        break;
    }
    return false;
}

CommandOutcome open_command(Session& session, const std::function<bool()>& read) {
    if (session.modelRunning)
        return CommandOutcome::Refused;
    if (!settle_unsaved_changes(session))
        return CommandOutcome::Kept;
    try {
        if (!read())
            throw ShellError(cancel_error());
        make_program_dir_current(session);
        return CommandOutcome::Done;
    } catch (const std::exception& e) {
        return trap(session, kOpenSaveStep, e);
    }
}

ReadOutcome read_options_file(Session& session, const std::string& path) {
    Scenario& sc = session.scenario;
    sc.prevoptfile = sc.optfile;
    sc.prevoptdir = sc.optdir;
    const auto parts = split_dialog_path(path, std::filesystem::path(path).filename().string());
    sc.optfile = parts.file;
    sc.optdir = parts.dir;
    BusyPointer busy(session.ui);
    return read_options(session);
}

CommandOutcome file_open(Session& session) {
    return open_command(session, [&session] {
        // A cancel in the file dialog goes back to the file that is current now.
        Scenario& sc = session.scenario;
        sc.prevoptfile = sc.optfile;
        sc.prevoptdir = sc.optdir;
        return select_new_options_file(session).has_value();
    });
}

CommandOutcome file_open_recent(Session& session, const std::string& path) {
    if (!session.modelRunning && !file_exists(path)) {
        session.recentFiles.remove(path);
        session.message("Options file not found: " + path, MessageIcon::Exclamation);
        return CommandOutcome::Failed;
    }
    return open_command(session, [&session, &path] {
        read_options_file(session, path);
        return true;
    });
}

CommandOutcome file_save(Session& session) {
    if (session.modelRunning)
        return CommandOutcome::Refused;
    if (!session.untitledCopyOf.empty())
        return file_save_as(session);
    try {
        save_in_place(session);
        make_program_dir_current(session);
        return CommandOutcome::Done;
    } catch (const std::exception& e) {
        return trap(session, kOpenSaveStep, e);
    }
}

namespace {

CommandOutcome save_as(Session& session) {
    Scenario& sc = session.scenario;
    const SaveAsSnapshot before(sc);
    try {
        refuse_empty_scenario(session);
        FileDialogRequest r = file_menu_request(session, "Save option file as ", sc.optfile);
        // A recovered copy is offered a name beside the file it was recovered from.
        if (!session.untitledCopyOf.empty())
            r.initialDir = fs::path(session.untitledCopyOf).parent_path().string();
        r.promptOverwrite = true;
        std::optional<FileChoice> choice;
        do {
            choice = session.ui.chooseSaveFile(r);
            if (!choice)
                throw ShellError(cancel_error());
        } while (!check_83_name(choice->path, session.ui));

        const std::string current = session.join(sc.optdir, sc.optfile);
        if (same_file(session.rules, choice->path, current)) {
            save_in_place(session);
            make_program_dir_current(session);
            return CommandOutcome::Done;
        }

        const auto parts = split_dialog_path(choice->path, choice->fileTitle);
        std::string newfile = parts.file;
        if (!contains(newfile, "."))
            newfile += ".OPT";
        // The added extension can name the current file after all: that is a Save too.
        if (same_file(session.rules, session.join(parts.dir, newfile), current)) {
            save_in_place(session);
            make_program_dir_current(session);
            return CommandOutcome::Done;
        }
        sc.newoptfile = newfile;
        sc.newoptdir = parts.dir;

        {
            BusyPointer busy(session.ui);
            name_outputs_after_new_file(sc, session.rules);
            if (!newoptions(session)) {
                before.restore(sc);
                throw ReportedFailure("the options file was not written");
            }
        }

        sc.prevoptfile = sc.optfile;
        sc.prevoptdir = sc.optdir;
        sc.optfile = sc.newoptfile;
        sc.optdir = sc.newoptdir;
        session.scenarioMatchesFile();
        set_caption(session);
        show_status(session);
        make_program_dir_current(session);
        return CommandOutcome::Done;
    } catch (const std::exception& e) {
        return trap(session, kSaveAsStep, e);
    }
}

} // namespace

CommandOutcome file_save_as(Session& session) {
    if (session.modelRunning)
        return CommandOutcome::Refused;
    const CommandOutcome outcome = save_as(session);
    if (outcome == CommandOutcome::Done)
        session.untitledCopyOf.clear();
    return outcome;
}

} // namespace kv
