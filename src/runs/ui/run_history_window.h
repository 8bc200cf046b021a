#pragma once

#include "runs/run_history.h"
#include "shell/ui/info_windows.h"

#include <optional>

class QTreeWidget;
class QTreeWidgetItem;

namespace kv {

class EditorEnvironment;
class Session;

// `RunHistory`: the runs of the run history, newest first (time, options file, duration,
// outcome, and "options changed since this run" where that is so). A double click opens the
// run's message file in the text editor; Compare with Current and Open as Run work on the
// options file the selected run kept.
class RunHistoryWindow : public InfoWindow {
    Q_OBJECT
public:
    RunHistoryWindow(Session& session, const EditorEnvironment& editors, QWidget* owner);

    // Reads the history file again.
    void reload();

private:
    void openMessageFile(QTreeWidgetItem* item);
    // The selected run's kept options file compared with the current scenario, or opened.
    void compareWithCurrent();
    void openAsRun();
    std::optional<RunRecord> selectedRun() const;

    Session& session_;
    const EditorEnvironment& editors_;
    QTreeWidget* list_ = nullptr;
};

} // namespace kv
