#pragma once

#include "editors/options_dialog.h"
#include "shell/ui/scenario_dialog.h"

#include <array>

class QLineEdit;
class QRadioButton;

namespace kv {

// The window of the Options dialog: titles, fuel values, temperatures, Stage II and altitude.
class OptionsForm : public ScenarioDialog {
    Q_OBJECT
public:
    OptionsForm(OptionsDialog& logic, QWidget* owner);

protected:
    bool mayClose() override;
    void unload() override;
    void escape() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showLogic();

    OptionsDialog& logic_;
    std::array<QLineEdit*, OptionsDialog::kFieldCount> edits_{};
    std::array<QRadioButton*, 2> altitude_{};
};

} // namespace kv
