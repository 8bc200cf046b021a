#pragma once

#include "optionsfile/keyed_collection.h"
#include "optionsfile/scenario.h"

#include <string>

namespace kv {

// One row of the fixed table of 53 states and territories.
struct State {
    std::string code; // two-digit state FIPS code
    std::string statename;
    std::string abbr;
};

using StateList = KeyedCollection<State>;

// Fills `statelist` with the 53 rows in table order, keyed by code.
void build_state_table(StateList& statelist);

// Empties the target and adds every entry of the source, in order, keyed by its code. The
// entries are shared between both collections.
void copy_regions(const RegionCollection& source, RegionCollection& target);

} // namespace kv
