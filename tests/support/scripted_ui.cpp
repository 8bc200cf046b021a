#include "support/scripted_ui.h"

namespace kv::test {

void ScriptedUserInterface::showMessage(const std::string& text, const std::string& title,
                                        MessageIcon icon) {
    messages.push_back({text, title, icon});
}

bool ScriptedUserInterface::askYesNo(const std::string& text, const std::string&) {
    questions.push_back(text);
    if (yesNoAnswers.empty())
        return defaultYes;
    const bool yes = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return yes;
}

Answer ScriptedUserInterface::askYesNoCancel(const std::string& text, const std::string&) {
    questions.push_back(text);
    if (threeWayAnswers.empty())
        return Answer::No;
    const Answer answer = threeWayAnswers.front();
    threeWayAnswers.pop_front();
    return answer;
}

namespace {

std::optional<FileChoice> next_answer(std::deque<std::optional<std::string>>& answers) {
    if (answers.empty())
        return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    if (!answer)
        return std::nullopt;
    const auto pos = answer->find_last_of("\\/");
    return FileChoice{*answer, pos == std::string::npos ? *answer : answer->substr(pos + 1)};
}

} // namespace

std::optional<FileChoice> ScriptedUserInterface::chooseOpenFile(const FileDialogRequest& r) {
    dialogs.push_back({false, r});
    return next_answer(fileAnswers);
}

std::optional<FileChoice> ScriptedUserInterface::chooseSaveFile(const FileDialogRequest& r) {
    dialogs.push_back({true, r});
    return next_answer(fileAnswers);
}

std::vector<std::string> ScriptedUserInterface::choosePaths(const FileDialogRequest& r, PathKind) {
    dialogs.push_back({false, r});
    if (pathAnswers.empty())
        return {};
    std::vector<std::string> paths = std::move(pathAnswers.front());
    pathAnswers.pop_front();
    return paths;
}

void ScriptedUserInterface::setBusy(bool busy) {
    busyDepth += busy ? 1 : -1;
    ++busyChanges;
}

void ScriptedUserInterface::answerFile(std::optional<std::string> path) {
    fileAnswers.push_back(std::move(path));
}

std::vector<std::string> ScriptedUserInterface::messageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages)
        texts.push_back(m.text);
    return texts;
}

} // namespace kv::test
