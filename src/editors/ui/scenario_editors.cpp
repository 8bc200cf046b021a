#include "editors/ui/scenario_editors.h"

#include "editors/options_dialog.h"
#include "editors/period_dialog.h"
#include "editors/ui/options_form.h"
#include "editors/ui/period_form.h"
#include "shell/ui/dialog_registry.h"

#include <memory>

namespace kv {

void install_scenario_editors(DialogRegistry& dialogs, Session& session) {
    auto options = std::make_shared<OptionsDialog>(session);
    dialogs.add("MnuScen_0",
                [options](QWidget* owner) { return new OptionsForm(*options, owner); });
    auto period = std::make_shared<PeriodDialog>(session);
    dialogs.add("MnuScen_1", [period](QWidget* owner) { return new PeriodForm(*period, owner); });
}

} // namespace kv
