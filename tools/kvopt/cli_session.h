#pragma once

#include "commands.h"
#include "optionsfile/reference_db.h"
#include "shell/ports.h"
#include "shell/session.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvopt {

// The interface on a terminal: a message box becomes its text on standard error; a file
// dialog cannot be answered, so it is recorded and answered with Cancel.
class CliUserInterface : public kv::UserInterface {
public:
    void showMessage(const std::string& text, const std::string& title,
                     kv::MessageIcon icon) override;
    bool askYesNo(const std::string& text, const std::string& title) override;
    kv::Answer askYesNoCancel(const std::string& text, const std::string& title) override;
    std::optional<kv::FileChoice> chooseOpenFile(const kv::FileDialogRequest& request) override;
    std::optional<kv::FileChoice> chooseSaveFile(const kv::FileDialogRequest& request) override;
    std::vector<std::string> choosePaths(const kv::FileDialogRequest& request,
                                         kv::PathKind kind) override;
    void setBusy(bool) override {}
    void beep() override {}
    void setCaption(const std::string&) override {}
    void setStatus(const kv::StatusDisplay& status) override { lastStatus = status; }

    int messageCount = 0;
    std::vector<std::string> messages; // the texts shown, in order
    int dialogCount = 0;               // a refusal asked for another file
    kv::StatusDisplay lastStatus;
};

// A launcher for commands that start nothing.
class NoLauncher : public kv::Launcher {
public:
    kv::LaunchResult startDetached(const kv::LaunchRequest&) override;
    kv::LaunchResult runAndWait(const kv::LaunchRequest&) override;
};

// Everything a command needs to work on one options file: the ports, the session with its
// settings (from --model-dir/--data-dir, else the interface's kv-gui.ini, else the current
// directory) and the file named as current.
class CliSession {
public:
    CliSession(const Globals& globals, kv::Launcher* launcher = nullptr);

    // Makes `path` the current options file (also as the "previous" one, so a refused file
    // is not replaced by an empty name) without reading it.
    void setCurrentFile(const std::string& path);

    CliUserInterface ui;
    NoLauncher noLauncher;
    std::unique_ptr<kv::ReferenceDbOpener> opener;
    std::unique_ptr<kv::Session> session;
};

} // namespace kvopt
