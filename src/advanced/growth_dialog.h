#pragma once

#include "advanced/list_box.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

class Session;

// The logic of the Growth dialog (form `frmgrow`): the growth files of /GROWTH FILES/. The
// list box `lstGrow` is the working copy; the scenario is rewritten from it when the dialog
// closes without Cancel.
class GrowthDialog : public FileListDialog {
public:
    // Follows a path that a directory search does not find (Add and Replace).
    static constexpr std::string_view kMissing = " does not exist.";

    explicit GrowthDialog(Session& session);

    // Opening: the list from the scenario, `txtgrow` empty and shown.
    void load();

    // A click (or double-click) on a list line: every selected line, top to bottom, goes into
    // `txtgrow` and becomes `growthindex`, so the last one wins; `txtgrow` and its label are
    // shown again. True when a line went into `txtgrow` (the window then gives it the focus).
    bool click();
    void setTxtgrow(std::string text) { txtgrow_ = std::move(text); }
    const std::string& txtgrow() const { return txtgrow_; }
    // Whether `txtgrow` and `current_label` are shown: Replace hides them.
    bool txtgrowVisible() const { return txtgrowVisible_; }

    // The existence check, then the path as the last line. The same file may be listed twice.
    bool addFile(const std::string& path, bool checkExistence = true) override;
    // "Replace": the line last clicked (`growthindex`, in this opening or an earlier one)
    // takes the text of `txtgrow`, whatever is selected now.
    void replace() override;
    // The closing step, on every close: the list becomes the scenario's growth files unless
    // the last OK or Cancel of this dialog was Cancel.
    void unload() override;

    std::int16_t growthindex() const { return growthindex_; }

protected:
    std::string& textBox() override { return txtgrow_; }

private:
    std::string txtgrow_;
    bool txtgrowVisible_ = true;
    // The line last clicked: 0 at start and never reset, so it outlives the window.
    std::int16_t growthindex_ = 0;
};

} // namespace kv
