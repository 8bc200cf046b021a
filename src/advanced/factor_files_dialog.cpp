#include "advanced/factor_files_dialog.h"

#include "advanced/file_choice.h"
#include "advanced/file_search.h"
#include "shell/current_dir.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/text.h"

#include <charconv>

namespace kv {

namespace {

// Rows 4 to 6 (BSFC, Crankcase, Spillage) have no text box to see in Deterioration Factors.
constexpr std::array<bool, kFactorRowCount> kDeteriorationHidden = {
    false, false, false, false, true,  true,  true, false,
    false, false, false, false, false, false, false};

} // namespace

const std::array<FactorRow, kFactorRowCount>& factor_rows() {
    static constexpr std::array<FactorRow, kFactorRowCount> rows{{
        {"THC EXHAUST", "THC Exhaust", "&THC exhaust"},
        {"CO EXHAUST", "CO Exhaust", "&CO exhaust"},
        {"NOX EXHAUST", "NOX Exhaust", "&NOX exhaust"},
        {"PM EXHAUST", "PM Exhaust", "&PM exhaust"},
        {"BSFC", "BSFC", "&BSFC"},
        {"CRANKCASE", "Crankcase", "C&rankcase"},
        {"SPILLAGE", "Spillage", "&Spillage"},
        {"DIURNAL", "Diurnal", "&Diurnal"},
        {"TANK PERM", "Tank Permeation", "Tan&k Perm"},
        {"NON-RM HOSE PERM", "Non-marine Hose Permeation", "Non-RM H&ose Perm"},
        {"RM FILL NECK PERM", "Marine Fill Neck Permeation", "RM &Fill Neck Perm"},
        {"RM SUPPLY/RETURN", "Marine Supply Hose Permeation", "RM S&upply/Return"},
        {"RM VENT PERM", "Marine Vent Hose Permeation", "RM &Vent Perm"},
        {"HOT SOAKS", "Hot Soak", "&Hot Soaks"},
        {"RUNINGLOSS", "Running Loss", "Runing&Loss"},
    }};
    return rows;
}

std::optional<std::size_t> factor_row(std::string_view keyOrNumber) {
    const std::string text = trim(keyOrNumber);
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (!text.empty() && error == std::errc() && end == text.data() + text.size())
        return number < kFactorRowCount ? std::optional(number) : std::nullopt;
    for (std::size_t row = 0; row < kFactorRowCount; ++row) {
        if (iequals(text, factor_rows()[row].key))
            return row;
    }
    return std::nullopt;
}

const FactorFilesMember& emission_factors() {
    static const FactorFilesMember member{
        .form = "Emiss",
        .caption = "EmissionFactors",
        .menuItem = "mnuadvopt_5",
        .slots = &Scenario::emfacfiles,
        .filter = "Emissions (*.EMF)|*.EMF|All files (*.*)|*.*",
        .folder = "emsfac",
        .marksEmfacChanged = true,
    };
    return member;
}

const FactorFilesMember& deterioration_factors() {
    static const FactorFilesMember member{
        .form = "Deterior",
        .caption = "Deterioration Factors",
        .menuItem = "mnuadvopt_6",
        .slots = &Scenario::detfiles,
        .filter = "Deterioration (*.DET)|*.DET|All files (*.*)|*.*",
        .folder = "detfac",
        .hiddenRows = kDeteriorationHidden,
        .foundFlag = &Scenario::found_deter,
    };
    return member;
}

std::string without_access_key(std::string_view caption) {
    std::string name(caption);
    if (const auto amp = name.find('&'); amp != std::string::npos)
        name.erase(amp, 1);
    return name;
}

FactorFilesDialog::FactorFilesDialog(Session& session, const FactorFilesMember& member)
    : session_(session), member_(member) {}

void FactorFilesDialog::rowsFromScenario() {
    const auto& slots = session_.scenario.*member_.slots;
    for (std::size_t row = 0; row < kFactorRowCount; ++row)
        texts_[row] = slots[row];
}

void FactorFilesDialog::load() {
    rowsFromScenario();
    // Filling the text boxes is a change of their text, even when a slot is empty: opening
    // Emission Factors is enough for /EMFAC FILES/ to be written again from the scenario.
    if (member_.marksEmfacChanged)
        session_.scenario.changed_emfac = true;
}

void FactorFilesDialog::setText(std::size_t row, std::string text) {
    // A row is one line of the options file: line breaks pasted into it would end the line
    // there and put the rest into the file as lines of their own.
    text = without_line_breaks(std::move(text));
    if (texts_.at(row) == text)
        return;
    texts_[row] = std::move(text);
    if (member_.marksEmfacChanged)
        session_.scenario.changed_emfac = true;
}

FileDialogRequest FactorFilesDialog::request(std::size_t row) const {
    FileDialogRequest request;
    request.title = "Select a " + without_access_key(factor_rows().at(row).menuCaption) + " file";
    request.filter = std::string(member_.filter);
    request.filterIndex = 1;
    request.initialDir = folder_on_disk(session_.join(session_.settings.datadir, member_.folder));
    return request;
}

void FactorFilesDialog::choose(std::size_t row) {
    const std::optional<FileChoice> choice = choose_83_file(session_.ui, request(row));
    // Relative names are taken from the program's directory, which the Open dialog may have
    // left; a cancelled choice ends here too.
    make_program_dir_current(session_);
    if (choice)
        setText(row, session_.rules.nativeSeparators(choice->path));
}

std::optional<std::size_t> FactorFilesDialog::firstMissing() const {
    for (std::size_t row = 0; row < kFactorRowCount; ++row) {
        if (!directory_search_finds(texts_[row], session_.programDir))
            return row;
    }
    return std::nullopt;
}

bool FactorFilesDialog::testexist() {
    if (const auto missing = firstMissing()) {
        session_.message(texts_[*missing] + std::string(kMissing));
        return false;
    }
    cancelled_ = false;
    return true;
}

bool FactorFilesDialog::mayClose() {
    const auto missing = firstMissing();
    return cancelled_ ||
           may_close_storing(session_.ui,
                             missing ? std::optional(texts_[*missing] + std::string(kMissing))
                                     : std::nullopt,
                             [this] { rowsFromScenario(); });
}

void FactorFilesDialog::unload() {
    if (cancelled_)
        return;
    auto& slots = session_.scenario.*member_.slots;
    bool anyFile = false;
    for (std::size_t row = 0; row < kFactorRowCount; ++row) {
        slots[row] = texts_[row];
        anyFile |= !texts_[row].empty();
    }
    if (member_.foundFlag && anyFile)
        session_.scenario.*member_.foundFlag = true;
}

} // namespace kv
