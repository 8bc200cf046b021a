#pragma once

#include "advanced/single_file_dialog.h"
#include "shell/ui/scenario_dialog.h"

#include <vector>

class QCheckBox;
class QLineEdit;

namespace kv {

// The window of any single-file dialog, built from its member's entry: per row a label (where
// the member has one), the text box and its change button; the by-model-year check box where
// the member has it; OK and Cancel. Hidden rows exist but are never shown.
class SingleFileForm : public ScenarioDialog {
    Q_OBJECT
public:
    SingleFileForm(SingleFileDialog& logic, QWidget* owner);

    bool centredWhenLoaded() const override { return logic_.member().centred; }

protected:
    bool mayClose() override;
    void unload() override;
    void escape() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The two members that are not centred open a little inside the main window's corner.
    void placeByOwner(const QWidget& owner);
    void showLogic();

    SingleFileDialog& logic_;
    std::vector<QLineEdit*> edits_;
    QCheckBox* byModelYear_ = nullptr;
};

} // namespace kv
