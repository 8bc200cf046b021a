#include "runs/ui/batch_window.h"

#include "runs/ui/desktop_notice.h"
#include "runs/ui/message_viewer.h"
#include "sets/ui/variations_form.h"
#include "shell/session.h"
#include "shell/ui/center_form.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace kv {

namespace {

enum Column { File, State, ExitStatus, Duration, MessageFile, ColumnCount };

// How often a running batch is looked at: a run's end shows within this time. The check runs
// its slices back to back, the window's events between them.
constexpr int kTickMs = 50;
constexpr int kCheckTickMs = 0;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

BatchWindow::BatchWindow(Session& session, const EditorEnvironment& editors, QWidget* owner)
    : InfoWindow("Batch", owner), runner_(session), editors_(editors) {
    setWindowTitle("Batch");

    list_ = new QTreeWidget(this);
    list_->setObjectName("LstBatch");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({"Options file", "State", "Exit status", "Duration", "Message file"});
    list_->header()->setStretchLastSection(true);
    // A path wider than its column keeps its end, the file name.
    list_->setTextElideMode(Qt::ElideLeft);
    list_->setToolTip("Double-click a run to follow its output, its message file to open that");
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this, s = &session](QTreeWidgetItem* item, int column) {
                const auto row = static_cast<std::size_t>(list_->indexOfTopLevelItem(item));
                const std::string log = runner_.consoleLog(row);
                if (column == MessageFile || log.empty()) {
                    runner_.openMessageFile(row, editors_);
                    return;
                }
                auto* viewer = new MessageViewer(*s, editors_, this);
                if (!viewer->openFile(log)) {
                    delete viewer;
                    s->message("Console log not found: " + log, MessageIcon::Exclamation);
                    return;
                }
                viewer->show();
            });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &BatchWindow::refreshButtons);

    add_ = button("CmdAdd", "&Add...", this);
    addFolder_ = button("CmdAddFolder", "Add &folder...", this);
    addVariations_ = button("CmdAddVariations", "Add &Variations...", this);
    remove_ = button("CmdRemove", "Re&move", this);
    connect(addVariations_, &QPushButton::clicked, this, [this, s = &session] {
        VariationsForm form(*s, this);
        if (form.exec() == QDialog::Accepted) {
            runner_.add(form.written());
            refresh();
        }
    });
    connect(add_, &QPushButton::clicked, this, [this] {
        runner_.addFiles();
        refresh();
    });
    connect(addFolder_, &QPushButton::clicked, this, [this] {
        runner_.addFolder();
        refresh();
    });
    connect(remove_, &QPushButton::clicked, this, &BatchWindow::removeSelected);

    auto* parallelLabel = new QLabel("&Parallel runs:", this);
    parallel_ = new QSpinBox(this);
    parallel_->setObjectName("TxtParallel");
    parallel_->setRange(1, 256);
    parallel_->setValue(runner_.parallel());
    parallelLabel->setBuddy(parallel_);
    connect(parallel_, &QSpinBox::valueChanged, this, [this](int n) { runner_.setParallel(n); });

    run_ = button("CmdRun", "&Run", this);
    stop_ = button("CmdStop", "S&top", this);
    connect(run_, &QPushButton::clicked, this, &BatchWindow::run);
    connect(stop_, &QPushButton::clicked, this, [this] {
        runner_.stop();
        tick();
    });

    progress_ = new QProgressBar(this);
    progress_->setObjectName("PrgBatch");
    progress_->setRange(0, 1);
    progress_->setValue(0);
    status_ = new QLabel(this);
    status_->setObjectName("LblBatch");

    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(add_);
    listButtons->addWidget(addFolder_);
    listButtons->addWidget(addVariations_);
    listButtons->addWidget(remove_);
    listButtons->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(listButtons);

    auto* controls = new QHBoxLayout;
    controls->addWidget(parallelLabel);
    controls->addWidget(parallel_);
    controls->addSpacing(12);
    controls->addWidget(progress_, 1);
    controls->addWidget(run_);
    controls->addWidget(stop_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(controls);
    layout->addWidget(status_);

    timer_ = new QTimer(this);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &BatchWindow::tick);

    resize(860, 400);
    refresh();
    center_form(*this);
}

