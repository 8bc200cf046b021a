#include "shell/ui/main_window.h"

#include "runs/model_run.h"
#include "runs/ui/batch_window.h"
#include "runs/ui/desktop_notice.h"
#include "runs/ui/message_viewer.h"
#include "runs/ui/run_history_window.h"
#include "runs/ui/run_window.h"
#include "sets/comparison.h"
#include "sets/ui/comparison_window.h"
#include "shell/demo_copy.h"
#include "shell/editor_launch.h"
#include "shell/file_commands.h"
#include "shell/info_texts.h"
#include "shell/recovery.h"
#include "shell/reports.h"
#include "shell/session.h"
#include "shell/status.h"
#include "shell/ui/about_window.h"
#include "shell/ui/banner.h"
#include "shell/ui/center_form.h"
#include "shell/ui/current_window.h"
#include "shell/ui/diag_window.h"
#include "shell/ui/dialog_registry.h"
#include "shell/ui/status_label.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>

namespace kv {

namespace {

// Brings an open single-instance window forward; answers false when it is not open.
bool raise_open(const QPointer<QWidget>& window) {
    if (!window)
        return false;
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

// Changes reach the recovery file this long after a dialog commits them (later when a box
// is waiting for an answer then).
constexpr int kRecoveryDelayMs = 500;

// A window title holds the caption as it is: a "[*]" in a file name is not the placeholder.
QString literal_title(const std::string& caption) {
    return QString::fromStdString(caption).replace("[*]", "[*][*]");
}

} // namespace

KVGui::KVGui(Session& session, const EditorEnvironment& editors, QWidget* parent)
    : QMainWindow(parent), session_(session), editors_(editors) {
    setObjectName("KVGui");
    setWindowTitle(literal_title(std::string(kAppTitle)) + "[*]");
    buildMenus();
    buildControls();
    dialogs_ = std::make_unique<DialogRegistry>(*this, session_);
    connect(dialogs_.get(), &DialogRegistry::dialogClosed, this, &KVGui::refreshModified);
    // Changes are written a moment after they are made, from the event loop: never in the
    // middle of a read or a save, and once for a burst of them.
    recovery_ = std::make_unique<RecoveryKeeper>(session_);
    demo_ = std::make_unique<DemoScenario>(session_);
    recoveryTimer_ = new QTimer(this);
    recoveryTimer_->setSingleShot(true);
    recoveryTimer_->setInterval(kRecoveryDelayMs);
    connect(recoveryTimer_, &QTimer::timeout, this, [this] {
        // A box or file dialog may be up inside a read that has replaced part of the
        // scenario: wait until it is answered.
        if (QApplication::activeModalWidget() != nullptr)
            recoveryTimer_->start();
        else if (!ended_)
            recovery_->refresh();
    });
}

KVGui::~KVGui() = default;

QAction* KVGui::addItem(QMenu* menu, const QString& name, const QString& caption, bool enabled) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    action->setEnabled(enabled);
    items_[name] = action;
    return action;
}

void KVGui::buildMenus() {
    QMenu* files = menuBar()->addMenu("&File");
    files->setObjectName("MenuFiles");
    connect(addItem(files, "MnuFiles_0", "&Open...", true), &QAction::triggered, this,
            [this] { file_open(session_); });
    connect(addItem(files, "MnuFiles_1", "&Save", true), &QAction::triggered, this,
            [this] { file_save(session_); });
    connect(addItem(files, "MnuFiles_2", "Save &as...", true), &QAction::triggered, this,
            [this] { file_save_as(session_); });
    connect(addItem(files, "MnuCompare", "Compare &With...", true), &QAction::triggered, this,
            [this] {
                if (const auto comparison = compare_with_file(session_))
                    (new ComparisonWindow(*comparison, this))->show();
            });
    recentMenu_ = files->addMenu("Recent &Files");
    recentMenu_->setObjectName("MenuRecent");
    recentMenu_->setToolTipsVisible(true);
    connect(files, &QMenu::aboutToShow, this, &KVGui::fillRecentMenu);
    QAction* separator = files->addSeparator();
    separator->setObjectName("MnuFiles_3");
    items_["MnuFiles_3"] = separator;
    connect(addItem(files, "MnuExit", "E&xit", true), &QAction::triggered, this,
            &KVGui::exitRequested);

    // The dialogs of the Scenario and Advanced options menus bind themselves with
    // bindMenuItem; until then their items are unavailable.
    QMenu* scen = menuBar()->addMenu("&Scenario");
    scen->setObjectName("MenuScen");
    const char* scenItems[] = {"&Options", "&Period", "&Region", "&Sources"};
    for (int i = 0; i < 4; ++i)
        addItem(scen, QString("MnuScen_%1").arg(i), scenItems[i], false);

    QMenu* model = menuBar()->addMenu("&Model");
    model->setObjectName("MenuModel");
    mnuRun_ = addItem(model, "MnuRun", "&Run with filename.ext", true);
    connect(mnuRun_, &QAction::triggered, this, &KVGui::runModel);
    mnuStop_ = addItem(model, "MnuStop", "S&top Run", false);
    connect(mnuStop_, &QAction::triggered, this, [this] { stop_model_run(session_); });
    connect(addItem(model, "MnuHistory", "Run &History", true), &QAction::triggered, this,
            &KVGui::showRunHistory);
    connect(addItem(model, "MnuAcc", "Re&ports", true), &QAction::triggered, this,
            [this] { launch_reports(session_); });
    connect(model, &QMenu::aboutToShow, this, [this] {
        mnuRun_->setText(QString::fromStdString(run_menu_caption(session_.scenario.optfile)));
    });

    QMenu* adv = menuBar()->addMenu("&Advanced options");
    adv->setObjectName("MenuAdvopt");
    const char* advItems[] = {"Geographic &Allocation",
                              "&Temporal Allocation",
                              "&Growth",
                              "&Equip. Population",
                              "&Phase In",
                              "Emission &Factors",
                              "&Deterioration Factors",
                              "A&ctivity",
                              "&U.S. Counties FIPS",
                              "&Retrofit",
                              "&Daily Temp/RVP",
                              "&Optional Output"};
    for (int i = 0; i < 12; ++i)
        addItem(adv, QString("mnuadvopt_%1").arg(i), advItems[i], false);

    for (const auto& [name, action] : items_) {
        if (name.startsWith("MnuScen_") || name.startsWith("mnuadvopt_")) {
            connect(action, &QAction::triggered, this, [this, n = name] {
                if (n == "MnuScen_1")
                    session_.log.write("Period selected");
                if (const auto it = handlers_.find(n); it != handlers_.end() && it->second)
                    it->second();
            });
        }
    }

    QMenu* batch = menuBar()->addMenu("&Batch");
    batch->setObjectName("MenuBatch");
    connect(addItem(batch, "MnuBatch_0", "&Select option files", true), &QAction::triggered, this,
            &KVGui::showBatch);
    connect(addItem(batch, "MnuBatch_1", "&Run Batch", true), &QAction::triggered, this,
            &KVGui::showBatch);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("MenuHelp");
    addItem(help, "MnuHelp", "&Help", false);
    connect(addItem(help, "MnuDemo", "Open &Demo", true), &QAction::triggered, this,
            &KVGui::openDemo);
    connect(addItem(help, "MnuAbout", "&About", true), &QAction::triggered, this,
            &KVGui::showAbout);
    connect(addItem(help, "MnuCur", "&Current", true), &QAction::triggered, this,
            &KVGui::showCurrent);
    connect(addItem(help, "MnuDiag", "&Diag", false), &QAction::triggered, this, &KVGui::showDiag);
}

void KVGui::buildControls() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);

    picture1_ = new Banner(central);
    layout->addWidget(picture1_, 0, Qt::AlignHCenter);

    verLbl_ = new StatusLabel(central);
    verLbl_->setObjectName("VerLbl");
    verLbl_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    verLbl_->setFrameShape(QFrame::StyledPanel);
    verLbl_->setMargin(6);
    layout->addWidget(verLbl_);

    viewMsg_ = new QPushButton("&View Message File", central);
    viewMsg_->setObjectName("View_Msg");
    // Shown only while the message file exists; none is known before the first status.
    viewMsg_->setEnabled(false);
    viewMsg_->hide();
    connect(viewMsg_, &QPushButton::clicked, this, [this] {
        show_message_file(session_, editors_,
                          session_.join(session_.scenario.msgdir, session_.scenario.msgfile), this);
    });
    layout->addWidget(viewMsg_, 0, Qt::AlignHCenter);

    auto* diagRow = new QHBoxLayout;
    lstRegionB_ = new QListWidget(central);
    lstRegionB_->setObjectName("LstRegionB");
    lstDiag_ = new QListWidget(central);
    lstDiag_->setObjectName("LstDiag");
    cmdDiag_ = new QPushButton("Diag", central);
    cmdDiag_->setObjectName("CmdDiag");
    connect(cmdDiag_, &QPushButton::clicked, this, &KVGui::fillDiagLists);
    diagRow->addWidget(lstRegionB_);
    diagRow->addWidget(lstDiag_);
    diagRow->addWidget(cmdDiag_, 0, Qt::AlignTop);
    lstRegionB_->hide();
    lstDiag_->hide();
    cmdDiag_->hide();
    layout->addLayout(diagRow);
    layout->addStretch(1);

    setCentralWidget(central);
    resize(640, sizeHint().height());
}

