#pragma once

#include "advanced/list_box.h"
#include "shell/ports.h"
#include "shell/text.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;

// The descriptor an added allocation file gets: the label of the allocation code its file
// name ends in ("ca_house.alo" gives "Family housing     :"), compared without regard to
// case from the first "_" of the file name on; "Allocation File    : " when there is none.
// The file name is the text after the last separator, either "/" or "\".
std::string alloc_descriptor(std::string_view path);

// The logic of the Geographic Allocation dialog (form `geoalloc`): the allocation files of
// /ALLOC FILES/ and the allocation lookup table of /RUNFILES/. The list box `lstalloc` shows
// the scenario's working copy `allocfiles_saved`, which Add, Delete and Replace edit in place;
// closing commits it into `allocfiles` or throws it away.
class GeoAllocDialog {
public:
    static constexpr std::string_view kDefaultDescriptor = "Allocation File    : ";
    // Follows the path of an added file that does not exist.
    static constexpr std::string_view kAddMissing = " does not exist.";
    // The failed Add of a path already listed.
    static constexpr std::string_view kDuplicateKey =
        "This key is already associated with an element of this collection";
    static constexpr std::string_view kNotFound = " Not Found";
    static constexpr std::string_view kAlreadySelected = " Already Selected";
    // Follows the lookup table's path when OK does not find it.
    static constexpr std::string_view kLookupMissing = " does not exist";
    static constexpr std::string_view kRegionNote =
        "Note: Any new Scenario>Region selection will override Allocation";

    explicit GeoAllocDialog(Session& session);
    ~GeoAllocDialog();
    GeoAllocDialog(const GeoAllocDialog&) = delete;
    GeoAllocDialog& operator=(const GeoAllocDialog&) = delete;

    // Opening: the lookup table from the scenario, the list from the working copy.
    void load();

    // What `lstalloc` shows: the path of every entry of the working copy, in order.
    std::vector<std::string> lines() const;
    ListSelection& selection() { return selection_; }
    const ListSelection& selection() const { return selection_; }

    // A click on a list line: `SelEdit` takes the path of the current line.
    void click();
    void setSelEdit(std::string text) { seledit_ = std::move(text); }
    const std::string& selEdit() const { return seledit_; }
    // The lookup table's text box; line breaks are dropped, since it is a line of /RUNFILES/.
    void setTxtalloc(std::string text) { txtalloc_ = without_line_breaks(std::move(text)); }
    const std::string& txtalloc() const { return txtalloc_; }

    // "Add...": the Open dialog, then addFile with the chosen path.
    void add();
    // What Add does with a chosen file: the existence check (unless `checkExistence` is
    // false), the descriptor, the entry at the end of the list. False when it was refused
    // (its message has been shown).
    bool addFile(const std::string& path, bool checkExistence = true);
    // "Delete": removes every selected line and empties `SelEdit`.
    void del();
    // "Replace": the current line's file becomes the path typed in `SelEdit`, keeping its
    // position and descriptor. Nothing happens without a current line.
    void replace();
    // "Change Look up": the Open dialog for the lookup table, into `txtalloc` (as
    // setTxtalloc takes it).
    void changeLookup();
    // OK: answers true when the dialog closes. `checkLookup` false skips the existence check
    // of the lookup table.
    bool ok(bool checkLookup = true);
    // Cancel and Escape: the edits are thrown away when the dialog closes. The edit flag of
    // /ALLOC FILES/ stays as it was, so a list committed by an earlier OK is still saved.
    void cancel() { cancelled_ = true; }
    // The closing step, on every close: commits the list (marking /ALLOC FILES/ as edited
    // when the list was changed), or restores it after a Cancel.
    void unload();

    FileDialogRequest addRequest() const;
    FileDialogRequest lookupRequest() const;

    bool listchanged() const { return listchanged_; }
    bool cancelled() const { return cancelled_; }

private:
    void refill();
    // Another options file is about to be read while the dialog is open: its edits of the
    // working copy are dropped, never stored.
    void discardEdits();

    Session& session_;
    int listener_ = 0;
    bool open_ = false;
    bool listchanged_ = false;
    bool cancelled_ = false; // the last OK or Cancel of this dialog, kept between openings
    std::string txtalloc_;
    std::string seledit_;
    ListSelection selection_;
};

} // namespace kv
