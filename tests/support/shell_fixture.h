#pragma once

#include "optionsfile/reader.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <filesystem>
#include <string>

namespace kv::test {

// A session whose model directory is a real directory (<tmp>/model with outputs/) holding the
// complete test options file as test1.opt, the current file. The current directory is put
// back after each test, since the commands move it.
class ShellTest : public SessionTest {
protected:
    ShellTest() : startDir(std::filesystem::current_path()) {
        model = dir.str() + "/model";
        std::filesystem::create_directories(model + "/outputs");
        session->settings.modeldir = model;
        session->settings.modelexe = "model.sh";
        writeFile("model/test1.opt", complete_options_file());
        sc().optdir = model;
        sc().optfile = "test1.opt";
    }
    ~ShellTest() override { std::filesystem::current_path(startDir); }

    // Reads the current file into the scenario and forgets what that showed.
    void load() {
        ASSERT_EQ(read_options(*session), ReadOutcome::Loaded)
            << ::testing::PrintToString(ui.messageTexts());
        ui.messages.clear();
        ui.captions.clear();
        ui.statuses.clear();
    }
    // A shell script in the model directory, executable.
    std::string script(const std::string& name, const std::string& body) {
        const std::string path = writeFile("model/" + name, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        return path;
    }
    std::string cwd() const { return std::filesystem::current_path().string(); }

    std::filesystem::path startDir;
    std::string model;
};

} // namespace kv::test
