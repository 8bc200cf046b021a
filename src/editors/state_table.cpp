#include "editors/state_table.h"

#include <memory>
#include <string_view>

namespace kv {

namespace {

constexpr std::string_view kCodes =
    "01/02/04/05/06/08/09/10/12/13/15/16/17/18/19/20/21/22/23/24/25/26/27/28/29/30/31/32/33/"
    "34/35/36/37/38/39/40/41/42/72/44/45/46/47/48/78/49/50/51/53/11/54/55/56/";
constexpr std::string_view kNames =
    "Alabama/Alaska/Arizona/Arkansas/California/Colorado/Connecticut/Delaware/Florida/Georgia/"
    "Hawaii/Idaho/Illinois/Indiana/Iowa/Kansas/Kentucky/Louisiana/Maine/Maryland/Massachusetts/"
    "Michigan/Minnesota/Mississippi/Missouri/Montana/Nebraska/Nevada/New Hampshire/New Jersey/"
    "New Mexico/New York/North Carolina/North Dakota/Ohio/Oklahoma/Oregon/Pennsylvania/"
    "Puerto Rico/Rhode Island/South Carolina/South Dakota/Tennessee/Texas/U.S. Virgin Islands/"
    "Utah/Vermont/Virginia/Washington/Washington DC/West Virginia/Wisconsin/Wyoming/";
constexpr std::string_view kAbbrs =
    "AL/AK/AZ/AR/CA/CO/CT/DE/FL/GA/HI/ID/IL/IN/IA/KS/KY/LA/ME/MD/MA/MI/MN/MS/MO/MT/NE/NV/NH/NJ/"
    "NM/NY/NC/ND/OH/OK/OR/PA/PR/RI/SC/SD/TN/TX/VI/UT/VT/VA/WA/DC/WV/WI/WY/";

// Reads the next "/"-terminated piece of a list, advancing its own read position.
std::string next_piece(std::string_view list, std::size_t& pos) {
    const std::size_t slash = list.find('/', pos);
    std::string piece(list.substr(pos, slash - pos));
    pos = slash + 1;
    return piece;
}

} // namespace

void build_state_table(StateList& statelist) {
    statelist.clear();
    std::size_t codePos = 0, namePos = 0, abbrPos = 0;
    for (int i = 0; i < 53; ++i) {
        auto state = std::make_shared<State>();
        state->code = next_piece(kCodes, codePos);
        state->statename = next_piece(kNames, namePos);
        state->abbr = next_piece(kAbbrs, abbrPos);
        const std::string key = state->code;
        statelist.add(std::move(state), key);
    }
}

void copy_regions(const RegionCollection& source, RegionCollection& target) {
    // Every region is kept under its code, so the copy shares the list until one changes.
    target = source;
}

} // namespace kv
