#pragma once

#include <QWidget>

class QKeyEvent;

namespace kv {

// The shared behaviour of the small information windows: a top-level window owned by the
// main window, destroyed when closed, closed by Escape.
class InfoWindow : public QWidget {
    Q_OBJECT
public:
    InfoWindow(const QString& objectName, QWidget* owner);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace kv
