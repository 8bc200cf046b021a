#include "shell/ui/banner.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kv {

Banner::Banner(QWidget* parent) : QWidget(parent) {
    setObjectName("Picture1");
    setFixedSize(sizeHint());
}

void Banner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = width();
    const qreal h = height();

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(0x2f, 0x6f, 0xb0));
    sky.setColorAt(1, QColor(0xcf, 0xe6, 0xf5));
    p.fillRect(rect(), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xe0, 0x8a));
    p.drawEllipse(QPointF(w * 0.86, h * 0.28), h * 0.13, h * 0.13);

    QPainterPath far;
    far.moveTo(0, h * 0.72);
    far.cubicTo(w * 0.25, h * 0.55, w * 0.45, h * 0.80, w * 0.7, h * 0.62);
    far.cubicTo(w * 0.85, h * 0.52, w * 0.95, h * 0.62, w, h * 0.60);
    far.lineTo(w, h);
    far.lineTo(0, h);
    far.closeSubpath();
    p.setBrush(QColor(0x7f, 0xb0, 0x5a));
    p.drawPath(far);

    QPainterPath near;
    near.moveTo(0, h * 0.86);
    near.cubicTo(w * 0.3, h * 0.74, w * 0.6, h * 0.92, w, h * 0.80);
    near.lineTo(w, h);
    near.lineTo(0, h);
    near.closeSubpath();
    p.setBrush(QColor(0x4e, 0x86, 0x3a));
    p.drawPath(near);

    // A small machine on the near field, and the exhaust it gives off.
    const QPointF base(w * 0.76, h * 0.84);
    p.setBrush(QColor(0xc8, 0x3c, 0x2c));
    p.drawRoundedRect(QRectF(base.x() - 26, base.y() - 22, 44, 16), 3, 3);
    p.drawRect(QRectF(base.x() - 4, base.y() - 36, 18, 16));
    p.setBrush(QColor(0x33, 0x33, 0x33));
    p.drawRect(QRectF(base.x() - 20, base.y() - 34, 4, 14));
    p.drawEllipse(QPointF(base.x() - 16, base.y() - 2), 9, 9);
    p.drawEllipse(QPointF(base.x() + 12, base.y() - 1), 6, 6);
    for (int i = 0; i < 4; ++i) {
        const int shade = 0x88 + i * 0x18;
        p.setBrush(QColor(shade, shade, shade, 200 - i * 40));
        const qreal r = 3.5 + i * 2.5;
        p.drawEllipse(QPointF(base.x() - 18 - i * 9, base.y() - 42 - i * 9), r, r);
    }

    QFont title("DejaVu Sans", 30, QFont::Bold);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    QFont subtitle("DejaVu Sans", 12);
    const QRectF titleBox(18, 14, w * 0.7, 50);
    const QRectF subtitleBox(22, 62, w * 0.7, 24);

    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(titleBox.translated(2, 2), Qt::AlignLeft | Qt::AlignVCenter, "KELVARO");
    p.setPen(Qt::white);
    p.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, "KELVARO");
    p.setFont(subtitle);
    p.drawText(subtitleBox, Qt::AlignLeft | Qt::AlignVCenter, "Model Interface");
}

} // namespace kv