StartupOutcome KVGui::load(bool anotherInstanceRunning, bool withDemo) {
    StartupHooks hooks;
    hooks.centreWindow = [this] { center_form(*this); };
    hooks.showWindow = [this] { show(); };
    if (withDemo)
        hooks.openDemo = [this] { openDemo(); };
    const StartupOutcome outcome = run_startup(session_, anotherInstanceRunning, hooks);
    if (outcome == StartupOutcome::Ready)
        offer_recovery(session_);
    // A failure inside the sequence leaves the window usable, so the user can end the run.
    if (outcome == StartupOutcome::MainError && !isVisible())
        show();
    return outcome;
}

void KVGui::Fini() {
    if (ended_)
        return;
    if (session_.modelRunning) {
        // The run records how it ended and writes its log line first; runModel ends the
        // program once the model's process group has ended.
        endAfterRun_ = true;
        stop_model_run(session_);
        return;
    }
    ended_ = true;
    // Nobody is asked any more (a termination signal, or Yes said already): a batch stops as
    // its window goes, its models ended as Stop ends them.
    if (auto* batch = qobject_cast<BatchWindow*>(batch_.data()))
        batch->runner().stopForEnd();
    fini(session_);
    dialogs_->closeAllWithoutStoring();
    for (const QPointer<QWidget>& window :
         {current_, about_, diag_, batch_, QPointer<QWidget>(history_.data())}) {
        if (window)
            window->close();
    }
    close();
    emit finished();
}

