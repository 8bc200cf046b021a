#include "optionsfile/validation.h"

#include "optionsfile/format.h"
#include "shell/run_error.h"
#include "shell/session.h"

#include <optional>
#include <unordered_set>
#include <vector>

namespace kv {

bool open_reference_db(Session& session) {
    session.refdbpath = reference_db_path(session.settings.modeldir, session.rules.separator);
    try {
        session.refdb = session.refdbs.open(session.refdbpath);
        return true;
    } catch (const ReferenceDbError& e) {
        session.refdb.reset();
        session.message(e.what() + session.refdbpath + std::to_string(e.number()));
        return false;
    }
}

void close_reference_db(Session& session) {
    // The path stays the one open_reference_db tried: looking for the file again on every
    // close costs a batch's check a folder listing per file for nothing.
    session.refdb.reset();
}

JetQuery region_query(std::string_view code) {
    JetQuery q("SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=");
    q.appendQuoted(code);
    q.append(");");
    return q;
}

JetQuery scc_query(std::string_view scc) {
    JetQuery q("SELECT DISTINCTROW  [Equipment Types].SCC, [Equipment Types].EQUIP,"
               "[Equipment Types].[Engine Type], [Equipment Types].Classification ");
    q.append("FROM [Equipment Types] WHERE (SCC=");
    q.appendQuoted(scc);
    q.append(");");
    return q;
}

namespace {

// "Region entries that do not fit the level <level> were left out: <code>, <code>, ...",
// the level as the Region dialog's button names it.
std::string region_misfits_message(std::int16_t level, const std::vector<std::string>& codes) {
    std::string text = "Region entries that do not fit the level ";
    if (level >= 0 && static_cast<std::size_t>(level) < format::kRegionLevelCaptions.size())
        text += format::kRegionLevelCaptions[static_cast<std::size_t>(level)];
    text += " were left out: ";
    for (std::size_t i = 0; i < codes.size(); ++i)
        text += (i == 0 ? "" : ", ") + codes[i];
    return text;
}

} // namespace

bool validate_region(Session& session) {
    if (!open_reference_db(session))
        return false;
    Scenario& sc = session.scenario;
    // Entries are completed in place and the unknown ones collected, then dropped in one
    // linear pass; the result is the same as removing each one as it is met.
    std::unordered_set<const RegionCls*> dropped;
    // Counties under a level without counties: dropped like unknown codes, but named, since
    // they are real regions the file asked for.
    std::vector<std::string> misfits;
    try {
        // One look-up per entry: in the index when the database has one, else a query.
        const ReferenceIndex* index = session.refdb->index();
        for (const auto& entry : sc.regions) {
            RegionCls& region = *entry;
            const auto state = session.statelist.find(region.code.substr(0, 2));
            if (!state)
                throw RunError(kInvalidProcedureCall);
            // The county's name, when the database knows the code.
            std::optional<std::string> county;
            if (index) {
                if (const std::string* name = index->county(region.code))
                    county = *name;
            } else if (const RecordSet rs = session.refdb->query(region_query(region.code));
                       !rs.empty()) {
                county = rs.value(0, "COUNTY");
            }
            // A state's code names the whole state at every level: the county level also
            // takes whole states ("All California : 06000").
            if (county && region.code.size() >= 3 &&
                region.code.compare(region.code.size() - 3, 3, "000") == 0) {
                region.isState = true;
                region.abbr = state->abbr;
                region.statename = state->statename;
                region.county = "*****";
            } else if (county && sc.regionlevel == 2) {
                region.abbr = state->abbr;
                region.statename = state->statename;
                region.county = std::move(*county);
                region.isState = false;
            } else {
                if (county)
                    misfits.push_back(region.code);
                dropped.insert(&region);
            }
        }
    } catch (const std::exception& e) {
        // Validation stops here; the entries not visited yet keep only their code.
        session.message(std::string("validate_region ") + e.what());
        session.log.write("Exiting abnormally validate_region; ");
    }
    if (!dropped.empty())
        sc.regions.retain([&](const RegionCls& r) { return dropped.count(&r) == 0; });
    if (!misfits.empty())
        session.message(region_misfits_message(sc.regionlevel, misfits), MessageIcon::Information);
    copy_regions(sc.regions, sc.regions_saved);
    close_reference_db(session);
    return true;
}

std::optional<SourceEntry> check_scc(Session& session, const std::string& scc) {
    ReferenceIndex::Equipment row;
    if (const ReferenceIndex* index = session.refdb->index()) {
        const ReferenceIndex::Equipment* found = index->equipmentOf(scc);
        if (!found)
            return std::nullopt;
        row = *found;
    } else {
        const RecordSet rs = session.refdb->query(scc_query(scc));
        if (rs.empty())
            return std::nullopt;
        row = {rs.value(0, "SCC"), rs.value(0, "EQUIP"), rs.value(0, "Engine Type"),
               rs.value(0, "CLASSIFICATION")};
    }
    // The tables compare without regard to case; the code must be written as it is there.
    if (row.scc != scc)
        return std::nullopt;
    SourceEntry entry;
    entry.scc = SourceEntry::fixedScc(row.scc);
    entry.description = row.equip + " " + row.classification + " " + row.engineType;
    return entry;
}

} // namespace kv
