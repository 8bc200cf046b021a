#pragma once

#include "optionsfile/scenario.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class Session;

// The distinct state abbreviations of the entries, in the order they first appear.
std::vector<std::string> region_abbreviations(const RegionCollection& entries);

// Rebuilds the allocation-file and population-file lists from the data tree for a region:
// at the levels 50 States (0) and US Total (3) the files of the key "US", else those of each
// abbreviation in turn. A key's allocation files are the ALLOCATE folder's files named key
// + anything + ".alo", its population file POP/key.pop. Folders and file names are found
// whatever their case (a data tree copied from Windows works), and a key's files are taken
// in the order of their names compared without regard to case, so the lists come out the
// same on every machine. The working copies are filled, copied into `allocfiles` and
// `popfiles`, and both lists are marked as edited. A folder that cannot be read ends the
// rebuild with "pop_alloc error " and the two folders; the lists and flags are then left as
// they are and the answer is false.
bool pop_alloc(Session& session, std::int16_t level, const std::vector<std::string>& abbrs);

} // namespace kv
