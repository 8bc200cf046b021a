#include "runs/ui/run_window.h"

#include "runs/end_notice.h"
#include "shell/session.h"

#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

namespace kv {

namespace {

constexpr int kTickMs = 250; // the elapsed time shows whole seconds; the log opens once made

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

RunWindow::RunWindow(Session& session, const EditorEnvironment& editors, QWidget* owner)
    : MessageViewer(session, editors, owner), session_(session), editors_(editors) {
    setObjectName("Run_Window");
    auto* header = new QWidget(this);
    auto* form = new QFormLayout(header);
    form->setContentsMargins(0, 0, 0, 0);
    const auto field = [&](const char* name, const char* caption) {
        auto* label = new QLabel(header);
        label->setObjectName(name);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption, label);
        return label;
    };
    optionsFile_ = field("LblOptionsFile", "Options file:");
    started_ = field("LblStarted", "Started:");
    elapsed_ = field("LblElapsed", "Elapsed:");
    outcome_ = field("LblOutcome", "Outcome:");
    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const char* caption) {
        auto* b = new QPushButton(caption, header);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    stop_ = button("CmdStop", "&Stop");
    viewMessage_ = button("CmdViewMsg", "View &Message File");
    openFolder_ = button("CmdOpenFolder", "Open &Output Folder");
    buttons->addStretch(1);
    form->addRow(buttons);
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, header);

    connect(stop_, &QPushButton::clicked, this, [this] { stop_model_run(session_); });
    connect(viewMessage_, &QPushButton::clicked, this,
            [this] { show_message_file(session_, editors_, messageFile_, this); });
    connect(openFolder_, &QPushButton::clicked, this, [this] {
        // The desktop's file manager, started as a program of its own, never through a shell.
        const LaunchResult opened =
            session_.launcher.startDetached({"xdg-open", {outputFolder_}, {}});
        if (!opened.started)
            session_.message("Cannot open the folder " + outputFolder_ + ": " + opened.errorText,
                             MessageIcon::Exclamation);
    });
    ticker_ = new QTimer(this);
    ticker_->setInterval(kTickMs);
    connect(ticker_, &QTimer::timeout, this, &RunWindow::tick);
    setWindowTitle("Run");
    resize(900, 650);
}

void RunWindow::begin(const RunFacts& facts) {
    running_ = true;
    following_ = false;
    optionsPath_ = facts.optionsFile;
    consoleFile_ = facts.consoleFile;
    messageFile_ = facts.messageFile;
    outputFolder_ = std::filesystem::path(facts.outputFile).parent_path().string();
    optionsFile_->setText(qs(facts.optionsFile));
    started_->setText(QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss"));
    outcome_->setText("running");
    stop_->setEnabled(true);
    viewMessage_->setEnabled(false);
    openFolder_->setEnabled(false);
    clock_.start();
    tick();
    ticker_->start();
    title_ = "Run: " + qs(std::filesystem::path(facts.optionsFile).filename().string());
    setWindowTitle(title_);
    show();
    raise();
}

void RunWindow::tick() {
    if (!following_ && !consoleFile_.empty() && std::filesystem::exists(consoleFile_)) {
        following_ = openFile(consoleFile_);
        setWindowTitle(title_); // the viewer names the file it opened
    }
    const double seconds = static_cast<double>(clock_.elapsed()) / 1000.0;
    elapsed_->setText(qs(clock_text(seconds)));
    emit ticked(qs(running_status_text(optionsPath_, seconds)));
}

void RunWindow::end(const RunReport& report) {
    ticker_->stop();
    if (!following_ && !consoleFile_.empty() && std::filesystem::exists(consoleFile_))
        following_ = openFile(consoleFile_);
    if (following_)
        follow(); // the last of the output
    running_ = false;
    stop_->setEnabled(false);
    viewMessage_->setEnabled(true);
    openFolder_->setEnabled(!outputFolder_.empty());
    if (report.record) {
        elapsed_->setText(qs(duration_text(report.record->durationSeconds)));
        outcome_->setText(qs(run_outcome_text(*report.record)));
    } else {
        outcome_->setText("not started");
    }
    setWindowTitle(title_);
}

} // namespace kv
