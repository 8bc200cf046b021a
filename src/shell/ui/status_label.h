#pragma once

#include <QLabel>
#include <QList>
#include <QString>
#include <QStringList>

namespace kv {

// The main window's status label `VerLbl`. Its text() is the status exactly as the core built
// it; what it paints is that text fitted to its width: a line that does not fit loses the
// middle of its directory, so the caption, the file name, the size and the date stay
// visible, and the whole text is then the label's tooltip. It never asks for more width than
// a short line needs, so a long path cannot push the window off the screen.
class StatusLabel : public QLabel {
    Q_OBJECT
public:
    // One status line in the parts that stay and the part that may be shortened.
    struct Line {
        QString head;
        QString directory; // shortened in its middle first
        QString rest;
    };

    explicit StatusLabel(QWidget* parent = nullptr);

    void setStatus(const QString& text, const QList<Line>& lines);
    // The lines as painted at the current width.
    const QStringList& shownLines() const { return shown_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();
    QString fitted(const Line& line, int width) const;
    int textWidth() const;

    QList<Line> lines_;
    QStringList shown_;
};

} // namespace kv
