#include "commands.h"

namespace kvopt {

void register_refdb_commands(CLI::App&, Globals&) {}

} // namespace kvopt
