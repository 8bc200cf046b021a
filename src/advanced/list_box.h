#pragma once

#include "shell/ports.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;

// What a list box with extended selection holds besides its texts: which lines are selected
// and the current line (the one a click or the keyboard reached last). Refilling the box
// forgets both, as a list box does when it is cleared.
class ListSelection {
public:
    void reset(std::size_t count);
    std::size_t size() const { return selected_.size(); }

    // Lines outside the list are ignored.
    void setSelected(std::size_t line, bool selected);
    bool isSelected(std::size_t line) const;
    void setCurrent(std::optional<std::size_t> line);
    std::optional<std::size_t> current() const { return current_; }

    // The selected lines, from the last to the first, so removing them in this order keeps
    // the positions of those still to come valid.
    std::vector<std::size_t> selectedLastFirst() const;

private:
    std::vector<bool> selected_;
    std::optional<std::size_t> current_;
};

// A list box that is a dialog's working copy of a file list: its lines and their selection.
class FileListBox {
public:
    void assign(std::vector<std::string> lines);
    void append(std::string line);
    // Removes every selected line; nothing changes when none is selected.
    void removeSelected();

    const std::vector<std::string>& lines() const { return lines_; }
    std::vector<std::string>& lines() { return lines_; }
    ListSelection& selection() { return selection_; }
    const ListSelection& selection() const { return selection_; }

private:
    std::vector<std::string> lines_;
    ListSelection selection_;
};

// The folder `folder` of the data directory, where the file lists' Open dialogs start. A data
// tree copied from Windows may spell its folders in another case: the folder as it exists is
// answered when there is one.
std::string data_folder(const Session& session, std::string_view folder);

// Shows the Open dialog, again for as long as `check83` is set and the chosen name fails the
// 8.3 check (the dialog then comes back at the refused choice). Answers the chosen path with
// the platform's separator, or nullopt when the dialog was cancelled.
std::optional<std::string> choose_file(Session& session, FileDialogRequest request, bool check83);

} // namespace kv
