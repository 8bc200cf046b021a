#include "scenario_json.h"

namespace kvopt {

using nlohmann::ordered_json;

namespace {

ordered_json file_list(const kv::AllocCollection& list) {
    ordered_json out = ordered_json::array();
    for (const auto& entry : list)
        out.push_back({{"descriptor", entry->descriptor}, {"allocfile", entry->allocfile}});
    return out;
}

template <class Array> ordered_json slots(const Array& array, std::size_t count) {
    ordered_json out = ordered_json::array();
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(array[i]);
    return out;
}

} // namespace

ordered_json scenario_to_json(const kv::Scenario& sc) {
    ordered_json j;
    j["optdir"] = sc.optdir;
    j["optfile"] = sc.optfile;
    j["newoptdir"] = sc.newoptdir;
    j["newoptfile"] = sc.newoptfile;
    j["prevoptdir"] = sc.prevoptdir;
    j["prevoptfile"] = sc.prevoptfile;

    j["runfiles"] = slots(sc.runfiles, kv::kRunFileCount);
    j["msgdir"] = sc.msgdir;
    j["msgfile"] = sc.msgfile;
    j["outdir"] = sc.outdir;
    j["outfile"] = sc.outfile;
    j["bmy_on"] = sc.bmy_on;

    j["title1str"] = sc.title1str;
    j["title2str"] = sc.title2str;
    j["fulrvpstr"] = sc.fulrvpstr;
    j["pcoxygenstr"] = sc.pcoxygenstr;
    j["so2gasstr"] = sc.so2gasstr;
    j["so2dieselstr"] = sc.so2dieselstr;
    j["so2marinedieselstr"] = sc.so2marinedieselstr;
    j["so2cngstr"] = sc.so2cngstr;
    j["mintempstr"] = sc.mintempstr;
    j["maxtempstr"] = sc.maxtempstr;
    j["avgtempstr"] = sc.avgtempstr;
    j["altitudestr"] = sc.altitudestr;

    j["stage2str"] = sc.stage2str;
    j["stage2_known"] = sc.stage2_known;

    j["periodindex"] = sc.periodindex;
    j["ptypeindex"] = sc.ptypeindex;
    j["yearstr"] = sc.yearstr;
    j["seasonindex"] = sc.seasonindex;
    j["monthindex"] = sc.monthindex;
    j["weekindex"] = sc.weekindex;
    j["growthyearstr"] = sc.growthyearstr;
    j["techyearstr"] = sc.techyearstr;

    j["regionlevel"] = sc.regionlevel;
    ordered_json regions = ordered_json::array();
    for (const auto& r : sc.regions)
        regions.push_back({{"code", r->code},
                           {"county", r->county},
                           {"statename", r->statename},
                           {"abbr", r->abbr},
                           {"isState", r->isState}});
    j["regions"] = std::move(regions);

    ordered_json sources = ordered_json::array();
    for (std::size_t i = 0; i < sc.sourceCount(); ++i)
        sources.push_back({{"scc", sc.sources[i].scc}, {"description", sc.sources[i].description}});
    j["sources"] = std::move(sources);
    j["sources_on"] = sc.sources_on;

    j["allocfiles"] = file_list(sc.allocfiles);
    j["popfiles"] = file_list(sc.popfiles);
    j["growthfiles"] = slots(sc.growthfiles, sc.growthCount());
    j["emfacfiles"] = slots(sc.emfacfiles, 15);
    j["detfiles"] = slots(sc.detfiles, 15);

    j["found_runfiles"] = sc.found_runfiles;
    j["found_options"] = sc.found_options;
    j["found_period"] = sc.found_period;
    j["found_region"] = sc.found_region;
    j["found_source"] = sc.found_source;
    j["found_pop"] = sc.found_pop;
    j["found_alloc"] = sc.found_alloc;
    j["found_growth"] = sc.found_growth;
    j["found_emfac"] = sc.found_emfac;
    j["found_deter"] = sc.found_deter;
    j["found_stage2"] = sc.found_stage2;
    j["found_modelyear"] = sc.found_modelyear;
    j["found_daily"] = sc.found_daily;

    j["changed_options"] = sc.changed_options;
    j["changed_period"] = sc.changed_period;
    j["changed_region"] = sc.changed_region;
    j["changed_pop"] = sc.changed_pop;
    j["changed_alloc"] = sc.changed_alloc;
    j["changed_growth"] = sc.changed_growth;
    j["changed_emfac"] = sc.changed_emfac;
    return j;
}

} // namespace kvopt
