#pragma once

#include "shell/ports.h"

#include <functional>
#include <vector>

namespace kv {

class GroupProcess;

// Starts programs as argument vectors, never through a shell. runAndWait starts the program
// in a process group of its own (GroupProcess) and keeps the event loop running while it
// waits, so the windows repaint and take input and a stop can be asked for; the wait ends
// when the program ends or the application quits (the program is then stopped first).
class QtLauncher : public Launcher {
public:
    LaunchResult startDetached(const LaunchRequest& request) override;
    LaunchResult runAndWait(const LaunchRequest& request) override;
    // Stops every program waited for (a wait may be nested in another: the editor started
    // during a model run).
    void stop() override;

private:
    struct Waiting {
        GroupProcess* process;
        std::function<void()> wake; // looks at the process again
    };
    std::vector<Waiting> waiting_;
};

} // namespace kv