void KVGui::exitRequested() {
    // A run is stopped first (when the user agrees), then unsaved changes are settled.
    if (!ended_ && !keepOpenForRun() && !keepOpenForBatch() && settle_unsaved_changes(session_))
        endAsTheUserAsked();
}

void KVGui::endAsTheUserAsked() {
    // Changes the user chose not to save are not offered again at the next start.
    recoveryTimer_->stop();
    recovery_->discard();
    Fini();
}

void KVGui::Update_DefaultOption_File() {
    update_default_option_file(session_);
}

void KVGui::applyCaption(const std::string& caption) {
    setWindowTitle(literal_title(caption) + "[*]");
    refreshModified();
    // Reads and saves set the caption; they are also what the recent files list.
    fillRecentMenu();
}

void KVGui::refreshModified() {
    setWindowModified(session_.scenarioModified());
    keepRecoveryCurrent();
}

void KVGui::keepRecoveryCurrent() {
    if (ended_)
        return;
    // A save or a read removes the file at once; changes are written shortly.
    if (!session_.scenarioModified())
        recovery_->refresh();
    else if (!recoveryTimer_->isActive())
        recoveryTimer_->start();
}

void KVGui::applyStatus(const StatusDisplay& status) {
    QList<StatusLabel::Line> lines;
    std::string_view rest = status.text;
    for (bool title = true;; title = false) {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        // The title is shortened at its end; the file lines in their directories.
        const StatusLineParts parts = title ? StatusLineParts{{}, {}, std::string(line)}
                                            : status_line_parts(line, session_.rules);
        lines.append({QString::fromStdString(parts.head), QString::fromStdString(parts.directory),
                      QString::fromStdString(parts.rest)});
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    verLbl_->setStatus(QString::fromStdString(status.text), lines);
    viewMsg_->setEnabled(status.viewMessageVisible);
    viewMsg_->setVisible(status.viewMessageVisible);
    widenForStatus();
    verLbl_->repaint();
    refreshModified();
}

// A longer status line widens the window about its centre as far as the screen allows and no
// further, and the window is kept on the screen. What still does not fit is shortened by the
// label.
void KVGui::widenForStatus() {
    const QScreen* shown = screen();
    if (shown == nullptr)
        return;
    const QRect area = shown->availableGeometry();
    // The label's new width reaches the window's size hint only once the layouts have served
    // their request from the event loop; a status set once (after a run, an Open) would
    // otherwise leave the window as wide as it was.
    centralWidget()->updateGeometry();
    const int frameExtra = frameGeometry().width() - width();
    const int widest = area.width() - frameExtra;
    const int wanted = std::min(std::max(width(), sizeHint().width()), widest);
    const QRect before = frameGeometry();
    if (wanted != width())
        resize(std::max(wanted, minimumWidth()), height());
    const int frameWidth = frameGeometry().width();
    const int left = std::clamp(before.x() + (before.width() - frameWidth) / 2, area.left(),
                                std::max(area.left(), area.right() + 1 - frameWidth));
    if (left != x())
        move(left, y());
}

bool KVGui::bindMenuItem(const QString& objectName, std::function<void()> open) {
    const auto it = items_.find(objectName);
    if (it == items_.end() ||
        !(objectName.startsWith("MnuScen_") || objectName.startsWith("mnuadvopt_")))
        return false;
    handlers_[objectName] = std::move(open);
    it->second->setEnabled(true);
    return true;
}

void KVGui::setRunning(bool running) {
    for (const char* name : {"MnuRun", "MnuFiles_0", "MnuFiles_1", "MnuFiles_2", "MnuDemo"})
        items_[name]->setEnabled(!running);
    mnuStop_->setEnabled(running);
    recentMenu_->menuAction()->setEnabled(!running && !session_.recentFiles.paths().empty());
}

void KVGui::fillRecentMenu() {
    // One of these items may be the one being handled (opening a recent file refills the
    // list): they go once control is back in the event loop, and lose their names now.
    for (QAction* old : recentMenu_->actions()) {
        recentMenu_->removeAction(old);
        old->setObjectName({});
        old->deleteLater();
    }
    const auto& paths = session_.recentFiles.paths();
    const QFontMetrics metrics(recentMenu_->font());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const QString path = QString::fromStdString(paths[i]);
        // A long path keeps its beginning and its file name; the tip shows all of it.
        const QString shown =
            metrics.elidedText(path, Qt::ElideMiddle, 60 * metrics.averageCharWidth());
        QAction* item = recentMenu_->addAction(
            QString("&%1 %2").arg(i + 1).arg(QString(shown).replace("&", "&&")));
        item->setObjectName(QString("MnuRecent_%1").arg(i));
        item->setToolTip(path);
        connect(item, &QAction::triggered, this,
                [this, p = paths[i]] { file_open_recent(session_, p); });
    }
    recentMenu_->menuAction()->setEnabled(!paths.empty() && !session_.modelRunning);
}

