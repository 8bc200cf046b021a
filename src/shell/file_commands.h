#pragma once

#include "optionsfile/reader.h"
#include "shell/ports.h"

#include <functional>
#include <string>
#include <string_view>

namespace kv {

class Session;
struct PathRules;
struct Scenario;

enum class CommandOutcome {
    Done,
    Failed,  // the trap logged "Cancelled error <step>" (a cancelled dialog included)
    Refused, // the core model is running
    Kept,    // the unsaved-changes question was cancelled, or the save it asked for failed
};

// "Save changes to " + the current file's name + "?"
std::string save_changes_question(std::string_view optfile);

// Before the scenario is left (Exit, closing the window, another file opened): when it is
// modified, asks whether to save it. Yes saves in place as File > Save does. Answers true
// when the caller may go on (nothing to save, saved, or No); false for Cancel and for a save
// that failed, which keeps the edits in memory.
bool settle_unsaved_changes(Session& session);

// What the commands that open an options file share (File > Open, Recent Files, Help > Open
// Demo): refused during a run, the unsaved-changes question first, then `read` inside the
// error trap; `read` answers false for a cancel.
CommandOutcome open_command(Session& session, const std::function<bool()>& read);

// File > Open: asks for another options file and reads it.
CommandOutcome file_open(Session& session);
// Makes `path` the current options file, keeping the one it replaces as the previous one (a
// refused file goes back to it), and reads it with the busy pointer.
ReadOutcome read_options_file(Session& session, const std::string& path);

// File > Recent Files: reads the listed file after the unsaved-changes question. A file that
// is gone is taken off the list with "Options file not found: " and its path.
CommandOutcome file_open_recent(Session& session, const std::string& path);
// File > Save: saves the scenario over the current options file; a recovered copy without a
// name of its own goes through Save as.
CommandOutcome file_save(Session& session);
// File > Save as: saves the scenario under a new name, which becomes the current file, with
// message and output data files named after it.
CommandOutcome file_save_as(Session& session);

// The in-place save: rewrites `optdir`/`optfile` from the scenario through a temporary file
// in the same directory that replaces it only once it is complete, then sets the caption.
// Throws ReportedFailure when the writer failed (it has told the user; the current file is
// untouched).
void update_default_option_file(Session& session);

// The file dialog the three File items share, with its title and initial file name.
FileDialogRequest file_menu_request(const Session& session, std::string title,
                                    std::string initialFile);

// Where Save as puts the message and output data files: the "outputs" directory under the
// new file's directory when there is one, else that directory itself.
std::string output_directory(const PathRules& rules, const std::string& newoptdir);

// Save as's names for the message and output data files of the new file `newoptdir`/
// `newoptfile`: its name up to its first "." followed by "MSG" and "OUT", in
// output_directory; the by-model-year files beside the output data file when they are on.
void name_outputs_after_new_file(Scenario& scenario, const PathRules& rules);

// True when both paths name the same file: the same text, the same text but for case where
// the file system ignores case, or one existing file reached two ways.
bool same_file(const PathRules& rules, const std::string& a, const std::string& b);

} // namespace kv
