#pragma once

#include "optionsfile/reader.h"
#include "shell/session.h"
#include "support/fakes.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kv::test {

// A session on the POSIX path rules with a scripted interface, a recording launcher and
// the demo's reference data in memory. The model directory is "/model"; the program's
// directory and a place for files is a fresh temporary directory.
class SessionTest : public ::testing::Test {
protected:
    SessionTest();

    // Reads `text` as the options file `name` in `dir` (the fixture's directory by default)
    // without writing it to disk.
    ReadOutcome readText(const std::string& text, const std::string& name = "test1.opt");
    // Writes `text` into the fixture's directory and answers its full path.
    std::string writeFile(const std::string& name, const std::string& text) {
        return dir.write(name, text);
    }
    std::vector<std::string> logLines() const;

    TempDir dir;
    ScriptedUserInterface ui;
    RecordingLauncher launcher;
    FakeReferenceDbOpener refdbs;
    std::ostringstream logStream;
    std::unique_ptr<Session> session;
    Scenario& sc() { return session->scenario; }
};

} // namespace kv::test
