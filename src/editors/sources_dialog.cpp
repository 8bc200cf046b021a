#include "editors/sources_dialog.h"

#include "optionsfile/jet_query.h"
#include "optionsfile/validation.h"
#include "shell/errors.h"
#include "shell/session.h"

#include <unordered_set>

namespace kv {

namespace {

constexpr std::array<std::string_view, SourcesDialog::kSegmentCount> kSegmentCaptions = {
    "All Segments", "Recreational", "Construction", "Industrial",      "Lawn && Garden",
    "Agricultural", "Commercial",   "Logging",      "Airport Service", "Underground Mining",
    "Oil Field",    "Railway",      "Marine Rec",   "Option1"};

constexpr std::array<std::string_view, SourcesDialog::kFuelCount> kFuelCaptions = {
    "All Fuels", "Diesel", "SI", "Option1", "Option1"};

constexpr std::string_view kRailwayPrefix = "22850";
constexpr std::string_view kMarinePrefix = "22820";

// The head of every pattern query; the pattern follows in double quotes.
constexpr std::string_view kPatternQuery = "SELECT DISTINCTROW SCC,EQUIP,CLASSIFICATION,"
                                           "[Engine Type] from [EQUIPMENT TYPES] WHERE SCC LIKE ";

// The five queries of the "Marine Rec" segment.
constexpr std::string_view kMarineHead =
    "Select DISTINCTROW [Equipment Types].SCC,[Equipment Types].EQUIP,[Equipment "
    "Types].CLASSIFICATION,[Equipment Types].[Engine Type] FROM [Equipment Types] WHERE ";
constexpr std::string_view kMarineAll = "(([Equipment Types].SCC=\"2282000000\"));";
constexpr std::string_view kMarineDiesel = "(([Equipment Types].SCC=\"2282020000\"));";
constexpr std::string_view kMarineNonDiesel =
    "(([Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> \"2282000000\" "
    "And [Equipment Types].SCC <> \"2282020000\" And [Equipment Types].[Engine Type] <> "
    "\"Diesel\"));";
constexpr std::string_view kMarineEquipment =
    "(([Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> \"2282000000\" "
    "And [Equipment Types].SCC <> \"2282020000\"));";
constexpr std::string_view kMarineDieselEquipment =
    "(([Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> \"2282000000\" "
    "And [Equipment Types].SCC <> \"2282020000\" And [Equipment Types].[Engine Type] = "
    "\"Diesel\"));";

// The SCC piece a segment click stores; none for the hidden button.
std::optional<std::string> segment_prefix(std::int16_t index) {
    if (index == SourcesDialog::kAllSegments)
        return "00000";
    if (index >= 1 && index <= 10)
        return (index < 10 ? "0" : "") + std::to_string(index) + "000";
    if (index == SourcesDialog::kRailway)
        return std::string(kRailwayPrefix);
    if (index == SourcesDialog::kMarineRec)
        return std::string(kMarinePrefix);
    return std::nullopt;
}

// The error number and text the Add error box shows.
ErrorInfo add_error(const std::exception& e) {
    if (const auto* db = dynamic_cast<const ReferenceDbError*>(&e))
        return {db->number(), db->describe()};
    return error_of(e);
}

// Releases the reference database however Add ends.
class ReferenceDbScope {
public:
    explicit ReferenceDbScope(Session& session) : session_(session) {}
    ~ReferenceDbScope() { close_reference_db(session_); }
    ReferenceDbScope(const ReferenceDbScope&) = delete;
    ReferenceDbScope& operator=(const ReferenceDbScope&) = delete;

private:
    Session& session_;
};

} // namespace

std::string_view SourcesDialog::segmentCaption(std::int16_t index) {
    return index >= 0 && index < kSegmentCount ? kSegmentCaptions[index] : std::string_view();
}

std::string_view SourcesDialog::fuelCaption(std::int16_t index) {
    return index >= 0 && index < kFuelCount ? kFuelCaptions[index] : std::string_view();
}

SourcesDialog::SourcesDialog(Session& session) : session_(session) {}

void SourcesDialog::load() {
    save_input_sources();
    // Cancel leaves the scenario exactly as it was, also the flag that opening changes.
    savedfound_source_ = session_.scenario.found_source;
    // A new window: the code list shown, the prefix field empty.
    codesVisible_ = true;
    seg_.clear();
    segmentClick(kHiddenSegment);
    src_active();
    // The lists show every entry, also when all sources are in force (they are disabled
    // then): a line for each entry is what keeps lines and entries in step.
    fillLines();
    segindex_ = -1;
    fuelindex_ = -1;
}

void SourcesDialog::fillLines() {
    const Scenario& sc = session_.scenario;
    lines_.clear();
    current_.reset();
    for (std::size_t i = 0; i < sc.sourceCount(); ++i) {
        const SourceEntry& entry = sc.sources[i];
        addLine(entry.description, entry.scc, entry.scc + " " + entry.description);
    }
    ++revision_;
}

void SourcesDialog::addLine(std::string description, std::string code, std::string codeDesc) {
    lines_.push_back({std::move(description), std::move(code), std::move(codeDesc), {}});
    ++revision_;
}

void SourcesDialog::segmentClick(std::int16_t index) {
    if (index < 0 || index >= kSegmentCount)
        return;
    segindex_ = index;
    if (const auto prefix = segment_prefix(index)) {
        // The prefix goes through the text field and is taken back from it.
        seg_ = *prefix;
        segprefix_ = seg_;
        savedprefix_ = seg_;
    }
}

void SourcesDialog::fuelClick(std::int16_t index) {
    if (index >= 0 && index < kFuelCount)
        fuelindex_ = index;
}

void SourcesDialog::srcactClick(std::int16_t index) {
    session_.scenario.sources_on = index == 0;
    src_active();
}

bool SourcesDialog::choicesEnabled() const {
    return session_.scenario.sources_on;
}

void SourcesDialog::src_active() {
    Scenario& sc = session_.scenario;
    if (sc.sources_on) {
        // The visible buttons are cleared by selecting the hidden ones.
        segmentClick(kHiddenSegment);
        fuelClick(kHiddenFuel);
        sc.found_source = true;
    } else {
        sc.found_source = false;
    }
}

void SourcesDialog::save_input_sources() {
    savedsources_ = session_.scenario.sources;
    savedsources_on_ = session_.scenario.sources_on;
}

void SourcesDialog::restore_input_sources() {
    session_.scenario.sources = savedsources_;
    session_.scenario.sources_on = savedsources_on_;
    fillLines();
}

std::string SourcesDialog::equipstr(std::string_view text) {
    std::string result(text);
    for (auto it = result.rbegin(); it != result.rend() && *it == '0'; ++it)
        *it = '#';
    return result;
}

std::string SourcesDialog::selection(std::int16_t Index, std::int16_t lseg) {
    if (Index == AddEquipment && lseg >= 0 && lseg <= 10)
        segprefix_ = equipstr(segprefix_);
    if (fuelindex_ < 0 || fuelindex_ > 2 || lseg < 0 || lseg > kMarineRec)
        return {};
    const std::string& P = segprefix_;
    if (lseg <= 10) {
        constexpr std::array<std::string_view, 3> head = {"##[!8]##", "##7##", "##[!7-8]##"};
        return std::string(head[fuelindex_]) + P;
    }
    if (fuelindex_ == 0)
        return P + (Index == AddEquipment ? "#####" : "00000");
    if (lseg == kRailway)
        return P + (fuelindex_ == 1 ? "02015" : "0[3-8]015");
    return P + (fuelindex_ == 1 ? "20000" : "[0-1][0-5]0##");
}

std::string SourcesDialog::marine_sql(std::int16_t Index) const {
    const bool equipment = Index == AddEquipment;
    switch (fuelindex_) {
    case 0:
        return std::string(kMarineHead).append(equipment ? kMarineEquipment : kMarineAll);
    case 1:
        return std::string(kMarineHead).append(equipment ? kMarineDieselEquipment : kMarineDiesel);
    case 2:
        return std::string(kMarineHead).append(kMarineNonDiesel);
    default:
        return {};
    }
}

bool SourcesDialog::add(std::int16_t Index) {
    if (segindex_ == -1) {
        session_.ui.showMessage(std::string(kNoEquipment), "", MessageIcon::None);
        return false;
    }
    if (fuelindex_ == -1) {
        session_.ui.showMessage(std::string(kNoFuel), "", MessageIcon::None);
        return false;
    }
    Scenario& sc = session_.scenario;
    Log& log = session_.log;
    try {
        std::optional<BusyPointer> busy(std::in_place, session_.ui);
        segprefix_ = savedprefix_;

        JetQuery query;
        if (segindex_ == kMarineRec) {
            query = JetQuery(marine_sql(Index));
        } else if (segindex_ == kAllSegments) {
            const std::string p0 = selection(Index, kAllSegments);
            segprefix_ = kRailwayPrefix;
            const std::string p1 = selection(Index, kRailway);
            segprefix_ = kMarinePrefix;
            const std::string p2 = selection(Index, kMarineRec);
            log.write("selector1 <" + p1 + ">");
            log.write("selector2 <" + p2 + ">");
            query = JetQuery(kPatternQuery);
            query.appendQuoted(p0).append(" OR SCC LIKE ").appendQuoted(p1);
            query.append(" OR SCC LIKE ").appendQuoted(p2).append(";");
        } else {
            query = JetQuery(kPatternQuery);
            query.appendQuoted(selection(Index, segindex_)).append(";");
        }

        log.write("Now print SQL");
        log.write(query.text());
        if (!open_reference_db(session_))
            return false; // the database's own message has been shown
        const ReferenceDbScope database(session_);
        // The "Marine Rec" segment has no query for a fuel the user has not chosen: like an
        // empty pattern, it finds nothing.
        const RecordSet rs = query.text().empty() ? RecordSet{} : session_.refdb->query(query);
        log.write("Tried open recordset");

        if (rs.empty()) {
            busy.reset();
            log.write(std::string(segmentCaption(segindex_)) + " " +
                      std::string(fuelCaption(fuelindex_)));
            log.write("None found ");
            session_.ui.beep();
            return true;
        }

        log.write("Addsel ");
        std::unordered_set<std::string> listed;
        listed.reserve(sc.sourceCount() + rs.size());
        for (std::size_t i = 0; i < sc.sourceCount(); ++i)
            listed.insert(sc.sources[i].scc);
        for (std::size_t row = 0; row < rs.size(); ++row) {
            const std::string& code = rs.value(row, "SCC");
            const std::string scc = SourceEntry::fixedScc(code);
            if (listed.count(scc) != 0)
                continue;
            if (Index == AddEquipment && code.ends_with("20000"))
                continue;
            if (sc.sourceCount() >= kMaxSources)
                throw RunError(kOverflow);
            const std::string& equip = rs.value(row, "EQUIP");
            const std::string joined =
                equip + " " + rs.value(row, "CLASSIFICATION") + " " + rs.value(row, "Engine Type");
            addLine(joined, code, code + " " + joined);
            log.write("?????\t" + code + "\t" + equip);
            sc.appendSource({scc, equip});
            listed.insert(scc);
        }
        log.write("Found " + std::to_string(rs.size()) + " ");
        return true;
    } catch (const std::exception& e) {
        // Rows added before the error stay.
        const ErrorInfo error = add_error(e);
        session_.message("Addsel Error " + std::to_string(error.number) + " " + error.text);
        return false;
    }
}

void SourcesDialog::remove() {
    if (!current_ || *current_ >= lines_.size())
        return;
    const auto anyChosen = [](const Line& line) {
        return line.chosen[Selected] || line.chosen[lstcodes] || line.chosen[CodeDesc];
    };
    std::size_t removedBefore = 0;
    bool currentRemoved = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!anyChosen(lines_[i]))
            continue;
        if (i < *current_)
            ++removedBefore;
        else if (i == *current_)
            currentRemoved = true;
    }
    std::erase_if(lines_, anyChosen);
    ++revision_;
    if (currentRemoved)
        current_.reset();
    else
        *current_ -= removedBefore;

    // The list is rebuilt from what the lines show.
    Scenario& sc = session_.scenario;
    sc.resetSources();
    for (const Line& line : lines_)
        sc.appendSource({SourceEntry::fixedScc(line.code), line.description});
}

void SourcesDialog::cancel() {
    restore_input_sources();
    session_.scenario.found_source = savedfound_source_;
}

bool SourcesDialog::keyDown(int keyCode) {
    switch (keyCode) {
    case KeyEscape:
        cancel();
        return true;
    case KeyF12:
        codesVisible_ = !codesVisible_;
        return false;
    case KeyBack:
    case KeyDelete:
        remove();
        return false;
    default:
        return false;
    }
}

void SourcesDialog::setChosen(List list, std::size_t line, bool chosen) {
    if (line < lines_.size())
        lines_[line].chosen[list] = chosen;
}

} // namespace kv
