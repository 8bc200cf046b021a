#include "runs/ui/message_viewer.h"

#include "shell/dialog_helpers.h"
#include "shell/editor_launch.h"
#include "shell/session.h"
#include "shell/text.h"

#include <QAbstractListModel>
#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPixmap>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace kv {

namespace {

// How often a file is looked at for what was added.
constexpr int kFollowMs = 500;
constexpr int kMarkSize = 12;

} // namespace

// The lines of a LineIndex as rows: each is read from the file only when the view asks for it.
class LineListModel : public QAbstractListModel {
public:
    LineListModel(const LineIndex& index, QObject* parent)
        : QAbstractListModel(parent), index_(index),
          error_(QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical)),
          warning_(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning)) {
        // Unmarked lines keep the margin too, so that every line's text starts in one column.
        QPixmap none(kMarkSize, kMarkSize);
        none.fill(Qt::transparent);
        blank_ = QIcon(none);
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
    QVariant data(const QModelIndex& i, int role) const override {
        const auto row = static_cast<std::size_t>(i.row());
        if (role == Qt::DisplayRole)
            return QString::fromUtf8(index_.line(row));
        if (role == Qt::DecorationRole) {
            if (!index_.marked(row))
                return blank_;
            return contains(lower(index_.line(row)), "error") ? error_ : warning_;
        }
        return {};
    }
    // Takes in the lines the index has now; the last row may have grown.
    void sync() {
        const int now = static_cast<int>(index_.lineCount());
        if (now < rows_ || rows_ == 0) {
            beginResetModel();
            rows_ = now;
            endResetModel();
            return;
        }
        if (now > rows_) {
            beginInsertRows({}, rows_, now - 1);
            rows_ = now;
            endInsertRows();
        }
        const QModelIndex last = index(rows_ - 1);
        emit dataChanged(last, last);
    }

private:
    const LineIndex& index_;
    QIcon error_;
    QIcon warning_;
    QIcon blank_;
    int rows_ = 0;
};

MessageViewer::MessageViewer(Session& session, const EditorEnvironment& editors, QWidget* owner)
    : InfoWindow("Message_Viewer", owner), session_(session), editors_(editors) {
    auto* layout = new QVBoxLayout(this);
    auto* menus = new QMenuBar(this);
    layout->setMenuBar(menus);

    model_ = new LineListModel(index_, this);
    // A tree view of one level: with rows of one height it lays out a million lines at once,
    // where a list view places each.
    text_ = new QTreeView(this);
    text_->setObjectName("Text");
    text_->setModel(model_);
    text_->setUniformRowHeights(true);
    text_->setRootIsDecorated(false);
    text_->setHeaderHidden(true);
    text_->setItemsExpandable(false);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    text_->setIconSize(QSize(kMarkSize, kMarkSize));
    marks_ = new QListWidget(this);
    marks_->setObjectName("Marks");
    auto* split = new QSplitter(this);
    split->addWidget(text_);
    split->addWidget(marks_);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);

    auto* bottom = new QHBoxLayout;
    find_ = new QLineEdit(this);
    find_->setObjectName("Find");
    find_->setPlaceholderText("Find");
    status_ = new QLabel(this);
    status_->setObjectName("Status");
    bottom->addWidget(find_);
    bottom->addWidget(status_, 1);
    layout->addLayout(bottom);

    QMenu* file = menus->addMenu("&File");
    file->addAction("Open in &Editor", this,
                    [this] { open_run_message_file(session_, editors_, index_.path().string()); });
    file->addAction("&Close", this, &QWidget::close);
    QMenu* edit = menus->addMenu("&Edit");
    edit->addAction("&Find...", QKeySequence::Find, this, [this] { showFind(); });
    edit->addAction("Find &Next", QKeySequence::FindNext, this, [this] { findNext(true); });
    edit->addAction("Find &Previous", QKeySequence::FindPrevious, this,
                    [this] { findNext(false); });
    edit->addAction("&Go to Line...", QKeySequence(Qt::CTRL | Qt::Key_G), this,
                    [this] { askLine(); });
    QMenu* options = menus->addMenu("&Options");
    QAction* outside = options->addAction("View Message File in the &Outside Editor");
    outside->setCheckable(true);
    outside->setChecked(read_message_file_opener(session_.configDir) ==
                        MessageFileOpener::OutsideEditor);
    connect(outside, &QAction::toggled, this, [this](bool on) {
        const std::string error = write_message_file_opener(
            session_.configDir, on ? MessageFileOpener::OutsideEditor : MessageFileOpener::Viewer);
        if (!error.empty())
            session_.message(error, MessageIcon::Exclamation);
    });

    connect(find_, &QLineEdit::returnPressed, this, [this] { findNext(true); });
    connect(marks_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { goToLine(item->data(Qt::UserRole).toInt()); });
    connect(marks_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { goToLine(item->data(Qt::UserRole).toInt()); });
    // The arrow keys and the mouse move the current line too.
    connect(text_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { showPosition(); });
    follow_ = new QTimer(this);
    connect(follow_, &QTimer::timeout, this, &MessageViewer::follow);
    setTabOrder(text_, marks_);
    setTabOrder(marks_, find_);
    resize(900, 600);
}

