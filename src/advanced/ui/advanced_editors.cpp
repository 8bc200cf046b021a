#include "advanced/ui/advanced_editors.h"

#include "advanced/single_file_dialog.h"
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
}

} // namespace kv
