#pragma once

#include <string>
#include <vector>

namespace kv {
class Session;
}

namespace kvopt {

// Runs the OK checks of the Options and Period dialogs on the session's scenario, each
// dialog only when one of its values was set (`assignments` are --set's NAME=VALUE): the
// Options dialog's fields and temperature cross-checks first, then the Period dialog's
// years, whatever the order of the names. Each dialog stops at its own first refusal, as its
// OK does; the messages go to the session's interface. The scenario is left as it was.
// True when every dialog checked accepted its values.
bool dialog_checks_pass(kv::Session& session, const std::vector<std::string>& assignments);

// The Options dialog stores the altitude as one of its two buttons: every altitudestr value
// of `assignments` is taken as LOW or HIGH, trimmed and in any case. Answers false, after a
// message naming the two values, when one names neither; `assignments` then stays as it was.
bool take_altitude_as_the_dialog_does(std::vector<std::string>& assignments);

} // namespace kvopt
