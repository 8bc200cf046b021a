#include "advanced/alloc_tables.h"

namespace kv {

namespace {

constexpr std::string_view kCodeTable =
    " /_airtr.alo/_const.alo/_farms.alo/_golf.alo/_holsl.alo/_house.alo/_loggn.alo/_lscap.alo/"
    "_coal.alo/_mnfg.alo/_oil.alo/_pop.alo/_rvprk.alo/_snowm.alo/_sbr.alo/_sbc.alo/_wib.alo/"
    "_wob.alo/ /_rail.alo /";

constexpr std::string_view kLabelTable =
    " /Air trans. empl.   :/Construction cost  :/Harvested acres    :/Golf course estab. :/"
    "Wholesale estab.   :/Family housing     :/Logging employees  :/Landscaping empl.  :/"
    "Undergrnd coal prod:/Manufacturing empl.:/Oil & gas employees:/Census population  :/"
    "RV Park establish. :/Snowmobiles        :/Snowblowers res.   :/Snowblowers comm.  :/"
    "Rec marine inboard :/Rec marine outboard:/Locomotive NOx     :/ /";

// Entry n of a "/"-separated table: after the n-th "/" (from the start for n = 0) up to the
// next one.
std::string_view table_entry(std::string_view table, int n) {
    if (n < 0)
        return {};
    std::size_t start = 0;
    for (int i = 0; i < n; ++i) {
        const auto slash = table.find('/', start);
        if (slash == std::string_view::npos)
            return {};
        start = slash + 1;
    }
    const auto end = table.find('/', start);
    if (end == std::string_view::npos)
        return {};
    return table.substr(start, end - start);
}

} // namespace

std::string_view alloc_code(int n) {
    return table_entry(kCodeTable, n);
}
std::string_view alloc_label(int n) {
    return table_entry(kLabelTable, n);
}

} // namespace kv
