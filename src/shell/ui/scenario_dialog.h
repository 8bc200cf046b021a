#pragma once

#include <QDialog>
#include <functional>

class QAbstractButton;
class QCloseEvent;
class QKeyEvent;

namespace kv {

// The window of a dialog that edits the scenario. Its logic lives in the core and outlives
// the window: opening creates the window (which loads the logic's values into it), closing
// destroys it. The dialog is modeless; Escape and the window's close button go to the
// subclass, which hands them to its logic.
class ScenarioDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScenarioDialog(QWidget* owner);

    // Most dialogs are centred on the screen when they load; a few keep their own place.
    virtual bool centredWhenLoaded() const { return true; }

    // Closes the window without running the logic's closing step: another options file is
    // being read, and nothing of the old one may be stored into it.
    void closeWithoutStoring();

    // Every close (OK, Cancel, Escape, the close button) ends here; accept() and reject()
    // included, so no way out skips the closing step.
    void accept() override { close(); }
    void reject() override { close(); }

signals:
    // The window has closed and its closing step, if any, has run.
    void closed();

protected:
    // Asked first on every close but closeWithoutStoring(); false keeps the window open
    // (the logic's check refused what the close would store, and the user chose to go on).
    virtual bool mayClose() { return true; }
    // The logic's closing step, run on every close but closeWithoutStoring().
    virtual void unload() {}
    // Escape pressed anywhere in the dialog.
    virtual void escape() { close(); }
    // A click on `button` (OK, Cancel) runs `handler` in the logic, then closes the window.
    void closeAfter(QAbstractButton* button, std::function<void()> handler);

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool discarding_ = false;
    bool closing_ = false;
};

} // namespace kv
