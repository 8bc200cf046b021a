#include "shell/ui/status_label.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace kv {

namespace {

// The width the label asks for at least: a caption and a short file name.
constexpr int kMinimumCharacters = 48;

QString joined(const StatusLabel::Line& line) {
    return line.head + line.directory + line.rest;
}

} // namespace

StatusLabel::StatusLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    // The painted text may be shortened; copying always takes the whole status.
    auto* copy = new QAction(tr("&Copy"), this);
    connect(copy, &QAction::triggered, this,
            [this] { QApplication::clipboard()->setText(text()); });
    addAction(copy);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void StatusLabel::setStatus(const QString& text, const QList<Line>& lines) {
    setText(text);
    lines_ = lines;
    fit();
    updateGeometry();
}

int StatusLabel::textWidth() const {
    const QMargins m = contentsMargins();
    return width() - m.left() - m.right() - 2 * margin();
}

QString StatusLabel::fitted(const Line& line, int width) const {
    const QFontMetrics fm = fontMetrics();
    const QString whole = joined(line);
    if (fm.horizontalAdvance(whole) <= width)
        return whole;
    const int room = width - fm.horizontalAdvance(line.head + line.rest);
    if (!line.directory.isEmpty() && room > fm.horizontalAdvance(QStringLiteral("\u2026/")))
        return line.head + fm.elidedText(line.directory, Qt::ElideMiddle, room) + line.rest;
    // Too narrow even for the file name, or nothing to shorten (the title): cut the end.
    return fm.elidedText(whole, line.directory.isEmpty() ? Qt::ElideRight : Qt::ElideMiddle, width);
}

void StatusLabel::fit() {
    shown_.clear();
    const int width = textWidth();
    bool shortened = false;
    for (const Line& line : lines_) {
        shown_ << fitted(line, width);
        shortened = shortened || shown_.back() != joined(line);
    }
    setToolTip(shortened ? text() : QString());
    update();
}

QSize StatusLabel::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    int widest = 0;
    for (const Line& line : lines_)
        widest = std::max(widest, fm.horizontalAdvance(joined(line)));
    const QMargins m = contentsMargins();
    return {widest + m.left() + m.right() + 2 * margin(), minimumSizeHint().height()};
}

QSize StatusLabel::minimumSizeHint() const {
    const QFontMetrics fm = fontMetrics();
    const QMargins m = contentsMargins();
    return {fm.horizontalAdvance(QString(kMinimumCharacters, QLatin1Char('x'))) + m.left() +
                m.right() + 2 * margin(),
            fm.lineSpacing() * 3 + m.top() + m.bottom() + 2 * margin()};
}

void StatusLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void StatusLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                          shown_.join(QLatin1Char('\n')), foregroundRole());
}

} // namespace kv
