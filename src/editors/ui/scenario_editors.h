#pragma once

namespace kv {

class DialogRegistry;
class Session;

// Makes the dialogs of the Scenario menu available: Options, Period, Region and Sources.
// Their logic lives as long as the registry's window.
void install_scenario_editors(DialogRegistry& dialogs, Session& session);

} // namespace kv
