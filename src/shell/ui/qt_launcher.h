#pragma once

#include "shell/ports.h"

namespace kv {

// Starts programs with QProcess, as argument vectors, never through a shell. runAndWait keeps
// the event loop running while it waits, so the windows repaint and take input; the wait ends
// when the program ends or the application quits.
class QtLauncher : public Launcher {
public:
    LaunchResult startDetached(const LaunchRequest& request) override;
    LaunchResult runAndWait(const LaunchRequest& request) override;
};

} // namespace kv
