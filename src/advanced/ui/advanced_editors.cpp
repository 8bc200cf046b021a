#include "advanced/ui/advanced_editors.h"

#include "advanced/factor_files_dialog.h"
#include "advanced/geoalloc_dialog.h"
#include "advanced/growth_dialog.h"
#include "advanced/population_dialog.h"
#include "advanced/single_file_dialog.h"
#include "advanced/ui/factor_files_form.h"
#include "advanced/ui/file_list_forms.h"
#include "advanced/ui/geoalloc_form.h"
#include "advanced/ui/single_file_form.h"
#include "shell/ui/dialog_registry.h"

#include <memory>

namespace kv {

void install_advanced_editors(DialogRegistry& dialogs, Session& session) {
    // Activity, U.S. Counties FIPS, Retrofit, Daily Temp/RVP, Phase In, Temporal Allocation
    // and Optional Output: one form built from each member's entry.
    for (const SingleFileMember& member : single_file_members()) {
        auto logic = std::make_shared<SingleFileDialog>(session, member);
        dialogs.add(QString::fromUtf8(member.menuItem.data(), member.menuItem.size()),
                    [logic](QWidget* owner) { return new SingleFileForm(*logic, owner); });
    }
    // Emission Factors and Deterioration Factors: one form, two members.
    for (const FactorFilesMember* member : {&emission_factors(), &deterioration_factors()}) {
        auto logic = std::make_shared<FactorFilesDialog>(session, *member);
        dialogs.add(QString::fromUtf8(member->menuItem.data(), member->menuItem.size()),
                    [logic](QWidget* owner) { return new FactorFilesForm(*logic, owner); });
    }
    // Geographic Allocation, Growth and Equipment Population: the file lists.
    auto geoalloc = std::make_shared<GeoAllocDialog>(session);
    dialogs.add("mnuadvopt_0",
                [geoalloc](QWidget* owner) { return new GeoAllocForm(*geoalloc, owner); });
    auto growth = std::make_shared<GrowthDialog>(session);
    dialogs.add("mnuadvopt_2", [growth](QWidget* owner) { return new GrowthForm(*growth, owner); });
    auto population = std::make_shared<PopulationDialog>(session);
    dialogs.add("mnuadvopt_3",
                [population](QWidget* owner) { return new EquipForm(*population, owner); });
}

} // namespace kv
