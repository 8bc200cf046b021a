#pragma once

#include "shell/ports.h"
#include "shell/startup.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QAction;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;

namespace kv {

class Banner;
class DemoScenario;
class DialogRegistry;
class RunWindow;
class EditorEnvironment;
class RecoveryKeeper;
class RunHistoryWindow;
class Session;
class StatusLabel;

// `KVGui`, the main window: the caption names the current options file, the status label
// `VerLbl` shows the run title and the current message and output data files, and the menus
// lead to every other function. Closing it ends the program (`Fini`).
class KVGui : public QMainWindow {
    Q_OBJECT
public:
    KVGui(Session& session, const EditorEnvironment& editors, QWidget* parent = nullptr);
    ~KVGui() override;

    // The program file shown by the about window.
    void setProgramFile(const QString& path) { programFile_ = path; }

    // The start-up sequence (the window's load); shows the window. `withDemo` opens the demo
    // in place of the recorded default options file (kvgui --demo).
    StartupOutcome load(bool anotherInstanceRunning, bool withDemo = false);

    // Ends the run: the log's last lines, every window closed, `ended` emitted. Asks nothing.
    // During a model run it stops the model first and ends once the run has.
    void Fini();
    // E&xit and the close button: asks about unsaved changes first, then `Fini`.
    void exitRequested();
    bool ended() const { return ended_; }

    // Saves the scenario over the current options file (for the dialogs and the model run).
    void Update_DefaultOption_File();

    // Called through the UserInterface port.
    void applyCaption(const std::string& caption);
    void applyStatus(const StatusDisplay& status);
    // Marks the caption when the scenario differs from its file, and keeps the recovery file
    // in step with it.
    void refreshModified();

    // Binds a Scenario or Advanced options item to the dialog it opens and makes it available.
    // Answers false when there is no such item.
    bool bindMenuItem(const QString& objectName, std::function<void()> open);

    // The dialogs that edit the scenario, by the menu items that open them.
    DialogRegistry& dialogs() { return *dialogs_; }

    // The information windows (also reachable through their menu items).
    void showCurrent();
    void showAbout();
    void showDiag();
    void showBatch();
    void showRunHistory();
    // Help > Open Demo.
    void openDemo();
    // The scenario is the demo's, on the demo's folders.
    bool demoActive() const;

signals:
    void finished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption, bool enabled);
    void runModel();
    void setRunning(bool running);
    // Exit and the close button during a run: answers true when the window stays open (the
    // user said No, or a stop for ending is under way already).
    bool keepOpenForRun();
    // The same for a batch running in the Batch window: true when the user said No.
    bool keepOpenForBatch();
    void fillDiagLists();
    void widenForStatus();
    void fillRecentMenu();
    void keepRecoveryCurrent();
    // Exit or the close button, the user having settled the unsaved changes.
    void endAsTheUserAsked();

    Session& session_;
    const EditorEnvironment& editors_;
    QString programFile_;
    bool ended_ = false;
    bool endAfterRun_ = false; // the run is being stopped so that the program can end

    Banner* picture1_ = nullptr;
    StatusLabel* verLbl_ = nullptr;
    QPushButton* viewMsg_ = nullptr;
    QListWidget* lstRegionB_ = nullptr;
    QListWidget* lstDiag_ = nullptr;
    QPushButton* cmdDiag_ = nullptr;
    QAction* mnuRun_ = nullptr;
    QAction* mnuStop_ = nullptr;
    RunWindow* runWindow_ = nullptr; // made at the first run, kept for the next
    QMenu* recentMenu_ = nullptr;
    std::map<QString, QAction*> items_;
    std::map<QString, std::function<void()>> handlers_;
    std::unique_ptr<DialogRegistry> dialogs_;
    std::unique_ptr<RecoveryKeeper> recovery_;
    std::unique_ptr<DemoScenario> demo_;
    QTimer* recoveryTimer_ = nullptr;

    QPointer<QWidget> current_;
    QPointer<QWidget> about_;
    QPointer<QWidget> diag_;
    QPointer<QWidget> batch_;
    QPointer<RunHistoryWindow> history_;
};

} // namespace kv
