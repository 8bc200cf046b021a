#include "shell/ui/dialog_registry.h"

#include "shell/session.h"
#include "shell/ui/center_form.h"
#include "shell/ui/main_window.h"
#include "shell/ui/scenario_dialog.h"

namespace kv {

DialogRegistry::DialogRegistry(KVGui& window, Session& session)
    : window_(window), session_(session),
      listener_(session.onScenarioReplacing([this] { closeAllWithoutStoring(); })) {}

DialogRegistry::~DialogRegistry() {
    session_.removeListener(listener_);
    // A window must not outlive the logic it shows, which goes with its factory.
    for (auto& [name, entry] : entries_)
        delete entry.dialog.data();
}

void DialogRegistry::add(const QString& menuItem, Factory factory) {
    entries_[menuItem].factory = std::move(factory);
    window_.bindMenuItem(menuItem, [this, menuItem] { open(menuItem); });
}

void DialogRegistry::open(const QString& menuItem) {
    const auto it = entries_.find(menuItem);
    if (it == entries_.end())
        return;
    Entry& entry = it->second;
    if (!entry.dialog) {
        entry.dialog = entry.factory(&window_);
        connect(entry.dialog, &ScenarioDialog::closed, this, &DialogRegistry::dialogClosed);
        entry.dialog->adjustSize();
        if (entry.dialog->centredWhenLoaded())
            center_form(*entry.dialog);
    }
    entry.dialog->show();
    entry.dialog->raise();
    entry.dialog->activateWindow();
}

ScenarioDialog* DialogRegistry::openDialog(const QString& menuItem) const {
    const auto it = entries_.find(menuItem);
    return it == entries_.end() ? nullptr : it->second.dialog.data();
}

void DialogRegistry::closeAllWithoutStoring() {
    for (auto& [name, entry] : entries_) {
        if (entry.dialog)
            entry.dialog->closeWithoutStoring();
    }
}

} // namespace kv
