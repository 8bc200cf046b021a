#include "runs/ui/run_history_window.h"

#include "runs/run_history.h"
#include "runs/ui/message_viewer.h"
#include "sets/comparison.h"
#include "sets/ui/comparison_window.h"
#include "shell/dialog_helpers.h"
#include "shell/editor_launch.h"
#include "shell/session.h"
#include "shell/ui/center_form.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kv {

namespace {

enum Column { Time, OptionsFile, Duration, Outcome, Note };
constexpr int kMessageFileRole = Qt::UserRole;
constexpr int kRunIdRole = Qt::UserRole + 1;

} // namespace

RunHistoryWindow::RunHistoryWindow(Session& session, const EditorEnvironment& editors,
                                   QWidget* owner)
    : InfoWindow("RunHistory", owner), session_(session), editors_(editors) {
    setWindowTitle("Run History");
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setObjectName("LstRuns");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setHeaderLabels({"Started", "Options file", "Duration", "Outcome", "Note"});
    list_->header()->setStretchLastSection(true);
    list_->setToolTip("Double-click a run to open its message file");
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openMessageFile(item); });
    layout->addWidget(list_);
    auto* buttons = new QHBoxLayout;
    auto* compare = new QPushButton("&Compare with Current", this);
    compare->setObjectName("CmdCompare");
    connect(compare, &QPushButton::clicked, this, &RunHistoryWindow::compareWithCurrent);
    auto* open = new QPushButton("&Open as Run", this);
    open->setObjectName("CmdOpenAsRun");
    connect(open, &QPushButton::clicked, this, &RunHistoryWindow::openAsRun);
    buttons->addWidget(compare);
    buttons->addWidget(open);
    buttons->addStretch();
    layout->addLayout(buttons);
    resize(820, 360);
    reload();
    center_form(*this);
}

void RunHistoryWindow::reload() {
    list_->clear();
    OptionsChangeCheck check;
    for (const HistoryEntry& entry : read_run_history(run_history_file(session_))) {
        const HistoryRow row = history_row(entry.record, check);
        auto* item = new QTreeWidgetItem(list_);
        item->setText(Time, QString::fromStdString(row.time));
        item->setText(OptionsFile, QString::fromStdString(row.optionsFile));
        item->setText(Duration, QString::fromStdString(row.duration));
        item->setTextAlignment(Duration, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(Outcome, QString::fromStdString(row.outcome));
        if (row.optionsChanged)
            item->setText(Note, QString::fromStdString(std::string(kOptionsChangedNote)));
        item->setData(Time, kMessageFileRole, QString::fromStdString(row.messageFile));
        item->setData(Time, kRunIdRole, QString::fromStdString(row.id));
    }
    if (list_->topLevelItemCount() > 0)
        list_->setCurrentItem(list_->topLevelItem(0));
    for (int c = Time; c < Note; ++c)
        list_->resizeColumnToContents(c);
}

void RunHistoryWindow::openMessageFile(QTreeWidgetItem* item) {
    if (item == nullptr)
        return;
    show_message_file(session_, editors_,
                      item->data(Time, kMessageFileRole).toString().toStdString(), this);
}

std::optional<RunRecord> RunHistoryWindow::selectedRun() const {
    const QTreeWidgetItem* item = list_->currentItem();
    if (item == nullptr)
        return std::nullopt;
    return history_run(session_, item->data(Time, kRunIdRole).toString().toStdString());
}

void RunHistoryWindow::compareWithCurrent() {
    if (const auto run = selectedRun()) {
        if (const auto comparison = compare_run_with_current(session_, *run))
            (new ComparisonWindow(*comparison, parentWidget()))->show();
    }
}

void RunHistoryWindow::openAsRun() {
    if (const auto run = selectedRun())
        open_run_as_untitled(session_, *run);
}

} // namespace kv
