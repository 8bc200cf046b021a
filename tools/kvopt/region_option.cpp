#include "region_option.h"

namespace kvopt {

void add_region_option(CLI::App& save, std::string& value) {
    save.add_option("--region", value,
                    "LEVEL[=ENTRY,...]: replace the region and rebuild the allocation and "
                    "population lists, as the Region dialog's OK does. LEVEL is 50states, "
                    "state, county or ustotal; ENTRY a state's abbreviation or two-digit code "
                    "(the whole state) or, at the county level, a five-digit county code");
}

} // namespace kvopt
