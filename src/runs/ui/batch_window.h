#pragma once

#include "runs/batch_runner.h"
#include "shell/ui/info_windows.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;

namespace kv {

class EditorEnvironment;
class Session;

// `Batch`: a list of options files run as a batch on this machine, several at a time. One
// row per file with its state, exit status and duration; a double click on a finished row
// opens its message file. The check and the batch run from this window's timer, so every
// window stays responsive; closing the window during a batch asks whether to stop it.
class BatchWindow : public InfoWindow {
    Q_OBJECT
public:
    BatchWindow(Session& session, const EditorEnvironment& editors, QWidget* owner);

    BatchRunner& runner() { return runner_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void run();
    void tick();
    void refresh();
    void fitColumns();
    void refreshProgress();
    void refreshButtons();
    void removeSelected();

    BatchRunner runner_;
    const EditorEnvironment& editors_;
    QTreeWidget* list_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* addFolder_ = nullptr;
    QPushButton* addVariations_ = nullptr;
    QPushButton* remove_ = nullptr;
    QSpinBox* parallel_ = nullptr;
    QPushButton* run_ = nullptr;
    QPushButton* stop_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* timer_ = nullptr;
};

} // namespace kv
