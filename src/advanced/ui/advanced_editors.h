#pragma once

namespace kv {

class DialogRegistry;
class Session;

// Makes the dialogs of the Advanced options menu available. Their logic lives as long as the
// registry's window.
void install_advanced_editors(DialogRegistry& dialogs, Session& session);

} // namespace kv
