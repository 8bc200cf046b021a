#pragma once

#include "advanced/list_box.h"
#include "shell/ports.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;

// The logic of the Growth dialog (form `frmgrow`): the growth files of /GROWTH FILES/. The
// list box `lstGrow` is the working copy; the scenario is rewritten from it when the dialog
// closes without Cancel.
class GrowthDialog {
public:
    // Follows a path that a directory search does not find (Add and Replace).
    static constexpr std::string_view kMissing = " does not exist.";

    explicit GrowthDialog(Session& session);

    // Opening: the list from the scenario, `txtgrow` empty and shown.
    void load();

    const std::vector<std::string>& lines() const { return list_.lines(); }
    ListSelection& selection() { return list_.selection(); }

    // A click (or double-click) on a list line: every selected line, top to bottom, goes into
    // `txtgrow` and becomes `growthindex`, so the last one wins; `txtgrow` and its label are
    // shown again. True when a line went into `txtgrow` (the window then gives it the focus).
    bool click();
    void setTxtgrow(std::string text) { txtgrow_ = std::move(text); }
    const std::string& txtgrow() const { return txtgrow_; }
    // Whether `txtgrow` and `current_label` are shown: Replace hides them.
    bool txtgrowVisible() const { return txtgrowVisible_; }

    // "Add...": the Open dialog (again until the name passes the 8.3 check), then addFile.
    void add();
    // What Add does with a chosen file: the existence check (unless `checkExistence` is
    // false), then the path as the last line. The same file may be listed twice. False when
    // it was refused (its message has been shown).
    bool addFile(const std::string& path, bool checkExistence = true);
    // "Delete": removes every selected line.
    void del() { list_.removeSelected(); }
    // "Replace": the line last clicked (`growthindex`, in this opening or an earlier one)
    // takes the text of `txtgrow`, whatever is selected now.
    void replace();
    // OK, and Cancel or Escape: the dialog closes.
    void ok() { cancelled_ = false; }
    void cancel() { cancelled_ = true; }
    // The closing step, on every close: the list becomes the scenario's growth files unless
    // the last OK or Cancel of this dialog was Cancel.
    void unload();

    FileDialogRequest addRequest() const;
    std::int16_t growthindex() const { return growthindex_; }
    bool cancelled() const { return cancelled_; }

private:
    Session& session_;
    FileListBox list_;
    std::string txtgrow_;
    bool txtgrowVisible_ = true;
    bool cancelled_ = false; // the last OK or Cancel of this dialog, kept between openings
    // The line last clicked: 0 at start and never reset, so it outlives the window.
    std::int16_t growthindex_ = 0;
};

} // namespace kv
