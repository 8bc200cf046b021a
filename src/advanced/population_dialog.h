#pragma once

#include "advanced/list_box.h"
#include "shell/ports.h"

#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;

// The logic of the Equipment Population dialog (form `frmEquip`): the population files of
// /POP FILES/. The list box `lstEquip` is the working copy; the scenario is rewritten from it
// when the dialog closes without Cancel, every entry with the population descriptor.
class PopulationDialog {
public:
    // The descriptor of every committed entry (20 characters).
    static constexpr std::string_view kDescriptor = "Population file    :";
    // Follows the path of an added file that does not exist.
    static constexpr std::string_view kAddMissing = " does not exist.";
    // Follows the text of `SelEdit` when Replace does not find it.
    static constexpr std::string_view kReplaceMissing = " does not exist";
    // Follows a path that is listed already.
    static constexpr std::string_view kAlreadySelected = " Already Selected";

    explicit PopulationDialog(Session& session);

    // Opening: the list from the scenario's committed population files.
    void load();

    const std::vector<std::string>& lines() const { return list_.lines(); }
    ListSelection& selection() { return list_.selection(); }

    // A click on a list line: `SelEdit` takes the text of the current line.
    void click();
    void setSelEdit(std::string text) { seledit_ = std::move(text); }
    const std::string& selEdit() const { return seledit_; }

    // "Add...": the Open dialog, then addFile with the chosen path.
    void add();
    // What Add does with a chosen file: the existence check (unless `checkExistence` is
    // false); a path listed already is refused, since the committed list holds each file
    // once; otherwise the path becomes the last line. False when it was refused (its message
    // has been shown).
    bool addFile(const std::string& path, bool checkExistence = true);
    // "Delete": removes every selected line.
    void del() { list_.removeSelected(); }
    // "Replace": the current line takes the text of `SelEdit`. Nothing happens without a
    // current line.
    void replace();
    // OK, and Cancel or Escape: the dialog closes.
    void ok() { cancelled_ = false; }
    void cancel() { cancelled_ = true; }
    // The closing step, on every close: the list becomes the scenario's population files
    // unless the last OK or Cancel of this dialog was Cancel.
    void unload();

    FileDialogRequest addRequest() const;
    bool cancelled() const { return cancelled_; }

private:
    // Whether `text` names a listed file other than line `except`, as the committed list's
    // keys compare.
    bool listedElsewhere(const std::string& text, std::size_t except) const;

    Session& session_;
    FileListBox list_;
    std::string seledit_;
    bool cancelled_ = false; // the last OK or Cancel of this dialog, kept between openings
};

} // namespace kv
