// kvgui: the Kelvaro Model Interface.
#include "advanced/ui/advanced_editors.h"
#include "editors/ui/scenario_editors.h"
#include "optionsfile/reference_db.h"
#include "shell/editor_launch.h"
#include "shell/file_locations.h"
#include "shell/info_texts.h"
#include "shell/recovery.h"
#include "shell/session.h"
#include "shell/ui/dialog_registry.h"
#include "shell/ui/instance_lock.h"
#include "shell/ui/main_window.h"
#include "shell/ui/qt_launcher.h"
#include "shell/ui/qt_user_interface.h"
#include "shell/ui/signal_bridge.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// Stands in when this build has no reference database support: every open fails, and the
// reader reports it as for a missing database.
class UnavailableReferenceDb : public kv::ReferenceDbOpener {
public:
    std::shared_ptr<kv::ReferenceDb> open(const std::string&) override {
        throw kv::ReferenceDbError("Could not find file ", 3024);
    }
};

} // namespace

int main(int argc, char** argv) {
    // --help and --version answer before anything needs a display, a window or a log.
    if (const auto answer = kv::kvgui_command_line_answer(
            std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
            kv::file_locations(kv::program_directory()))) {
        std::cout << *answer;
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("kvgui");
    QGuiApplication::setDesktopFileName(QString::fromUtf8(kv::kAppId.data(), kv::kAppId.size()));
    // Qt has removed its own options from the arguments. The program's one option is --demo;
    // the about window shows them all.
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const bool withDemo = arguments.contains("--demo");

    const QString programDir = QCoreApplication::applicationDirPath();
    kv::QtUserInterface ui;
    kv::QtLauncher launcher;
    std::unique_ptr<kv::ReferenceDbOpener> refdbs = kv::make_reference_db_opener();
    if (!refdbs)
        refdbs = std::make_unique<UnavailableReferenceDb>();
    kv::Session session(ui, launcher, *refdbs, std::filesystem::path(programDir.toStdString()));
    const kv::FileLocations places = kv::file_locations(session.programDir);
    session.configDir = places.configDir;
    session.stateDir = places.stateDir;
    session.recentFiles.keepIn(places.stateDir / std::string(kv::RecentFiles::kFileName));
    for (const QString& a : arguments)
        session.arguments.push_back(a.toStdString());

    kv::SystemEditorEnvironment editors;
    kv::KVGui window(session, editors);
    window.setProgramFile(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
    ui.setWindow(&window);
    kv::install_scenario_editors(window.dialogs(), session);
    kv::install_advanced_editors(window.dialogs(), session);

    // SIGTERM and SIGINT end the run as Exit does, at any moment: the log's last lines, then
    // every open box or file dialog closed, so that a first-run prompt or any other code
    // waiting on the user returns and the program ends.
    kv::SignalBridge signalBridge;
    // Nobody is there to answer a question: unsaved edits go to a recovery file first.
    QObject::connect(&signalBridge, &kv::SignalBridge::terminationRequested, &window, [&] {
        if (!window.ended())
            kv::write_recovery_file(session);
        window.Fini();
        ui.endAllDialogs();
    });
    QObject::connect(&window, &kv::KVGui::finished, &app, &QCoreApplication::quit);

    const kv::InstanceLock lock(QString::fromStdString(session.stateDir.string()));
    switch (window.load(lock.anotherInstanceRunning(), withDemo)) {
    case kv::StartupOutcome::Declined:
    case kv::StartupOutcome::PromptCancelled:
        return 0;
    case kv::StartupOutcome::SettingsMissing:
        return 1;
    case kv::StartupOutcome::Ready:
    case kv::StartupOutcome::AlreadyLoaded:
    case kv::StartupOutcome::MainError:
        break;
    }
    if (window.ended())
        return 0;
    // Once the event loop runs, the window waits for the user with the demo open: whoever
    // started it from a terminal learns where the copy is.
    if (withDemo && window.demoActive()) {
        QTimer::singleShot(0, &window, [&session] {
            std::cout << "Opened the demo scenario "
                      << session.join(session.scenario.optdir, session.scenario.optfile)
                      << std::endl;
        });
    }
    return QApplication::exec();
}
