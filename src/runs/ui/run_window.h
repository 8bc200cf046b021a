#pragma once

#include "runs/model_run.h"
#include "runs/ui/message_viewer.h"

#include <QElapsedTimer>

class QLabel;
class QPushButton;

namespace kv {

// `Run_Window`: the run of Model > Run as it happens, kept for the next run. Above the model's
// output (its console log, followed as it grows in the message viewer's own view, Ctrl+F to
// find): the options file, the start, the time it has taken so far, then how it ended and how
// long it took. Stop ends the run as Model > Stop Run does; View Message File and Open Output
// Folder open what the run wrote.
class RunWindow : public MessageViewer {
    Q_OBJECT
public:
    RunWindow(Session& session, const EditorEnvironment& editors, QWidget* owner);

    // The model is about to start: the window shows the run and follows its console log.
    void begin(const RunFacts& facts);
    // The run has ended (its line in the history, when one was made).
    void end(const RunReport& report);
    bool running() const { return running_; }

signals:
    // Each second of a run: the main window's status text ("Running demo.opt — 0:12").
    void ticked(const QString& status);

private:
    void tick();

    Session& session_;
    const EditorEnvironment& editors_;
    QLabel* optionsFile_ = nullptr;
    QLabel* started_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QLabel* outcome_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* viewMessage_ = nullptr;
    QPushButton* openFolder_ = nullptr;
    QTimer* ticker_ = nullptr;
    QElapsedTimer clock_;
    QString title_;
    std::string optionsPath_;
    std::string consoleFile_;
    std::string messageFile_;
    std::string outputFolder_;
    bool running_ = false;
    bool following_ = false; // the console log is open in the view
};

} // namespace kv
