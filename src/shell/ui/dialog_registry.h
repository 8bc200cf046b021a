#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>

class QWidget;

namespace kv {

class KVGui;
class ScenarioDialog;
class Session;

// The single instances of the dialogs that edit the scenario. Each is known by the object
// name of the menu item that opens it; the first choice of the item creates the window,
// later choices bring the open window to the front without loading it again. When another
// options file is about to be read, every open dialog closes without storing.
class DialogRegistry : public QObject {
    Q_OBJECT
public:
    // Makes the window of a dialog, parented to the given owner; the window loads its values
    // from the dialog's logic as it is built.
    using Factory = std::function<ScenarioDialog*(QWidget* owner)>;

    DialogRegistry(KVGui& window, Session& session);
    ~DialogRegistry() override;

    // Binds the menu item to the dialog and makes the item available.
    void add(const QString& menuItem, Factory factory);

    // Opens the dialog of the item, or brings it forward when it is open.
    void open(const QString& menuItem);
    // The open window of the item, or null.
    ScenarioDialog* openDialog(const QString& menuItem) const;

    void closeAllWithoutStoring();

signals:
    // A dialog closed; it may have stored values into the scenario.
    void dialogClosed();

private:
    struct Entry {
        Factory factory;
        QPointer<ScenarioDialog> dialog;
    };
    KVGui& window_;
    Session& session_;
    int listener_ = 0;
    std::map<QString, Entry> entries_;
};

} // namespace kv
