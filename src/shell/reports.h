#pragma once

#include "shell/ports.h"

#include <string>

namespace kv {

class Session;

// The reporting database and the settings file handed to it, under the model directory.
std::string reports_dir(const Session& session);
// accessexe, the database path, " /ini " and the settings file, as one line.
std::string reports_command_line(const Session& session);
// The same as an argument vector: the recorded Access program with three arguments.
LaunchRequest reports_launch_request(const Session& session);

// Model > Reports: starts the reporting tool without waiting. False when it could not be
// started (the user was told).
bool launch_reports(Session& session);

} // namespace kv
