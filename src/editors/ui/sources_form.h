#pragma once

#include "editors/sources_dialog.h"
#include "shell/ui/form_parts.h"
#include "shell/ui/scenario_dialog.h"

#include <array>
#include <cstdint>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace kv {

// The window of the Sources dialog: segment, fuel and source mode buttons, the two Add
// buttons and the three lists of the chosen source categories.
class SourcesForm : public ScenarioDialog {
    Q_OBJECT
public:
    SourcesForm(SourcesDialog& logic, QWidget* owner);

protected:
    void escape() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showLogic();
    void showLines();
    void listSelectionChanged(SourcesDialog::List list);

    SourcesDialog& logic_;
    OptionFrame segment_;
    OptionFrame fuel_;
    OptionFrame srcact_;
    QLineEdit* seg_ = nullptr;
    std::array<QPushButton*, 2> addsel_{};
    std::array<QListWidget*, SourcesDialog::kListCount> lists_{};
    std::uint64_t shownRevision_ = 0;
};

} // namespace kv
