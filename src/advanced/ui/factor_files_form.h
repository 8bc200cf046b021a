#pragma once

#include "advanced/factor_files_dialog.h"
#include "shell/ui/scenario_dialog.h"

#include <array>

class QLineEdit;

namespace kv {

// The window of the Emission Factors or the Deterioration Factors dialog, built from its
// member's entry: the menu "&Add/Change files", fifteen labelled rows, OK and Cancel.
class FactorFilesForm : public ScenarioDialog {
    Q_OBJECT
public:
    FactorFilesForm(FactorFilesDialog& logic, QWidget* owner);

protected:
    bool mayClose() override;
    void unload() override;
    void escape() override;

private:
    void ok();
    void showLogic();

    FactorFilesDialog& logic_;
    std::array<QLineEdit*, kFactorRowCount> rows_{};
};

} // namespace kv