void KVGui::runModel() {
    setRunning(true);
    RunOptions options;
    options.started = [this](const RunFacts& facts) {
        if (runWindow_ == nullptr) {
            runWindow_ = new RunWindow(session_, editors_, this);
            connect(runWindow_, &RunWindow::ticked, this,
                    [this](const QString& status) { statusBar()->showMessage(status); });
        }
        statusBar()->show();
        runWindow_->begin(facts);
    };
    const RunReport report = run_model(session_, options);
    if (ended_)
        return;
    setRunning(false);
    if (runWindow_ != nullptr && runWindow_->running())
        runWindow_->end(report);
    if (statusBar()->isVisible()) {
        statusBar()->clearMessage();
        statusBar()->hide();
    }
    if (report.record)
        notice_end(this, run_end_notice(*report.record));
    if (endAfterRun_) {
        Fini();
        return;
    }
    if (history_)
        history_->reload();
}

bool KVGui::keepOpenForRun() {
    if (ended_ || !session_.modelRunning)
        return false;
    return endAfterRun_ || !may_end_during_run(session_);
}

bool KVGui::keepOpenForBatch() {
    auto* batch = qobject_cast<BatchWindow*>(batch_.data());
    return batch != nullptr && !batch->runner().mayEndProgram();
}

void KVGui::fillDiagLists() {
    const DiagLists lists = diag_lists(session_.scenario);
    lstDiag_->clear();
    for (const auto& abbr : lists.abbreviations)
        lstDiag_->addItem(QString::fromStdString(abbr));
    lstRegionB_->clear();
    for (const auto& line : lists.regions)
        lstRegionB_->addItem(QString::fromStdString(line));
}

