#pragma once

#include "shell/ports.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kv::test {

// A UserInterface that records every message box and answers questions and file dialogs
// from queues, so no test ever blocks on a modal box. An empty file-dialog queue answers
// Cancel; an empty yes/no queue answers `defaultYes`.
class ScriptedUserInterface : public UserInterface {
public:
    struct Message {
        std::string text;
        std::string title;
        MessageIcon icon;
        bool operator==(const Message&) const = default;
    };
    struct Dialog {
        bool save;
        FileDialogRequest request;
    };

    void showMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    bool askYesNo(const std::string& text, const std::string& title) override;
    // Recorded with the yes/no questions; answered from its own queue, No when it is empty.
    Answer askYesNoCancel(const std::string& text, const std::string& title) override;
    std::optional<FileChoice> chooseOpenFile(const FileDialogRequest& request) override;
    std::optional<FileChoice> chooseSaveFile(const FileDialogRequest& request) override;
    // Recorded with the file dialogs; answered from its own queue, Cancel when it is empty.
    std::vector<std::string> choosePaths(const FileDialogRequest& request, PathKind kind) override;
    void setBusy(bool busy) override;
    void beep() override { ++beeps; }
    void setCaption(const std::string& caption) override { captions.push_back(caption); }
    void setStatus(const StatusDisplay& status) override { statuses.push_back(status); }

    // Queues the answer of the next file dialog: a full path (its file title is the text
    // after the last separator), or nullopt for Cancel.
    void answerFile(std::optional<std::string> path);
    // Queues the answer of the next dialog for several paths (empty: Cancel).
    void answerPaths(std::vector<std::string> paths) { pathAnswers.push_back(std::move(paths)); }
    void answerYesNo(bool yes) { yesNoAnswers.push_back(yes); }
    void answerYesNoCancel(Answer answer) { threeWayAnswers.push_back(answer); }

    // Texts of the messages shown so far.
    std::vector<std::string> messageTexts() const;

    std::vector<Message> messages;
    std::vector<std::string> questions;
    std::vector<Dialog> dialogs;
    std::vector<std::string> captions;
    std::vector<StatusDisplay> statuses;
    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::vector<std::string>> pathAnswers;
    std::deque<bool> yesNoAnswers;
    std::deque<Answer> threeWayAnswers;
    bool defaultYes = true;
    int busyDepth = 0;   // > 0 while the busy pointer is shown
    int busyChanges = 0; // how many times it was switched
    int beeps = 0;
};

} // namespace kv::test
