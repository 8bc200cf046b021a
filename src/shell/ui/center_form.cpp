#include "shell/ui/center_form.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kv {

void center_form(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->geometry();
    const QSize size = window.isVisible() ? window.frameGeometry().size() : window.size();
    window.move(area.x() + (area.width() - size.width()) / 2,
                area.y() + (area.height() - size.height()) / 2);
}

} // namespace kv
