#pragma once

#include <functional>
#include <string_view>

namespace kv {

class Session;

// The question asked when another copy of the program seems to be running.
inline constexpr std::string_view kAnotherInstanceQuestion =
    "It appears the application is already running. Running mulitiple \n"
    "instances of this program could lead to problems.  If you are\n"
    "sure the application is not running, you can continue.\n"
    "\n"
    "                     Would you like to continue anyway?";

// What the main window does for the start-up sequence.
struct StartupHooks {
    std::function<void()> centreWindow; // centre the window and its banner
    std::function<void()> showWindow;
    // Set when the program was asked for the demo (kvgui --demo): opens the demo's scenario in
    // place of the recorded default options file.
    std::function<void()> openDemo;
};

enum class StartupOutcome {
    Ready,           // idle in the main window
    AlreadyLoaded,   // a second load of the main window: nothing to do
    Declined,        // "No" to the another-instance question: end at once
    PromptCancelled, // a first-run prompt was cancelled: end (no settings written)
    SettingsMissing, // a recorded path is missing: `Fini` ran, end
    MainError,       // a failure inside the sequence, logged as " Main error <n>"
};

// The start-up sequence of the main window, in order: the another-instance question, the
// log, the first-run prompts and kv-gui.ini or the settings check, the window, the caption
// and the default options file. For the demo, kv-gui.ini is only read when there is one (its
// installation serves the files opened later) and the demo is opened: nothing is asked,
// checked or written.
StartupOutcome run_startup(Session& session, bool anotherInstanceRunning,
                           const StartupHooks& hooks);

// The five first-run prompts. Each answers false after showing its cancel message.
bool select_model(Session& session);
bool select_option_template(Session& session);
bool name_new_option_file(Session& session);
bool select_data_dir(Session& session);
bool select_access(Session& session);

// The end of the run: "Ending run" and a line of 28 asterisks to the log, which is closed;
// the session is `ended`.
void fini(Session& session);

} // namespace kv
