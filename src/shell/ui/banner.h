#pragma once

#include <QWidget>

namespace kv {

// The main window's banner `Picture1`: the program's name over a drawing of a field with a
// small engine-driven machine and its exhaust, painted rather than loaded.
class Banner : public QWidget {
    Q_OBJECT
public:
    explicit Banner(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {520, 150}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kv
