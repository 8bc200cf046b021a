#pragma once

#include "optionsfile/scenario.h"

#include <nlohmann/json.hpp>

namespace kvopt {

// The scenario keyed by its own names: flags as booleans, lists without their spare slot.
nlohmann::ordered_json scenario_to_json(const kv::Scenario& scenario);

} // namespace kvopt
