#include "shell/ui/info_windows.h"

#include <QKeyEvent>

namespace kv {

InfoWindow::InfoWindow(const QString& objectName, QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(objectName);
    setAttribute(Qt::WA_DeleteOnClose);
}

void InfoWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kv
