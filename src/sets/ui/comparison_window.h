#pragma once

#include "sets/comparison.h"
#include "shell/ui/info_windows.h"

class QTreeWidget;

namespace kv {

// `Comparison`: what differs between two scenarios, grouped by packet, the changed values
// side by side (Item, A, B); the lines outside the managed packets as a last group. Close or
// Escape closes it.
class ComparisonWindow : public InfoWindow {
    Q_OBJECT
public:
    ComparisonWindow(const Comparison& comparison, QWidget* owner);

    QTreeWidget* list() const { return list_; }

protected:
    // Enter closes it, as Close does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidget* list_ = nullptr;
};

} // namespace kv
