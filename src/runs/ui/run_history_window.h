#pragma once

#include "shell/ui/info_windows.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace kv {

class EditorEnvironment;
class Session;

// `RunHistory`: the runs of the run history, newest first (time, options file, duration,
// outcome, and "options changed since this run" where that is so). A double click opens the
// run's message file in the text editor.
class RunHistoryWindow : public InfoWindow {
    Q_OBJECT
public:
    RunHistoryWindow(Session& session, const EditorEnvironment& editors, QWidget* owner);

    // Reads the history file again.
    void reload();

private:
    void openMessageFile(QTreeWidgetItem* item);

    Session& session_;
    const EditorEnvironment& editors_;
    QTreeWidget* list_ = nullptr;
};

} // namespace kv
