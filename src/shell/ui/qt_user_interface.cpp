#include "shell/ui/qt_user_interface.h"

#include "shell/dialog_filters.h"
#include "shell/ui/main_window.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>
#include <QTreeView>

namespace kv {

namespace {

QMessageBox::Icon to_qt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// Qt's own file dialog has room for the name, size, type and date of each file at this size.
constexpr QSize kFileDialogSize{800, 500};

// Qt's own file dialog starts its columns at widths meant for short texts ("128.88 GB"), so
// sizes, types and dates are cut. Once a folder is listed, the columns after the name take the
// width of what they show. Its view and model exist once the dialog is shown; the platform's
// dialog has neither, and nothing happens.
class FileDialogColumns : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show)
            return false;
        auto* view = watched->findChild<QTreeView*>("treeView");
        auto* model = watched->findChild<QFileSystemModel*>();
        if (view != nullptr && model != nullptr && !connected_) {
            connected_ = true;
            connect(model, &QFileSystemModel::directoryLoaded, view, [view] {
                for (int column = 1; column < view->header()->count(); ++column)
                    view->resizeColumnToContents(column);
            });
        }
        return false;
    }

private:
    bool connected_ = false;
};

} // namespace

QtUserInterface::QtUserInterface(PathRules rules) : rules_(rules) {}

void QtUserInterface::setWindow(KVGui* window) {
    window_ = window;
}

QWidget* QtUserInterface::parentWidget() const {
    return window_ && window_->isVisible() ? window_.data() : nullptr;
}

void QtUserInterface::endAllDialogs() {
    ending_ = true;
    // Innermost first: each rejected dialog leaves the next one modal.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            break; // it would not close; the event loop will end it with the application
    }
    // The platform's file dialog is no modal widget of Qt's; rejecting its QFileDialog
    // closes it.
    if (fileDialog_)
        fileDialog_->reject();
}

void QtUserInterface::showMessage(const std::string& text, const std::string& title,
                                  MessageIcon icon) {
    if (ending_)
        return;
    QMessageBox box(to_qt(icon), qs(title), qs(text), QMessageBox::Ok, parentWidget());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtUserInterface::askYesNo(const std::string& text, const std::string& title) {
    if (ending_)
        return false;
    QMessageBox box(QMessageBox::Question, qs(title), qs(text), QMessageBox::Yes | QMessageBox::No,
                    parentWidget());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

Answer QtUserInterface::askYesNoCancel(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::Question, qs(title), qs(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parentWidget());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QStringList QtUserInterface::nameFilters(const std::string& filter, const PathRules& rules) {
    QStringList out;
    for (const auto& entry : dialog_filters(filter, rules)) {
        QStringList patterns;
        for (const auto& p : entry.patterns)
            patterns << qs(p);
        const QString list = "(" + patterns.join(' ') + ")";
        out << (entry.description.empty() ? list : qs(entry.description) + " " + list);
    }
    return out;
}

void QtUserInterface::setFilters(QFileDialog& dialog, const FileDialogRequest& request) const {
    const QStringList filters = nameFilters(request.filter, rules_);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(request.filterIndex - 1));
}

void QtUserInterface::setInitialDir(QFileDialog& dialog, const FileDialogRequest& request) {
    if (!request.initialDir.empty() && QFileInfo(qs(request.initialDir)).isDir())
        dialog.setDirectory(qs(request.initialDir));
}

int QtUserInterface::runFileDialog(QFileDialog& dialog) {
    const QRect screen = dialog.screen()->availableGeometry();
    dialog.resize(dialog.sizeHint().expandedTo(kFileDialogSize).boundedTo(screen.size()));
    FileDialogColumns columns;
    dialog.installEventFilter(&columns);
    fileDialog_ = &dialog;
    const int result = dialog.exec();
    fileDialog_ = nullptr;
    return result;
}

std::optional<FileChoice> QtUserInterface::chooseFile(const FileDialogRequest& request, bool save) {
    if (ending_)
        return std::nullopt;
    QFileDialog dialog(parentWidget(), qs(request.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !request.mustExist ? QFileDialog::AnyFile
                                                  : QFileDialog::ExistingFile);
    if (!request.promptOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    setFilters(dialog, request);
    setInitialDir(dialog, request);
    if (!request.initialFile.empty())
        dialog.selectFile(qs(request.initialFile));
    if (runFileDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = QDir::toNativeSeparators(dialog.selectedFiles().front());
    return FileChoice{path.toStdString(), QFileInfo(path).fileName().toStdString()};
}

std::optional<FileChoice> QtUserInterface::chooseOpenFile(const FileDialogRequest& request) {
    return chooseFile(request, false);
}

std::optional<FileChoice> QtUserInterface::chooseSaveFile(const FileDialogRequest& request) {
    return chooseFile(request, true);
}

std::vector<std::string> QtUserInterface::choosePaths(const FileDialogRequest& request,
                                                      PathKind kind) {
    if (ending_)
        return {};
    QFileDialog dialog(parentWidget(), qs(request.title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (kind == PathKind::Folder) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFiles);
        setFilters(dialog, request);
    }
    setInitialDir(dialog, request);
    if (runFileDialog(dialog) != QDialog::Accepted)
        return {};
    std::vector<std::string> paths;
    for (const QString& path : dialog.selectedFiles())
        paths.push_back(QDir::toNativeSeparators(path).toStdString());
    return paths;
}

void QtUserInterface::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtUserInterface::beep() {
    QApplication::beep();
}

void QtUserInterface::setCaption(const std::string& caption) {
    if (window_)
        window_->applyCaption(caption);
}

void QtUserInterface::setStatus(const StatusDisplay& status) {
    if (window_)
        window_->applyStatus(status);
}

} // namespace kv
