#pragma once

// A session for benchmarks: message boxes are counted instead of shown, nothing is started,
// and the reference database is the demo's reports.sqlite built with the programs.
#include "optionsfile/reference_db.h"
#include "shell/ports.h"
#include "shell/session.h"

#include <memory>
#include <optional>
#include <string>

namespace kvbench {

class QuietInterface : public kv::UserInterface {
public:
    void showMessage(const std::string& text, const std::string&, kv::MessageIcon) override {
        lastMessage = text;
        ++messages;
    }
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    kv::Answer askYesNoCancel(const std::string&, const std::string&) override {
        return kv::Answer::Cancel;
    }
    std::optional<kv::FileChoice> chooseOpenFile(const kv::FileDialogRequest&) override {
        return {};
    }
    std::optional<kv::FileChoice> chooseSaveFile(const kv::FileDialogRequest&) override {
        return {};
    }
    std::vector<std::string> choosePaths(const kv::FileDialogRequest&, kv::PathKind) override {
        return {};
    }
    void setBusy(bool) override {}
    void beep() override {}
    void setCaption(const std::string&) override {}
    void setStatus(const kv::StatusDisplay&) override {}
    int messages = 0;
    std::string lastMessage;
};

class NoLauncher : public kv::Launcher {
public:
    kv::LaunchResult startDetached(const kv::LaunchRequest&) override { return {}; }
    kv::LaunchResult runAndWait(const kv::LaunchRequest&) override { return {}; }
};

// `session` stays empty when no reference database back-end is available.
struct DemoSession {
    DemoSession() : opener(kv::make_reference_db_opener()) {
        if (!opener)
            return;
        session = std::make_unique<kv::Session>(ui, launcher, *opener, ".", kv::PathRules::posix());
        session->settings.modeldir = KV_DEMO_DIR "/model";
        session->scenario.optdir = "/tmp";
        session->scenario.optfile = "nation.opt";
    }
    QuietInterface ui;
    NoLauncher launcher;
    std::unique_ptr<kv::ReferenceDbOpener> opener;
    std::unique_ptr<kv::Session> session;
};

} // namespace kvbench
