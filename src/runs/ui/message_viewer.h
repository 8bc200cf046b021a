#pragma once

#include "runs/message_view.h"
#include "shell/ui/info_windows.h"

#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QTimer;
class QTreeView;
class QWidget;

namespace kv {

class EditorEnvironment;
class LineListModel;
class Session;

// `Message_Viewer`: a text file shown read-only in a monospaced font, one row per line read
// through a LineIndex, so that only the lines on screen are ever read. Find (Ctrl+F, F3,
// Shift+F3), Go to Line (Ctrl+G), the lines that hold "error" or "warning" marked in the
// margin and listed beside the text, the file followed while it grows, and Open in Editor.
// Its Options menu chooses whether View Message File shows this window or the outside editor.
class MessageViewer : public InfoWindow {
    Q_OBJECT
public:
    MessageViewer(Session& session, const EditorEnvironment& editors, QWidget* owner);
    ~MessageViewer() override;

    // Shows the file; false (and nothing shown) when it cannot be read.
    bool openFile(const std::string& path);
    const LineIndex& index() const { return index_; }
    // The 0-based line the view is on.
    int currentLine() const;
    void goToLine(int line);
    // Looks for the find field's text from the current line.
    bool findNext(bool forward);
    // Looks at the file for what was added.
    void follow();

private:
    void showFind();
    void askLine();
    void refreshMarks();
    // "Line N of M" for the current line and the lines read so far.
    void showPosition();

    Session& session_;
    const EditorEnvironment& editors_;
    LineIndex index_;
    LineListModel* model_ = nullptr;
    QTreeView* text_ = nullptr;
    QListWidget* marks_ = nullptr;
    QLineEdit* find_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* follow_ = nullptr;
};

// View Message File (and a run's message file from the Run History and Batch windows): the
// viewer, unless its Options menu chose the outside editor. A missing file is reported as
// "Message file not found: " and its path.
void show_message_file(Session& session, const EditorEnvironment& editors, const std::string& path,
                       QWidget* owner);

} // namespace kv
