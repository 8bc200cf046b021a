#include "commands.h"

namespace kvopt {

void register_options_commands(CLI::App&, Globals&) {}

} // namespace kvopt
