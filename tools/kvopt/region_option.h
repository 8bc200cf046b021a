#pragma once

#include <CLI/CLI.hpp>
#include <string>

// kvopt save --region LEVEL[=ENTRY,...]: the Region dialog, run from the command line
// (sets/scenario_edits.h carries it out).
namespace kvopt {

// Registers --region on the save command.
void add_region_option(CLI::App& save, std::string& value);

} // namespace kvopt
