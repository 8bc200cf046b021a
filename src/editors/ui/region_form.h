#pragma once

#include "editors/region_dialog.h"
#include "shell/ui/scenario_dialog.h"

#include <vector>

class QButtonGroup;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace kv {

// The window of the Region dialog: the level buttons, the state and county lists, the
// current selection and its Add and Del buttons. It shows what the logic holds and hands
// every click on to it.
class RegionForm : public ScenarioDialog {
    Q_OBJECT
public:
    RegionForm(RegionDialog& logic, QWidget* owner);

protected:
    void unload() override;
    void escape() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showLogic();
    void deleteSelected();

    RegionDialog& logic_;
    std::vector<QRadioButton*> levels_;
    QListWidget* states_ = nullptr;
    QListWidget* counties_ = nullptr;
    QListWidget* selection_ = nullptr;
    QPushButton* add_ = nullptr;
    // The current line of each list when the mouse button last went down on it.
    int statesRowAtPress_ = -1;
    int countiesRowAtPress_ = -1;
};

} // namespace kv