void KVGui::showCurrent() {
    if (raise_open(current_))
        return;
    current_ = new CurrentWindow(session_, this);
    current_->show();
}

void KVGui::showAbout() {
    if (raise_open(about_))
        return;
    const AboutDate date = about_date_text(programFile_.toStdString(), session_.arguments);
    if (!date.ok) {
        session_.message("Cannot show the program's file and date: " + date.text,
                         MessageIcon::Exclamation);
        return;
    }
    about_ = new AboutWindow(QString::fromStdString(date.text), this);
    about_->show();
}

void KVGui::showDiag() {
    if (raise_open(diag_))
        return;
    // The listing is read from the model directory.
    const std::string path = session_.join(session_.settings.modeldir, session_.scenario.optfile);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        session_.message("Cannot list the packets of " + path + ": the file cannot be opened.",
                         MessageIcon::Exclamation);
        return;
    }
    QStringList lines;
    for (const auto& line : diag_listing(in))
        lines << QString::fromStdString(line);
    diag_ = new DiagWindow(QString::fromStdString(session_.scenario.optfile), lines, this);
    diag_->show();
}

void KVGui::showBatch() {
    if (raise_open(batch_))
        return;
    batch_ = new BatchWindow(session_, editors_, this);
    batch_->show();
}

void KVGui::showRunHistory() {
    if (history_) {
        history_->reload();
        raise_open(history_.data());
        return;
    }
    history_ = new RunHistoryWindow(session_, editors_, this);
    history_->show();
}

void KVGui::openDemo() {
    demo_->open(demo_places(session_.programDir));
}

bool KVGui::demoActive() const {
    return demo_->active();
}

void KVGui::closeEvent(QCloseEvent* event) {
    if (!ended_ && (keepOpenForRun() || keepOpenForBatch() || !settle_unsaved_changes(session_))) {
        event->ignore();
        return;
    }
    if (!ended_)
        endAsTheUserAsked();
    // During a run the window closes once the run has been stopped.
    if (ended_)
        event->accept();
    else
        event->ignore();
}

void KVGui::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_F12:
        view_options_file(session_, editors_);
        return;
    case Qt::Key_F11:
        for (QWidget* w : std::initializer_list<QWidget*>{lstRegionB_, lstDiag_, cmdDiag_})
            w->setHidden(!w->isHidden());
        return;
    default:
        QMainWindow::keyPressEvent(event);
    }
}

} // namespace kv
