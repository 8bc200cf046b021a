#pragma once

#include "shell/editor_launch.h"
#include "shell/session.h"
#include "shell/ui/main_window.h"
#include "shell/ui/qt_launcher.h"
#include "support/fakes.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

#include <QString>
#include <filesystem>
#include <memory>
#include <string>

namespace kv::test {

// The caption as the window system shows it: the "[*]" placeholder resolved.
QString shown_title(QWidget* window);

// Saves a picture of the window as <name>.png into the folder named by the environment
// variable KV_SCREENSHOT_DIR; does nothing when it is not set.
void save_screenshot(QWidget* window, const char* name);

// The scripted interface, with the caption and status handed on to the window as the real
// interface does.
class WindowScriptedUI : public ScriptedUserInterface {
public:
    void setCaption(const std::string& caption) override;
    void setStatus(const StatusDisplay& status) override;
    KVGui* window = nullptr;
};

// One installation in a temporary directory: <tmp>/bin (the program's directory),
// <tmp>/model with the stand-in model, outputs/ and test1.opt, <tmp>/data, and a main window
// on it with the scripted interface and the demo's reference data.
struct Installation {
    Installation();
    ~Installation();
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    // The default options file, complete, naming the message file `msg`.
    void writeOptions(const std::string& msg, const std::string& name = "test1.opt");
    void writeIni(const std::string& modelexe = "demo-model");
    // A started window on a later run.
    void start();
    std::string log() const;

    // A widget of the main window or of any window it owns, by object name.
    template <class T> T* find(const char* name) const {
        T* w = window->findChild<T*>(name);
        if (w == nullptr)
            qWarning("no child %s", name);
        return w;
    }
    QString status() const;
    // An executable shell script.
    void script(const std::string& path, const std::string& body) const;

    std::filesystem::path startDir = std::filesystem::current_path();
    TempDir tmp;
    std::string bin, model, data;
    WindowScriptedUI ui;
    QtLauncher launcher;
    FakeReferenceDbOpener refdbs;
    SystemEditorEnvironment editors;
    std::unique_ptr<Session> session;
    std::unique_ptr<KVGui> window;
};

} // namespace kv::test