MessageViewer::~MessageViewer() = default;

bool MessageViewer::openFile(const std::string& path) {
    if (!index_.open(path))
        return false;
    setWindowTitle(QString::fromStdString(path));
    model_->sync();
    refreshMarks();
    text_->setFocus();
    if (index_.lineCount() > 0)
        goToLine(0);
    follow_->start(kFollowMs);
    return true;
}

int MessageViewer::currentLine() const {
    return text_->currentIndex().isValid() ? text_->currentIndex().row() : 0;
}

void MessageViewer::goToLine(int line) {
    if (model_->rowCount({}) == 0)
        return;
    line = std::clamp(line, 0, model_->rowCount({}) - 1);
    const QModelIndex i = model_->index(line);
    text_->setCurrentIndex(i);
    text_->scrollTo(i, QAbstractItemView::PositionAtCenter);
    showPosition();
}

void MessageViewer::showPosition() {
    status_->setText(QString("Line %1 of %2").arg(currentLine() + 1).arg(model_->rowCount({})));
}

bool MessageViewer::findNext(bool forward) {
    if (find_->text().isEmpty()) {
        showFind();
        return false;
    }
    const auto found =
        index_.find(find_->text().toStdString(), static_cast<std::size_t>(currentLine()), forward);
    if (!found) {
        status_->setText("Not found: " + find_->text());
        session_.ui.beep();
        return false;
    }
    goToLine(static_cast<int>(*found));
    return true;
}

void MessageViewer::follow() {
    // The view stays at the end while the user has not scrolled up from it.
    const QScrollBar* bar = text_->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    if (!index_.refresh())
        return;
    model_->sync();
    refreshMarks();
    showPosition();
    if (atEnd)
        text_->scrollToBottom();
}

void MessageViewer::showFind() {
    find_->setFocus();
    find_->selectAll();
}

void MessageViewer::askLine() {
    bool ok = false;
    const int line = QInputDialog::getInt(this, "Go to Line", "Line:", currentLine() + 1, 1,
                                          std::max(1, model_->rowCount({})), 1, &ok);
    if (ok)
        goToLine(line - 1);
}

void MessageViewer::refreshMarks() {
    const auto& lines = index_.markedLines();
    if (static_cast<std::size_t>(marks_->count()) > lines.size())
        marks_->clear(); // the file was written anew
    for (auto i = static_cast<std::size_t>(marks_->count()); i < lines.size(); ++i) {
        auto* item =
            new QListWidgetItem(QString("%1: %2")
                                    .arg(lines[i] + 1)
                                    .arg(QString::fromUtf8(index_.line(lines[i])).left(80)),
                                marks_);
        item->setData(Qt::UserRole, static_cast<int>(lines[i]));
        item->setToolTip(item->text()); // the list is narrow
    }
    // A file without errors or warnings gives the text the whole width.
    marks_->setVisible(marks_->count() > 0);
}

void show_message_file(Session& session, const EditorEnvironment& editors, const std::string& path,
                       QWidget* owner) {
    if (read_message_file_opener(session.configDir) == MessageFileOpener::OutsideEditor) {
        open_run_message_file(session, editors, path);
        return;
    }
    auto* viewer = new MessageViewer(session, editors, owner);
    if (path.empty() || !file_exists(path) || !viewer->openFile(resolve_existing_path(path))) {
        delete viewer;
        session.message("Message file not found: " + path, MessageIcon::Exclamation);
        return;
    }
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

} // namespace kv
