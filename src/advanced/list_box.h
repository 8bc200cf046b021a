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
    // Removes every selected line and answers them; nothing changes when none is selected.
    std::vector<std::string> removeSelected();

    const std::vector<std::string>& lines() const { return lines_; }
    std::vector<std::string>& lines() { return lines_; }
    ListSelection& selection() { return selection_; }
    const ListSelection& selection() const { return selection_; }

private:
    std::vector<std::string> lines_;
    ListSelection selection_;
};

// What the Growth and Equipment Population dialogs share: a list box that is the working copy
// of a file list, edited by Add, Delete and Replace and stored when the dialog closes without
// Cancel; the `cancelled` flag of the last OK or Cancel, kept between openings.
class FileListDialog {
public:
    // The Open dialog of "Add...".
    struct AddDialog {
        std::string_view title;
        std::string_view filter;
        std::string_view folder; // below the data directory
        bool check83 = false;    // shown again until the name passes the 8.3 check
    };

    virtual ~FileListDialog() = default;

    const std::vector<std::string>& lines() const { return list_.lines(); }
    ListSelection& selection() { return list_.selection(); }

    // "Add...": the Open dialog, then addFile with the chosen path.
    void add();
    // What Add does with a chosen file. `checkExistence` false skips the existence check.
    // False when it was refused (its message has been shown).
    virtual bool addFile(const std::string& path, bool checkExistence = true) = 0;
    // "Delete": removes every selected line; the text box no longer shows a path deleted.
    void del();
    // "Replace": a line takes the text of the dialog's text box.
    virtual void replace() = 0;
    // OK, and Cancel or Escape: the dialog closes.
    void ok() { cancelled_ = false; }
    void cancel() { cancelled_ = true; }
    bool cancelled() const { return cancelled_; }
    // The closing step, on every close: the scenario's list is rewritten from the list box
    // unless the last OK or Cancel of this dialog was Cancel.
    virtual void unload() = 0;

    FileDialogRequest addRequest() const;

protected:
    FileListDialog(Session& session, AddDialog addDialog)
        : session_(session), addDialog_(addDialog) {}

    // The text of the dialog's text box.
    virtual std::string& textBox() = 0;

    Session& session_;
    FileListBox list_;
    bool cancelled_ = false;

private:
    AddDialog addDialog_;
};

// Each file of a list is one line of the options file: Add and Replace refuse a path holding
// a line break with this message after the path (shown with its line breaks as \r and \n),
// and answer true.
inline constexpr std::string_view kLineBreakRefused =
    " holds a line break: an options file names each file on a line of its own";
bool refused_for_line_break(Session& session, std::string_view path);

// The folder `folder` of the data directory, where the file lists' Open dialogs start. A data
// tree copied from Windows may spell its folders in another case: the folder as it exists is
// answered when there is one.
std::string data_folder(const Session& session, std::string_view folder);

// Shows the Open dialog, again for as long as `check83` is set and the chosen name fails the
// 8.3 check (the dialog then comes back at the refused choice). Answers the chosen path with
// the platform's separator, or nullopt when the dialog was cancelled.
std::optional<std::string> choose_file(Session& session, FileDialogRequest request, bool check83);

} // namespace kv
