// kvgui: the Kelvaro Model Interface.
#include "advanced/ui/advanced_editors.h"
#include "editors/ui/scenario_editors.h"
#include "optionsfile/reference_db.h"
#include "shell/editor_launch.h"
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
#include <filesystem>
#include <memory>
#include <string>

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
    QApplication app(argc, argv);
    QApplication::setApplicationName("kvgui");
    // The program takes no options of its own; Qt has removed its own from the arguments.
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    const QString programDir = QCoreApplication::applicationDirPath();
    kv::QtUserInterface ui;
    kv::QtLauncher launcher;
    std::unique_ptr<kv::ReferenceDbOpener> refdbs = kv::make_reference_db_opener();
    if (!refdbs)
        refdbs = std::make_unique<UnavailableReferenceDb>();
    kv::Session session(ui, launcher, *refdbs, std::filesystem::path(programDir.toStdString()));
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
    QObject::connect(&signalBridge, &kv::SignalBridge::terminationRequested, &window, [&] {
        window.Fini();
        ui.endAllDialogs();
    });
    QObject::connect(&window, &kv::KVGui::finished, &app, &QCoreApplication::quit);

    const kv::InstanceLock lock(programDir);
    switch (window.load(lock.anotherInstanceRunning())) {
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
    return QApplication::exec();
}
