#include "advanced/single_file_dialog.h"

#include "advanced/file_choice.h"
#include "advanced/file_search.h"
#include "shell/current_dir.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/text.h"

namespace kv {

namespace {

constexpr std::string_view kSeasonTitle = "Select Seasonal Allocation file";
constexpr std::string_view kSeasonFilter = "Season (*.dat)|*.dat|All files (*.*)|*.*";
constexpr std::string_view kTechTitle = "Select Phase in file";
constexpr std::string_view kTechFilter = "TECH (*.DAT)|*.DAT|All files (*.*)|*.*";

constexpr std::string_view kOutputTitle = "Select Output file";

std::vector<SingleFileMember> make_members() {
    return {
        {.form = "frmtemporal",
         .caption = "Temporal Allocation",
         .menuItem = "mnuadvopt_1",
         .fileDialog = "dlgTemporal",
         .rows = {{.textBox = "txtSeason",
                   .changeButton = "cmdChange_0",
                   .changeCaption = "<<Change",
                   .label = "lblseason",
                   .labelText = "Seasonal File",
                   .slot = kSeasonality,
                   .dialogTitle = kSeasonTitle,
                   .filter = kSeasonFilter,
                   .folder = "SEASON"},
                  {.textBox = "txtRegion",
                   .changeButton = "cmdChange_1",
                   .changeCaption = "<<Change",
                   .label = "lblRegion",
                   .labelText = "Region File",
                   .slot = kRegionsFile,
                   .dialogTitle = kSeasonTitle,
                   .filter = kSeasonFilter,
                   .folder = "SEASON"}},
         .ok = SingleFileOk::CheckThenStoreAtClose,
         .centred = false,
         .closingNote = "Calling Region will negate any changes"},
        {.form = "frmTech",
         .caption = "Phase In",
         .menuItem = "mnuadvopt_4",
         .fileDialog = "DlgTech",
         .rows = {{.textBox = "txtExhaustTech",
                   .changeButton = "changeExhaustCommand",
                   .changeCaption = "Change...",
                   .label = "Label1",
                   .labelText = "Exhaust Tech File",
                   .slot = kExhTechnology,
                   .dialogTitle = kTechTitle,
                   .filter = kTechFilter,
                   .folder = "TECH"},
                  {.textBox = "txtEvaporativeTech",
                   .changeButton = "changeEvaporativeCommand",
                   .changeCaption = "Change...",
                   .label = "Label2",
                   .labelText = "Evaporative Tech File",
                   .slot = kEvpTechnology,
                   .dialogTitle = kTechTitle,
                   .filter = kTechFilter,
                   .folder = "TECH"}}},
        {.form = "frmActiv",
         .caption = "Activity",
         .menuItem = "mnuadvopt_7",
         .fileDialog = "DlgActivity",
         .rows = {{.textBox = "txtActivity",
                   .changeButton = "changeCommand",
                   .changeCaption = "Change...",
                   .slot = kActivity,
                   .dialogTitle = "Select Activity file",
                   .filter = "ACTIVITY (*.DAT)|*.DAT|All files (*.*)|*.*",
                   .folder = "ACTIVITY"}},
         .emptyDefault = "data\\activity\\ACTIVITY.DAT"},
        {.form = "frmUSCountiesFIPS",
         .caption = "U.S. Counties FIPS",
         .menuItem = "mnuadvopt_8",
         .fileDialog = "DlgUSCountiesFIPS",
         .rows = {{.textBox = "txtUSCountiesFIPS",
                   .changeButton = "changeCommand",
                   .changeCaption = "Change...",
                   .slot = kUsCountiesFips,
                   .dialogTitle = "Select U.S. Counties FIPS file",
                   .filter = "County FIPS (*.DAT)|*.DAT|All files (*.*)|*.*",
                   .folder = "ALLOCATE"}}},
        {.form = "frmRetrofit",
         .caption = "Retrofit",
         .menuItem = "mnuadvopt_9",
         .fileDialog = "DlgRetrofit",
         .rows = {{.textBox = "txtRetrofit",
                   .changeButton = "changeCommand",
                   .changeCaption = "Change...",
                   .slot = kRetrofit,
                   .dialogTitle = "Select Retrofit file",
                   .filter = "RETROFIT (*.DAT)|*.DAT|All files (*.*)|*.*",
                   .folder = "RETROFIT"}}},
        {.form = "frmDaily",
         .caption = "Daily Temp/RVP",
         .menuItem = "mnuadvopt_10",
         .fileDialog = "DlgDaily",
         .rows = {{.textBox = "txtDaily",
                   .changeButton = "changeCommand",
                   .changeCaption = "Change...",
                   .label = "lbldaily",
                   .labelText = "Optional file containing 365 daily temperatures and fuel RVP "
                                "inputs by state. This overrides the single values in Options.",
                   .slot = kDailyTempsRvp,
                   .dialogTitle = "Select Daily Temp/RVP file",
                   .filter = "DAYTMPRV (*.DAT)|*.DAT|All files (*.*)|*.*",
                   .folder = "DAILY"}}},
        {.form = "frmoptout",
         .caption = "Optional Output",
         .menuItem = "mnuadvopt_11",
         .fileDialog = "dlgoptout",
         .rows = {{.textBox = "txteps",
                   .changeButton = "cmdChange_0",
                   .changeCaption = "<<Change",
                   .label = "lbleps",
                   .labelText = "EPS File",
                   .slot = kEps2Ams,
                   .dialogTitle = kOutputTitle,
                   .filter = "EPS (*.eps)|*.eps|All files (*.*)|*.*",
                   .start = StartFolder::OutputDir},
                  {.textBox = "txtnet",
                   .changeButton = "cmdChange_1",
                   .changeCaption = "<<Change",
                   .label = "lblnet",
                   .labelText = "NET File",
                   .slot = kNet,
                   .hidden = true,
                   .dialogTitle = kOutputTitle,
                   .filter = "NET (*.net)|*.net|All files (*.*)|*.*",
                   .start = StartFolder::OutputDir},
                  {.textBox = "txtbmy",
                   .changeButton = "cmdChange_2",
                   .changeCaption = "<<Change",
                   .initialText = "Textbmy",
                   .hidden = true,
                   .dialogTitle = kOutputTitle,
                   .filter = "BMY (*.bm?)|*.bm?|All files (*.*)|*.*",
                   .start = StartFolder::OutputDir}},
         .ok = SingleFileOk::StoreAtClose,
         .centred = false,
         .forgetsChoice = true,
         .byModelYear = ByModelYearBox{"lblbmy", "By-Model-Year Output Files", "chkbmy",
                                       " Generate .BMX (exhaust) && BMV (evap) files in same "
                                       "folder as .OUT file.    NOTE: These can be very large "
                                       "files."}},
    };
}

} // namespace

const std::vector<SingleFileMember>& single_file_members() {
    static const std::vector<SingleFileMember> members = make_members();
    return members;
}

const SingleFileMember* single_file_member(std::string_view form) {
    for (const SingleFileMember& m : single_file_members()) {
        if (m.form == form)
            return &m;
    }
    return nullptr;
}

SingleFileDialog::SingleFileDialog(Session& session, const SingleFileMember& member)
    : session_(session), member_(member), texts_(member.rows.size()) {}

void SingleFileDialog::load() {
    const Scenario& sc = session_.scenario;
    for (std::size_t i = 0; i < member_.rows.size(); ++i) {
        const SingleFileRow& row = member_.rows[i];
        texts_[i] = row.slot ? sc.runfiles[*row.slot] : std::string(row.initialText);
    }
    byModelYear_ = sc.bmy_on;
    cancelled_ = false;
    filechanged_ = false;
    // The Open dialog belongs to the window, which is made anew.
    lastChoice_.clear();
}

void SingleFileDialog::setText(std::size_t row, std::string text) {
    // A name is one line of the options file; a pasted line break would split it there.
    texts_.at(row) = without_line_breaks(std::move(text));
}

FileDialogRequest SingleFileDialog::request(std::size_t row) const {
    const SingleFileRow& r = member_.rows.at(row);
    FileDialogRequest request;
    request.title = std::string(r.dialogTitle);
    request.filter = std::string(r.filter);
    request.filterIndex = 1;
    request.initialDir = folder_on_disk(r.start == StartFolder::OutputDir
                                            ? session_.scenario.outdir
                                            : session_.join(session_.settings.datadir, r.folder));
    request.initialFile = lastChoice_;
    request.mustExist = r.start != StartFolder::OutputDir;
    return request;
}

void SingleFileDialog::change(std::size_t row) {
    const std::optional<FileChoice> choice = choose_83_file(session_.ui, request(row));
    if (!choice)
        return;
    // The scenario's relative names are taken from the program's directory, and the Open
    // dialog may have moved the current one.
    make_program_dir_current(session_);
    const std::string path = session_.rules.nativeSeparators(choice->path);
    setText(row, path);
    filechanged_ = true;
    lastChoice_ = member_.forgetsChoice ? std::string() : path;
}

std::optional<std::size_t> SingleFileDialog::firstMissing() const {
    for (std::size_t i = 0; i < member_.rows.size(); ++i) {
        if (member_.rows[i].slot && !directory_search_finds(texts_[i], session_.programDir))
            return i;
    }
    return std::nullopt;
}

bool SingleFileDialog::ok(bool checkExistence) {
    if (member_.ok == SingleFileOk::StoreAtClose)
        return true;
    if (const auto missing = checkExistence ? firstMissing() : std::nullopt) {
        session_.message(texts_[*missing] + std::string(kMissing));
        if (member_.ok == SingleFileOk::CheckAndStore)
            texts_[*missing] = session_.scenario.runfiles[*member_.rows[*missing].slot];
        return false;
    }
    if (member_.ok == SingleFileOk::CheckAndStore)
        store();
    return true;
}

bool SingleFileDialog::mayClose() {
    // Only Temporal Allocation both checks at OK and stores at closing.
    if (member_.ok != SingleFileOk::CheckThenStoreAtClose || cancelled_)
        return true;
    const auto missing = firstMissing();
    return may_close_storing(session_.ui,
                             missing ? std::optional(texts_[*missing] + std::string(kMissing))
                                     : std::nullopt,
                             [this] { cancel(); });
}

void SingleFileDialog::unload() {
    if (!storesAtClose() || cancelled_)
        return;
    store();
    if (filechanged_ && !member_.closingNote.empty())
        session_.message(std::string(member_.closingNote), MessageIcon::Exclamation);
}

void SingleFileDialog::store() {
    Scenario& sc = session_.scenario;
    for (std::size_t i = 0; i < member_.rows.size(); ++i) {
        const SingleFileRow& row = member_.rows[i];
        if (!row.slot)
            continue;
        const bool useDefault = texts_[i].empty() && !member_.emptyDefault.empty();
        sc.runfiles[*row.slot] =
            useDefault ? session_.rules.nativeSeparators(member_.emptyDefault) : texts_[i];
    }
    if (member_.byModelYear) {
        // The writer names the by-model-year files after the output data file when the box
        // is ticked; cleared, they are dropped.
        sc.bmy_on = byModelYear_;
        if (!byModelYear_) {
            sc.runfiles[kExhaustBmyOut].clear();
            sc.runfiles[kEvapBmyOut].clear();
        }
    }
}

} // namespace kv
