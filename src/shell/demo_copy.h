#pragma once

#include "shell/file_commands.h"
#include "shell/file_locations.h"
#include "shell/settings.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;

// Where Help > Open Demo finds the demo.
struct DemoPlaces {
    // The installation's demo, read-only: model/ with the options files as templates
    // (*.opt.in), data/. Empty when `folder` is the demo itself, opened where it lies.
    std::filesystem::path installed;
    // The demo that is opened: model/ (with demo.opt) and data/.
    std::filesystem::path folder;
    // The stand-in model program the demo runs.
    std::filesystem::path model;
};

// A program that keeps its files beside itself (a build folder's) opens the build's demo in
// ../demo. An installed one copies <prefix>/share/<package>/demo into the user's data folder,
// $XDG_DATA_HOME/kelvaro/demo (default ~/.local/share/kelvaro/demo), and runs the installed
// demo-model beside itself.
DemoPlaces demo_places(const std::filesystem::path& programDir, bool besideProgram,
                       const EnvironmentLookup& env);
// The places for this process.
DemoPlaces demo_places(const std::filesystem::path& programDir);

// In the copy, each file as it was copied, in the format of sha256sum (so `sha256sum -c`
// there lists the files changed since).
inline constexpr std::string_view kDemoManifest = "copied-files.sha256";
// The stand-in model's name in the demo's model folder (in a copy, a link to `model`).
inline constexpr std::string_view kDemoModelName = "demo-model";
inline constexpr std::string_view kDemoScenario = "demo.opt";

struct DemoCopyReport {
    std::vector<std::string> written; // files copied: new, missing or brought up to date
    std::vector<std::string> kept;    // files changed since they were copied, left as they are
    std::string error;                // why the demo cannot be opened; empty when it can
};

// Brings the user's copy in step with the installation, one file at a time. A file that is
// missing is copied; one that still holds what was copied (its hash in the manifest) is
// replaced when the installation's differs (a newer package); one changed since, or not copied
// by this program, is never written over. The templates' paths are filled in with the copy's
// folders; model/demo-model is made a link to the installed stand-in model when it is missing.
// So the copy is made once and kept, and a file deleted from it comes back. In place (no
// `installed`), only checks that the demo is there.
DemoCopyReport copy_demo(const DemoPlaces& places);

// The demo's scenario, run on the demo's own model and data folders. kv-gui.ini and the
// installation it records are not changed: the demo's folders hold while the current options
// file lies in the demo's model folder, and reading a file elsewhere brings the recorded
// folders back. A session with nothing recorded (the demo opened before any first start) keeps
// the demo's.
class DemoScenario {
public:
    explicit DemoScenario(Session& session);
    ~DemoScenario();
    DemoScenario(const DemoScenario&) = delete;
    DemoScenario& operator=(const DemoScenario&) = delete;

    // Help > Open Demo: refused during a run; copies the demo (a failure is shown, naming
    // what is wrong), settles unsaved changes and reads demo.opt, as File > Open does.
    CommandOutcome open(const DemoPlaces& places);
    // The session runs on the demo's folders.
    bool active() const { return active_; }

private:
    // Called as another options file is about to be read (its name already current).
    void fileComing();

    Session& session_;
    std::optional<DemoPlaces> places_; // found when first needed
    bool active_ = false;
    std::optional<Settings> recorded_; // what the demo's folders replaced, while they hold
    int listener_ = 0;
};

} // namespace kv
