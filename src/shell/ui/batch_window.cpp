#include "shell/ui/batch_window.h"

#include "shell/ui/center_form.h"

namespace kv {

BatchWindow::BatchWindow(QWidget* owner) : InfoWindow("Batch", owner) {
    setWindowTitle("Batch");
    resize(400, 260);
    center_form(*this);
}

} // namespace kv
