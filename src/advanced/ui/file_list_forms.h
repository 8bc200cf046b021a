#pragma once

#include "advanced/growth_dialog.h"
#include "advanced/population_dialog.h"
#include "shell/ui/scenario_dialog.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kv {

// What the Growth and Equipment Population windows share: the list box, a text box below it
// (with a label in Growth) and one row of buttons "Delete", "OK", "Replace", "Cancel",
// "Add...", each handed to the dialog's logic.
class FileListForm : public ScenarioDialog {
    Q_OBJECT
protected:
    // `labelName` null: the text box has no label.
    FileListForm(FileListDialog& logic, QWidget* owner, const char* listName, const char* editName,
                 const char* labelName = nullptr, const char* labelText = nullptr);

    void unload() override;
    void escape() override;
    // Shows what the logic holds.
    virtual void showLogic() = 0;

    QListWidget* list_ = nullptr;
    QLabel* label_ = nullptr;
    QLineEdit* edit_ = nullptr;

private:
    FileListDialog& logic_;
};

// The window of the Growth dialog.
class GrowthForm : public FileListForm {
    Q_OBJECT
public:
    GrowthForm(GrowthDialog& logic, QWidget* owner);

protected:
    void showLogic() override;

private:
    void clicked(bool byMouse);

    GrowthDialog& logic_;
};

// The window of the Equipment Population dialog.
class EquipForm : public FileListForm {
    Q_OBJECT
public:
    EquipForm(PopulationDialog& logic, QWidget* owner);

protected:
    void showLogic() override;

private:
    PopulationDialog& logic_;
};

} // namespace kv
