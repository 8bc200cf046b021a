#pragma once

#include "advanced/geoalloc_dialog.h"
#include "shell/ui/scenario_dialog.h"

class QLineEdit;
class QListWidget;

namespace kv {

// The window of the Geographic Allocation dialog: the allocation files and the allocation
// lookup table.
class GeoAllocForm : public ScenarioDialog {
    Q_OBJECT
public:
    GeoAllocForm(GeoAllocDialog& logic, QWidget* owner);

protected:
    void unload() override;
    void escape() override;

private:
    void showLogic();

    GeoAllocDialog& logic_;
    QListWidget* lstalloc_ = nullptr;
    QLineEdit* seledit_ = nullptr;
    QLineEdit* txtalloc_ = nullptr;
};

} // namespace kv
