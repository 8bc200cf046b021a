#pragma once

#include "runs/batch.h"
#include "shell/ports.h"
#include "shell/session.h"

#include <optional>
#include <string>
#include <vector>

namespace kv {

// The ports of a session on which a batch reads or saves a file without anybody to ask:
// messages are kept (they become the file's messages), a question is answered No or
// Cancel, a file dialog Cancel, and nothing is started through it.
class UnattendedPorts : public UserInterface, public Launcher {
public:
    void showMessage(const std::string& text, const std::string&, MessageIcon) override {
        messages.push_back(text);
    }
    bool askYesNo(const std::string& text, const std::string&) override {
        messages.push_back(text);
        return false;
    }
    Answer askYesNoCancel(const std::string& text, const std::string&) override {
        messages.push_back(text);
        return Answer::Cancel;
    }
    std::optional<FileChoice> chooseOpenFile(const FileDialogRequest&) override { return {}; }
    std::optional<FileChoice> chooseSaveFile(const FileDialogRequest&) override { return {}; }
    std::vector<std::string> choosePaths(const FileDialogRequest&, PathKind) override { return {}; }
    void setBusy(bool) override {}
    void beep() override {}
    void setCaption(const std::string&) override {}
    void setStatus(const StatusDisplay&) override {}

    LaunchResult startDetached(const LaunchRequest&) override { return notStarted(); }
    LaunchResult runAndWait(const LaunchRequest&) override { return notStarted(); }

    std::vector<std::string> messages;

private:
    static LaunchResult notStarted() { return {false, 0, false, "a batch starts no program here"}; }
};

// A session of the batch's own, on the installation of its context.
class BatchSession {
public:
    explicit BatchSession(const BatchContext& context)
        : session(ports, ports, *context.refdbs, context.programDir, context.rules) {
        session.configDir = context.configDir;
        session.stateDir = context.stateDir;
        session.settings = context.settings;
    }

    // Makes `path` (a full path) the current options file, also as the previous one, so a
    // refused file is not replaced by another.
    void setCurrentFile(const std::string& path);
    // The messages shown since the last call.
    std::vector<std::string> takeMessages();

    UnattendedPorts ports;
    Session session;
};

} // namespace kv