void BatchWindow::run() {
    const bool started = runner_.run();
    refresh();
    if (started)
        timer_->start(kCheckTickMs);
}

void BatchWindow::tick() {
    const bool checking = runner_.checking();
    if (runner_.advance())
        refresh();
    else if (checking)
        refreshProgress(); // the rows stay as listed until the check is over
    else
        status_->setText(qs(runner_.progressText()));
    if (checking && !runner_.checking())
        timer_->setInterval(kTickMs);
    if (!runner_.running()) {
        timer_->stop();
        refresh();
        if (const auto notice = runner_.endNotice())
            notice_end(this, *notice);
        if (runner_.closeWhenOver())
            close();
    }
}

void BatchWindow::refresh() {
    const std::vector<BatchRunner::Row> rows = runner_.rows();
    if (list_->topLevelItemCount() != static_cast<int>(rows.size())) {
        list_->clear();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            auto* item = new QTreeWidgetItem(list_);
            item->setTextAlignment(ExitStatus, Qt::AlignRight | Qt::AlignVCenter);
            item->setTextAlignment(Duration, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const BatchRunner::Row& row = rows[i];
        QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(i));
        item->setText(File, qs(row.file));
        item->setText(Column::State, qs(row.state));
        item->setText(ExitStatus, qs(row.exitStatus));
        item->setText(Duration, qs(row.duration));
        item->setText(MessageFile, qs(row.messageFile));
        item->setToolTip(Column::State, qs(row.note));
        item->setToolTip(File, qs(row.note.empty() ? row.file : row.note));
        item->setToolTip(MessageFile, qs(row.messageFile));
    }
    fitColumns();

    refreshProgress();
    refreshButtons();
}

void BatchWindow::refreshProgress() {
    const BatchProgress p = runner_.progress();
    progress_->setRange(0, std::max(p.total, 1));
    progress_->setValue(p.done);
    status_->setText(qs(runner_.progressText()));
}

// The columns take the width of what they show, the message file all that is left. When the
// two paths do not fit side by side, the options file gives way, down to half of their room,
// so the message file stays in view without scrolling.
void BatchWindow::fitColumns() {
    for (int c = File; c < MessageFile; ++c)
        list_->resizeColumnToContents(c);
    int room = list_->viewport()->width();
    for (int c = Column::State; c < MessageFile; ++c)
        room -= list_->columnWidth(c);
    int message = list_->header()->sectionSizeHint(MessageFile);
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
        message = std::max(
            message, list_->sizeHintForIndex(list_->model()->index(row, MessageFile)).width());
    if (list_->columnWidth(File) + message > room)
        list_->setColumnWidth(File, std::max(room - message, room / 2));
}

void BatchWindow::resizeEvent(QResizeEvent* event) {
    InfoWindow::resizeEvent(event);
    fitColumns();
}

void BatchWindow::refreshButtons() {
    const bool running = runner_.running();
    add_->setEnabled(!running);
    addFolder_->setEnabled(!running);
    addVariations_->setEnabled(!running);
    remove_->setEnabled(!running && !list_->selectedItems().isEmpty());
    parallel_->setEnabled(!running);
    run_->setEnabled(!running && !runner_.files().empty());
    stop_->setEnabled(running);
    // Before anything runs, the check can be cancelled.
    stop_->setText(runner_.checking() ? "&Cancel" : "S&top");
}

void BatchWindow::removeSelected() {
    std::vector<std::size_t> rows;
    for (QTreeWidgetItem* item : list_->selectedItems())
        rows.push_back(static_cast<std::size_t>(list_->indexOfTopLevelItem(item)));
    runner_.remove(rows);
    refresh();
}

void BatchWindow::closeEvent(QCloseEvent* event) {
    if (!runner_.mayClose()) {
        event->ignore();
        refresh();
        return;
    }
    timer_->stop();
    InfoWindow::closeEvent(event);
}

} // namespace kv
