#include "advanced/list_box.h"

#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/text.h"

#include <algorithm>

namespace kv {

void ListSelection::reset(std::size_t count) {
    selected_.assign(count, false);
    current_.reset();
}

void ListSelection::setSelected(std::size_t line, bool selected) {
    if (line < selected_.size())
        selected_[line] = selected;
}

bool ListSelection::isSelected(std::size_t line) const {
    return line < selected_.size() && selected_[line];
}

void ListSelection::setCurrent(std::optional<std::size_t> line) {
    current_ = line && *line < selected_.size() ? line : std::nullopt;
}

std::vector<std::size_t> ListSelection::selectedLastFirst() const {
    std::vector<std::size_t> lines;
    for (std::size_t i = selected_.size(); i-- > 0;) {
        if (selected_[i])
            lines.push_back(i);
    }
    return lines;
}

void FileListBox::assign(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    selection_.reset(lines_.size());
}

void FileListBox::append(std::string line) {
    // The new line comes unselected; what was selected stays so.
    std::vector<std::size_t> kept = selection_.selectedLastFirst();
    const auto current = selection_.current();
    lines_.push_back(std::move(line));
    selection_.reset(lines_.size());
    for (std::size_t i : kept)
        selection_.setSelected(i, true);
    selection_.setCurrent(current);
}

std::vector<std::string> FileListBox::removeSelected() {
    const auto doomed = selection_.selectedLastFirst();
    std::vector<std::string> removed;
    if (doomed.empty())
        return removed;
    for (std::size_t i : doomed) {
        removed.push_back(std::move(lines_[i]));
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    selection_.reset(lines_.size());
    return removed;
}

void FileListDialog::del() {
    const std::vector<std::string> removed = list_.removeSelected();
    if (std::find(removed.begin(), removed.end(), textBox()) != removed.end())
        textBox().clear();
}

void FileListDialog::add() {
    if (const auto path = choose_file(session_, addRequest(), addDialog_.check83))
        addFile(*path);
}

FileDialogRequest FileListDialog::addRequest() const {
    FileDialogRequest request;
    request.title = std::string(addDialog_.title);
    request.filter = std::string(addDialog_.filter);
    request.filterIndex = 1;
    request.initialDir = data_folder(session_, addDialog_.folder);
    return request;
}

bool refused_for_line_break(Session& session, std::string_view path) {
    if (!holds_line_break(path))
        return false;
    session.message(quoted_showing_line_breaks(path) + std::string(kLineBreakRefused));
    return true;
}

std::string data_folder(const Session& session, std::string_view folder) {
    const std::string dir = session.join(session.settings.datadir, folder);
    const std::string found = resolve_existing_path(dir);
    return found.empty() ? dir : found;
}

std::optional<std::string> choose_file(Session& session, FileDialogRequest request, bool check83) {
    for (;;) {
        const std::optional<FileChoice> choice = session.ui.chooseOpenFile(request);
        if (!choice)
            return std::nullopt;
        if (!check83 || check_83_name(choice->path, session.ui))
            return session.rules.nativeSeparators(choice->path);
        request.initialFile = choice->path;
    }
}

} // namespace kv
