#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct Scenario;

// Sets one scenario item from text by its own name ("title1str", "periodindex",
// "runfiles.7", ...), and the edit flag of the packet that carries it, so that the next
// save regenerates that packet. Answers an empty text on success, else why it was refused.
std::string set_scenario_value(Scenario& scenario, std::string_view name, std::string_view value);

// The value of an item by the name set_scenario_value takes, as text: numbers in decimal,
// flags as "true" or "false". Nullopt for a name it does not take.
std::optional<std::string> get_scenario_value(const Scenario& scenario, std::string_view name);

// The names set_scenario_value accepts, for help texts.
std::vector<std::string> settable_scenario_names();

} // namespace kv
