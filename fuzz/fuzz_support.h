#pragma once

#include "optionsfile/reader.h"
#include "shell/session.h"
#include "support/fakes.h"
#include "support/scripted_ui.h"

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

// What the fuzz targets share.
namespace kv::fuzz {

// Ends the run with `what` when `condition` is false, so that libFuzzer keeps the input.
#define KV_FUZZ_CHECK(condition, what) ::kv::fuzz::check((condition), #condition, (what))
void check(bool condition, const char* expression, const std::string& what);

// A fresh session for one input: POSIX path rules, model directory "/model", an interface
// that records messages and cancels every file dialog, and the demo's reference data. The
// program's directory is the temporary directory unless given.
class FuzzSession {
public:
    explicit FuzzSession(std::filesystem::path programDir = std::filesystem::temp_directory_path());

    // Reads `text` as the options file /runs/fuzz.opt.
    ReadOutcome read(std::string_view text);
    // Writes the scenario with `templ` as the template; aborts when the writer fails.
    std::string write(std::string_view templ, std::vector<std::string>* notes = nullptr);

    Scenario& scenario() { return session->scenario; }

    test::ScriptedUserInterface ui;
    test::RecordingLauncher launcher;
    test::FakeReferenceDbOpener refdbs;
    std::ostringstream log;
    std::unique_ptr<Session> session;
};

// What a saved file carries of a scenario, as one text, in the form a read gives it back:
// values trimmed, and upper-cased but for paths. The by-model-year and daily files count only
// for a file read with their packets, since the writer never appends those; the NET file
// never, since it is read but not written.
std::string carried(const Scenario& sc);

} // namespace kv::fuzz
