#include "commands.h"

namespace kvopt {

void register_run_commands(CLI::App&, Globals&) {}

} // namespace kvopt
