#include "shell/ui/scenario_dialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>

namespace kv {

ScenarioDialog::ScenarioDialog(QWidget* owner) : QDialog(owner) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setSizeGripEnabled(false);
}

void ScenarioDialog::closeWithoutStoring() {
    discarding_ = true;
    close();
}

void ScenarioDialog::closeAfter(QAbstractButton* button, std::function<void()> handler) {
    connect(button, &QAbstractButton::clicked, this, [this, handler = std::move(handler)] {
        handler();
        close();
    });
}

void ScenarioDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (focusWidget() != nullptr)
        return;
    // The window opens with the focus on its first control. QDialog would give it to the
    // default button when that control is a button, where Enter or a blank closes the window.
    for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && w->isEnabled() &&
            w->isVisibleTo(this)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void ScenarioDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        escape();
        return;
    }
    // Enter presses the default button.
    QDialog::keyPressEvent(event);
}

void ScenarioDialog::closeEvent(QCloseEvent* event) {
    // The closing step may show a message box; a second close meanwhile must not run it again.
    if (closing_) {
        event->accept();
        return;
    }
    closing_ = true;
    if (!discarding_ && !mayClose()) {
        closing_ = false;
        event->ignore();
        return;
    }
    if (!discarding_)
        unload();
    event->accept();
    emit closed();
}

} // namespace kv
