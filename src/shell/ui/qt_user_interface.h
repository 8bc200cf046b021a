#pragma once

#include "shell/path_rules.h"
#include "shell/ports.h"

#include <QPointer>
#include <QString>

class QWidget;

class QFileDialog;

namespace kv {

class KVGui;

// The UserInterface of the running program: real message boxes and file dialogs parented to
// the main window, the busy pointer as the application's override cursor, and the caption
// and status handed to the main window. The file dialogs are the platform's own where it has
// them; Qt's own, where it has not or where the application attribute
// Qt::AA_DontUseNativeDialogs asks for it (as the tests do), opens large enough for its
// columns.
class QtUserInterface : public UserInterface {
public:
    explicit QtUserInterface(PathRules rules = PathRules::native());

    // The window that shows the caption and status and parents the dialogs.
    void setWindow(KVGui* window);

    // The program is ending (a termination signal): every open message box and file dialog
    // is closed, so the nested event loop each one runs returns, and every later one answers
    // at once (OK, No, Cancel) without being shown. The code that asked goes on to its end
    // and nothing waits for the user any more.
    void endAllDialogs();
    bool ending() const { return ending_; }

    void showMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    bool askYesNo(const std::string& text, const std::string& title) override;
    Answer askYesNoCancel(const std::string& text, const std::string& title) override;
    std::optional<FileChoice> chooseOpenFile(const FileDialogRequest& request) override;
    std::optional<FileChoice> chooseSaveFile(const FileDialogRequest& request) override;
    std::vector<std::string> choosePaths(const FileDialogRequest& request, PathKind kind) override;
    void setBusy(bool busy) override;
    void beep() override;
    void setCaption(const std::string& caption) override;
    void setStatus(const StatusDisplay& status) override;

    // The Qt name filters of a classic "description|pattern|..." filter on this platform.
    static QStringList nameFilters(const std::string& filter, const PathRules& rules);

private:
    // The request's filters, with the one it names selected, and its initial folder.
    void setFilters(QFileDialog& dialog, const FileDialogRequest& request) const;
    static void setInitialDir(QFileDialog& dialog, const FileDialogRequest& request);
    std::optional<FileChoice> chooseFile(const FileDialogRequest& request, bool save);
    // Runs the dialog; while it waits, endAllDialogs can close it, even as the platform's.
    int runFileDialog(QFileDialog& dialog);
    QWidget* parentWidget() const;

    PathRules rules_;
    QPointer<KVGui> window_;
    QPointer<QFileDialog> fileDialog_; // the file dialog waiting for the user, if any
    bool ending_ = false;
};

} // namespace kv
