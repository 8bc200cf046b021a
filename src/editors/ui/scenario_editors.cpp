#include "editors/ui/scenario_editors.h"

#include "editors/options_dialog.h"
#include "editors/period_dialog.h"
#include "editors/region_dialog.h"
#include "editors/sources_dialog.h"
#include "editors/ui/options_form.h"
#include "editors/ui/period_form.h"
#include "editors/ui/region_form.h"
#include "editors/ui/sources_form.h"
#include "shell/ui/dialog_registry.h"

#include <memory>

namespace kv {

void install_scenario_editors(DialogRegistry& dialogs, Session& session) {
    auto options = std::make_shared<OptionsDialog>(session);
    dialogs.add("MnuScen_0",
                [options](QWidget* owner) { return new OptionsForm(*options, owner); });
    auto period = std::make_shared<PeriodDialog>(session);
    dialogs.add("MnuScen_1", [period](QWidget* owner) { return new PeriodForm(*period, owner); });
    auto region = std::make_shared<RegionDialog>(session);
    dialogs.add("MnuScen_2", [region](QWidget* owner) { return new RegionForm(*region, owner); });
    auto sources = std::make_shared<SourcesDialog>(session);
    dialogs.add("MnuScen_3",
                [sources](QWidget* owner) { return new SourcesForm(*sources, owner); });
}

} // namespace kv
