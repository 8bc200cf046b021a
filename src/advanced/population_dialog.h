#pragma once

#include "advanced/list_box.h"

#include <string>
#include <string_view>

namespace kv {

class Session;

// The logic of the Equipment Population dialog (form `frmEquip`): the population files of
// /POP FILES/. The list box `lstEquip` is the working copy; the scenario is rewritten from it
// when the dialog closes without Cancel, every entry with the population descriptor.
class PopulationDialog : public FileListDialog {
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

    // A click on a list line: `SelEdit` takes the text of the current line.
    void click();
    void setSelEdit(std::string text) { seledit_ = std::move(text); }
    const std::string& selEdit() const { return seledit_; }

    // The existence check; a path listed already is refused, since the committed list holds
    // each file once; otherwise the path becomes the last line.
    bool addFile(const std::string& path, bool checkExistence = true) override;
    // "Replace": the current line takes the text of `SelEdit`. Nothing happens without a
    // current line.
    void replace() override;
    // The closing step, on every close: the list becomes the scenario's population files
    // unless the last OK or Cancel of this dialog was Cancel.
    void unload() override;

protected:
    std::string& textBox() override { return seledit_; }

private:
    // Whether `text` names a listed file other than line `except`, as the committed list's
    // keys compare.
    bool listedElsewhere(const std::string& text, std::size_t except) const;

    std::string seledit_;
};

} // namespace kv
