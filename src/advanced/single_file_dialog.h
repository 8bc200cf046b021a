#pragma once

#include "optionsfile/scenario.h"
#include "shell/ports.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;

// The seven small dialogs of the Advanced options menu that each edit one, two or three
// run-file names (Activity, U.S. Counties FIPS, Retrofit, Daily Temp/RVP, Phase In, Temporal
// Allocation, Optional Output) are one dialog driven by the member table below: one logic
// class and one form class build every member from its entry.

// When a member checks its names and when it stores them.
enum class SingleFileOk {
    // OK checks the rows in order. The first name that is missing is reported and its text
    // box put back to the scenario's value; the dialog stays open. When every name exists
    // (an empty one counts as existing) OK stores all rows together and closes. Closing any
    // other way stores nothing.
    CheckAndStore,
    // OK checks the rows in order and reports the first missing name, leaving the text boxes
    // as they are; when every name exists it closes. Every close but Cancel and Escape (the
    // close button included) stores the rows without a check.
    CheckThenStoreAtClose,
    // OK only closes; every close but Cancel and Escape stores the rows without a check.
    StoreAtClose,
};

// Where a row's Open dialog starts.
enum class StartFolder {
    BelowDataDir, // the folder `folder` of the data directory
    OutputDir,    // the output directory `outdir` itself; the file is one the model writes,
                  // so the Open dialog also takes a name that does not exist yet
};

// One row: a text box holding a path, the button that chooses it, maybe a label above.
struct SingleFileRow {
    std::string_view textBox{};       // object name of the text box
    std::string_view changeButton{};  // object name of its change button
    std::string_view changeCaption{}; // the button's caption
    std::string_view label{};         // object name of the label above the row; empty: none
    std::string_view labelText{};
    std::optional<RunFileSlot> slot{}; // where the row's text is loaded from and stored to
    std::string_view initialText{};    // what a row without a slot shows; it is never stored
    bool hidden = false;               // the row exists but is never shown
    // The row's Open dialog.
    std::string_view dialogTitle{};
    std::string_view filter{}; // "description|pattern|description|pattern"
    StartFolder start = StartFolder::BelowDataDir;
    std::string_view folder{}; // the folder below the data directory
};

// The check box of the by-model-year output files and the label above it.
struct ByModelYearBox {
    std::string_view label{};
    std::string_view labelText{};
    std::string_view checkBox{};
    std::string_view caption{}; // "&&" shows as one "&"
};

struct SingleFileMember {
    std::string_view form{};       // object name of the window
    std::string_view caption{};    // its title
    std::string_view menuItem{};   // object name of the Advanced options item that opens it
    std::string_view fileDialog{}; // the name of the member's Open dialog
    std::vector<SingleFileRow> rows{};
    SingleFileOk ok = SingleFileOk::CheckAndStore;
    bool centred = true;             // centred on the screen when it loads
    std::string_view emptyDefault{}; // stored for an empty text, spelled with "\"; empty: none
    // Shown (exclamation, application title) after the closing step stored the rows when a
    // row was changed through its change button since the dialog loaded.
    std::string_view closingNote{};
    // The Open dialog forgets the last choice instead of starting at it.
    bool forgetsChoice = false;
    std::optional<ByModelYearBox> byModelYear{}; // edits `bmy_on`
};

// The members in the order of the Advanced options menu.
const std::vector<SingleFileMember>& single_file_members();
// The member of a form name, or null.
const SingleFileMember* single_file_member(std::string_view form);

// The logic of one member: the texts of its rows, its flags, one function per handler.
class SingleFileDialog {
public:
    // Follows the name of a file that OK found missing.
    static constexpr std::string_view kMissing = " does not exist";

    SingleFileDialog(Session& session, const SingleFileMember& member);

    const SingleFileMember& member() const { return member_; }

    // Opening: every row's text from its slot, the check box from `bmy_on`, the flags cleared.
    void load();

    // A text box's text, as typed or from code; line breaks are dropped.
    void setText(std::size_t row, std::string text);
    const std::string& text(std::size_t row) const { return texts_.at(row); }
    void setByModelYear(bool ticked) { byModelYear_ = ticked; }
    bool byModelYear() const { return byModelYear_; }

    // The change button of a row: the Open dialog, again for as long as the chosen name fails
    // the 8.3 check; the accepted path goes into the row's text box with the platform's
    // separator (as setText takes it) and the program's directory becomes current again.
    // Cancel changes nothing.
    void change(std::size_t row);
    // The Open dialog the change button of a row shows.
    FileDialogRequest request(std::size_t row) const;

    // OK: answers true when the dialog is to close. `checkExistence` false skips the check of
    // the names (kvopt's --no-check).
    bool ok(bool checkExistence = true);
    // Cancel and Escape: the dialog closes without storing.
    void cancel() { cancelled_ = true; }
    // Asked before every close: when the close would store a name that OK's check does not
    // find (a member that stores at closing), asks whether to close without keeping the
    // changes. Yes closes as Cancel does; No (false) keeps the dialog open.
    bool mayClose();
    // The closing step, run on every close (OK, Cancel, Escape, the close button).
    void unload();

    bool cancelled() const { return cancelled_; }
    bool filechanged() const { return filechanged_; }

private:
    bool storesAtClose() const { return member_.ok != SingleFileOk::CheckAndStore; }
    // The first row whose name a directory search does not find.
    std::optional<std::size_t> firstMissing() const;
    void store();

    Session& session_;
    const SingleFileMember& member_;
    std::vector<std::string> texts_;
    bool byModelYear_ = false;
    bool cancelled_ = false;
    bool filechanged_ = false;
    std::string lastChoice_; // where the next Open dialog starts
};

} // namespace kv
