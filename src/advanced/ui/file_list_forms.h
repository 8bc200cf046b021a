#pragma once

#include "advanced/growth_dialog.h"
#include "advanced/population_dialog.h"
#include "shell/ui/scenario_dialog.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kv {

// The controls the Growth and Equipment Population windows share: the list box, a text box
// below it (with a label in Growth) and one row of buttons "Delete", "OK", "Replace",
// "Cancel", "Add...".
struct FileListControls {
    QListWidget* list = nullptr;
    QLabel* label = nullptr; // none in Equipment Population
    QLineEdit* edit = nullptr;
    QPushButton* del = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* replace = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* add = nullptr;
};

// The window of the Growth dialog.
class GrowthForm : public ScenarioDialog {
    Q_OBJECT
public:
    GrowthForm(GrowthDialog& logic, QWidget* owner);

protected:
    void unload() override;
    void escape() override;

private:
    void showLogic();
    void clicked(bool byMouse);

    GrowthDialog& logic_;
    FileListControls c_;
};

// The window of the Equipment Population dialog.
class EquipForm : public ScenarioDialog {
    Q_OBJECT
public:
    EquipForm(PopulationDialog& logic, QWidget* owner);

protected:
    void unload() override;
    void escape() override;

private:
    void showLogic();

    PopulationDialog& logic_;
    FileListControls c_;
};

} // namespace kv
