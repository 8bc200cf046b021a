#include "editors/region_dialog.h"

#include "editors/region_files.h"
#include "editors/state_table.h"
#include "optionsfile/format.h"
#include "optionsfile/validation.h"
#include "shell/session.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

namespace kv {

namespace {

// Jet's error for a move on a record set without rows.
constexpr int kNoCurrentRecord = 3021;

bool valid_line(std::optional<int> line, std::size_t count) {
    return line && *line >= 0 && static_cast<std::size_t>(*line) < count;
}

} // namespace

const std::array<std::string_view, RegionDialog::kLevelCount>& RegionDialog::levelCaptions() {
    using format::kRegionLevelCaptions;
    static const std::array<std::string_view, kLevelCount> captions{
        kRegionLevelCaptions[FiftyStates], kRegionLevelCaptions[StateLevel],
        kRegionLevelCaptions[CountyLevel], kRegionLevelCaptions[UsTotal], "Option1"};
    return captions;
}

RegionDialog::RegionDialog(Session& session) : session_(session) {}

JetQuery RegionDialog::county_query(const RegionCls& state) {
    JetQuery q("SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties");
    q.append(" WHERE((Counties.FIPS like ");
    q.appendQuoted(state.code.substr(0, 2) + "###");
    q.append(") AND (Counties.COUNTY not like ");
    q.appendQuoted("The State*");
    q.append("));");
    return q;
}

std::string RegionDialog::entry_name(const RegionCls& entry) {
    return entry.isState ? entry.statename : entry.county + " " + entry.abbr;
}

void RegionDialog::load() {
    Scenario& sc = session_.scenario;
    savedAtOpening_ = sc.regions_saved;
    changedAtOpening_ = sc.changed_region;
    discarded_ = false;

    copy_regions(sc.regions, sc.regions_saved);
    curlevel_ = sc.regionlevel;
    sc.changed_region = true;
    // The allocation and population lists are left alone here: they are rebuilt when a
    // region is committed, from the entries committed, never merely because the dialog
    // was opened (that would throw away lists edited in their own dialogs or read from the
    // file).
    copy_regions(sc.regions, openregions_);
    openlevel_ = sc.regionlevel;

    if (allstates_.empty()) {
        for (const auto& row : session_.statelist) {
            auto entry = std::make_shared<RegionCls>();
            entry->statename = row->statename;
            entry->abbr = row->abbr;
            entry->code = row->code + "000";
            entry->isState = true;
            const std::string key = entry->code;
            allstates_.add(std::move(entry), key);
        }
    }
    // A new window: no line is selected and the county list is empty.
    stateLine_.reset();
    clearCounties();
    loadstates();
    regsel();
    levelClicked(curlevel_);
}

void RegionDialog::levelClicked(int n) {
    const int old = curlevel_;
    // Counties are entries of the county level only: leaving it for any level drops them, so
    // no county is kept (and written) under a level that the next read drops it for.
    regionb_consistent(n == CountyLevel && old == StateLevel,
                       n != CountyLevel && old == CountyLevel);
    curlevel_ = static_cast<std::int16_t>(n);
    if (n == FiftyStates)
        session_.scenario.regions_saved.clear();
    addEnabled_ = n != FiftyStates && n != UsTotal;
    if (n != CountyLevel)
        clearCounties();
    regsel();
    if (n == CountyLevel && valid_line(stateLine_, allstates_.size()))
        stateClicked(*stateLine_);
}

void RegionDialog::regionb_consistent(bool /*S_C*/, bool C_S) {
    RegionCollection& saved = session_.scenario.regions_saved;
    if (C_S && !saved.empty())
        saved.retain([](const RegionCls& entry) { return entry.isState; });
}

void RegionDialog::regsel() {
    regionabbrs_.clear();
    lines_.clear();
    selected_.clear();
    for (const auto& entry : session_.scenario.regions_saved) {
        if (std::find(regionabbrs_.begin(), regionabbrs_.end(), entry->abbr) == regionabbrs_.end())
            regionabbrs_.push_back(entry->abbr);
        if (!entry->isState)
            lines_.push_back({entry_name(*entry), entry});
        else if (curlevel_ == StateLevel)
            lines_.push_back({entry->statename, entry});
        else if (curlevel_ == CountyLevel)
            lines_.push_back({"All of " + entry->statename, entry});
    }
}

void RegionDialog::loadstates() {
    stateLines_.clear();
    for (const auto& entry : allstates_)
        stateLines_.push_back(entry->statename);
}

std::vector<std::string> RegionDialog::countyLines() const {
    std::vector<std::string> lines;
    lines.reserve(countylist_.size());
    for (const auto& entry : countylist_)
        lines.push_back(entry->county);
    return lines;
}

void RegionDialog::clearCounties() {
    countylist_.clear();
    countyLine_.reset();
    // With no county left to take, Add takes the state highlighted in the state list.
    statesclicked_ = true;
}

void RegionDialog::stateClicked(int line) {
    if (valid_line(line, allstates_.size())) {
        stateLine_ = line;
        if (curlevel_ == CountyLevel)
            listCounties(*allstates_.at(static_cast<std::size_t>(line)));
    }
    statesclicked_ = true;
}

void RegionDialog::listCounties(const RegionCls& state) {
    const JetQuery query = county_query(state);
    // A failure is shown once for each step it makes fail; the log keeps the query.
    const auto failed = [&](int number, const std::string& text, int steps) {
        for (int i = 0; i < steps; ++i)
            session_.message("Error " + std::to_string(number) + ": " + text);
        session_.log.write("County list error " + std::to_string(number) + " " + text);
        session_.log.write(query.text());
    };
    clearCounties();
    if (!open_reference_db(session_))
        return;
    try {
        const RecordSet rs = session_.refdb->query(query);
        // A record set without rows fails both moves, to the last row and back to the first.
        if (rs.empty())
            failed(kNoCurrentRecord, "No current record.", 2);
        for (std::size_t row = 0; row < rs.size(); ++row) {
            auto entry = std::make_shared<RegionCls>();
            entry->county = rs.value(row, "COUNTY");
            entry->abbr = state.abbr;
            entry->code = rs.value(row, "FIPS");
            entry->isState = false;
            const std::string key = entry->code;
            countylist_.add(std::move(entry), key);
        }
    } catch (const ReferenceDbError& e) {
        failed(e.number(), e.what(), 1);
    }
    close_reference_db(session_);
}

void RegionDialog::countyClicked(int line) {
    if (valid_line(line, countylist_.size()))
        countyLine_ = line;
    statesclicked_ = false;
}

void RegionDialog::selectLines(const std::vector<int>& lines) {
    selected_.clear();
    for (int line : lines) {
        if (valid_line(line, lines_.size()) &&
            std::find(selected_.begin(), selected_.end(), line) == selected_.end())
            selected_.push_back(line);
    }
    std::sort(selected_.begin(), selected_.end());
}

void RegionDialog::add() {
    const bool stateSelected = valid_line(stateLine_, allstates_.size());
    const bool countySelected = valid_line(countyLine_, countylist_.size());
    if (!stateSelected && !countySelected) {
        session_.ui.showMessage(std::string(kNothingSelected), "", MessageIcon::None);
        return;
    }
    if (curlevel_ == FiftyStates)
        return;
    if (statesclicked_ ? !stateSelected : !countySelected) {
        // The list last clicked has no line selected: there is nothing to take from it.
        session_.ui.showMessage(std::string(kNothingSelected), "", MessageIcon::None);
        return;
    }
    addEntry(statesclicked_ ? allstates_.at(static_cast<std::size_t>(*stateLine_))
                            : countylist_.at(static_cast<std::size_t>(*countyLine_)));
}

void RegionDialog::addEntry(const RegionCollection::Ptr& entry) {
    if (!session_.scenario.regions_saved.add(entry, entry->code)) {
        session_.message(entry_name(*entry) + std::string(kAlreadySelected));
        return;
    }
    regsel();
}

void RegionDialog::del() {
    // Each selected line removes the entry it shows, whatever the level.
    std::unordered_set<const RegionCls*> removed;
    for (int line : selected_)
        removed.insert(lines_.at(static_cast<std::size_t>(line)).entry.get());
    if (!removed.empty())
        session_.scenario.regions_saved.retain(
            [&](const RegionCls& entry) { return removed.count(&entry) == 0; });
    regsel();
}

void RegionDialog::ok() {
    session_.scenario.changed_region = true;
}

void RegionDialog::restoreOpening() {
    Scenario& sc = session_.scenario;
    copy_regions(openregions_, sc.regions);
    sc.regionlevel = openlevel_;
    sc.regions_saved = savedAtOpening_;
    curlevel_ = openlevel_;
    discarded_ = true;
}

void RegionDialog::cancel() {
    restoreOpening();
}

void RegionDialog::escape() {
    restoreOpening();
    // Escape takes back the mark that opening set; a region committed before this opening
    // and not saved yet stays marked, so saving still writes it.
    session_.scenario.changed_region = changedAtOpening_;
}

void RegionDialog::unload() {
    Scenario& sc = session_.scenario;
    if (discarded_ || !sc.changed_region)
        return;
    copy_regions(sc.regions_saved, sc.regions);
    sc.regionlevel = curlevel_;
    // The lists follow the entries being committed, whatever the selection list showed last.
    regionabbrs_ = region_abbreviations(sc.regions);
    pop_alloc();
}

void RegionDialog::pop_alloc() {
    kv::pop_alloc(session_, curlevel_, regionabbrs_);
}

} // namespace kv
