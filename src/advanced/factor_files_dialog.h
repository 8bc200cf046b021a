#pragma once

#include "optionsfile/scenario.h"
#include "shell/ports.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

class Session;

// The Emission Factors and Deterioration Factors dialogs are one dialog driven by the member
// table below: fifteen rows, one per pollutant key, each holding the path of that pollutant's
// factor file; a file is chosen through the dialog's own menu, whose items name the rows.

inline constexpr std::size_t kFactorRowCount = 15;

// One row: pollutant key k of the scenario's factor slots is row k, text box `df_emfac_<k>`
// and menu item `mnuDF_<k>`.
struct FactorRow {
    std::string_view key;         // the pollutant key, as the options file's reader knows it
    std::string_view label;       // the caption beside the text box
    std::string_view menuCaption; // the item of "&Add/Change files"
};

const std::array<FactorRow, kFactorRowCount>& factor_rows();

// The row of a pollutant key (any case) or of a row number counted from 0; nullopt for
// neither.
std::optional<std::size_t> factor_row(std::string_view keyOrNumber);

struct FactorFilesMember {
    std::string_view form{};     // object name of the window
    std::string_view caption{};  // its title
    std::string_view menuItem{}; // object name of the Advanced options item that opens it
    std::array<std::string, kFactorSlotCount> Scenario::*slots = nullptr;
    std::string_view filter{}; // of the Open dialog: "description|pattern|description|pattern"
    std::string_view folder{}; // where the Open dialog starts, below the data directory
    // Rows whose text box exists but is never shown; their label and menu item are shown,
    // and they are loaded, chosen, checked and stored like the others.
    std::array<bool, kFactorRowCount> hiddenRows{};
    // Every change of a row's text, the filling at load included, sets `changed_emfac`.
    bool marksEmfacChanged = false;
    // Set when a row is stored with a file: the writer then writes the packet even into a
    // file read without one (the writer writes /DETERIORATE FILES/ only when `found_deter`).
    bool Scenario::*foundFlag = nullptr;
};

const FactorFilesMember& emission_factors();
const FactorFilesMember& deterioration_factors();

// The logic of one member: the texts of its rows, its `cancelled` flag, one function per
// handler. It lives as long as the program, so `cancelled` survives between openings.
class FactorFilesDialog {
public:
    // Follows the text of the first row that OK does not find.
    static constexpr std::string_view kMissing = " does not exist";
    static constexpr std::string_view kMenu = "&Add/Change files";

    FactorFilesDialog(Session& session, const FactorFilesMember& member);

    const FactorFilesMember& member() const { return member_; }

    // Opening: row k's text from slot k. `cancelled` keeps the last OK or Cancel choice.
    void load();

    // A row's text, as typed or from code; line breaks are dropped.
    void setText(std::size_t row, std::string text);
    const std::string& text(std::size_t row) const { return texts_.at(row); }

    // The menu item of a row: the Open dialog, again for as long as the chosen name fails the
    // 8.3 check; the accepted path goes into the row. The program's directory becomes current
    // again however the choice ends; a cancelled Open dialog leaves the row as it was.
    void choose(std::size_t row);
    // The Open dialog a row's menu item shows.
    FileDialogRequest request(std::size_t row) const;

    // OK (`testexist`): reports the first row, in row order, whose file a directory search
    // does not find and answers false (the dialog stays open, no row changes); answers true
    // when all fifteen are found (an empty row counts as found) and the dialog is to close.
    bool testexist();
    // Cancel and Escape: the dialog closes without storing.
    void cancel() { cancelled_ = true; }
    // Asked before every close: when the close would store a row whose file OK does not find,
    // asks whether to close without keeping the changes. Yes puts every row back to the
    // scenario's value, so the close stores nothing (and the last OK or Cancel stays what
    // it was); No (false) keeps the dialog open.
    bool mayClose();
    // Every close: stores the rows unless the last OK or Cancel of this dialog was Cancel.
    void unload();

    bool cancelled() const { return cancelled_; }
    // The first row that OK would report, or nullopt.
    std::optional<std::size_t> firstMissing() const;

private:
    void rowsFromScenario();

    Session& session_;
    const FactorFilesMember& member_;
    std::array<std::string, kFactorRowCount> texts_{};
    bool cancelled_ = false;
};

// A menu caption without its access-key marker: its first "&" removed ("C&rankcase" gives
// "Crankcase").
std::string without_access_key(std::string_view caption);

} // namespace kv
