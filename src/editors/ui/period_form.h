#pragma once

#include "editors/period_dialog.h"
#include "shell/ui/form_parts.h"
#include "shell/ui/scenario_dialog.h"

#include <array>

class QLineEdit;

namespace kv {

// The window of the Period dialog: the period, type, season, month and day buttons and the
// three years.
class PeriodForm : public ScenarioDialog {
    Q_OBJECT
public:
    PeriodForm(PeriodDialog& logic, QWidget* owner);

protected:
    bool mayClose() override;
    void unload() override;
    void escape() override;

private:
    void showLogic();

    PeriodDialog& logic_;
    std::array<OptionFrame, PeriodDialog::kArrayCount> frames_{};
    std::array<QLineEdit*, PeriodDialog::kYearCount> years_{};
};

} // namespace kv
