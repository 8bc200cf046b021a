#pragma once

#include "shell/ports.h"

#include <optional>
#include <string>
#include <vector>

namespace kv {

class Session;

// What the search for a text editor looks at, so that it can be tested without the desktop.
class EditorEnvironment {
public:
    virtual ~EditorEnvironment() = default;
    virtual std::optional<std::string> variable(const std::string& name) const = 0;
    // The desktop's default application for plain text, as a desktop entry id.
    virtual std::optional<std::string> defaultTextApplication() const = 0;
    // The file of a desktop entry id, from the XDG data directories.
    virtual std::optional<std::string> desktopEntryPath(const std::string& id) const = 0;
    // A program's full path, from PATH.
    virtual std::optional<std::string> findProgram(const std::string& name) const = 0;
};

// The environment of this process and this desktop.
class SystemEditorEnvironment : public EditorEnvironment {
public:
    std::optional<std::string> variable(const std::string& name) const override;
    std::optional<std::string> defaultTextApplication() const override;
    std::optional<std::string> desktopEntryPath(const std::string& id) const override;
    std::optional<std::string> findProgram(const std::string& name) const override;
};

// The common desktop editors tried last, in order.
inline constexpr const char* kCommonEditors[] = {
    "gnome-text-editor", "gedit", "kate", "mousepad", "xed", "pluma", "featherpad"};

// One way of opening a file in an editor. A desktop launcher (gio, gtk-launch) is waited for
// and counts only when it ends with status 0; an editor counts once it has started.
struct EditorCandidate {
    LaunchRequest request;
    bool waitForSuccess = false;
};

// In order: the program named by VISUAL (its words split at blanks, never by a shell), the
// desktop's default application for plain text through gio launch and gtk-launch, then the
// common editors found on PATH. The file is never handed to a generic opener.
std::vector<EditorCandidate> editor_candidates(const EditorEnvironment& env,
                                               const std::string& file);

// Opens the file in the first editor that starts; when none does, shows "Problem starting
// Notepad" and answers false.
bool open_in_text_editor(Session& session, const EditorEnvironment& env, const std::string& file);

// A run's message file (the run history, a batch): opened in the editor, or, when it is
// gone, "Message file not found: " and its path.
bool open_run_message_file(Session& session, const EditorEnvironment& env, const std::string& path);

// F12: the current options file, from the model directory.
bool view_options_file(Session& session, const EditorEnvironment& env);
// "&View Message File": the message file of the current options file.
bool view_message_file(Session& session, const EditorEnvironment& env);

} // namespace kv
