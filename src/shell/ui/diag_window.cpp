#include "shell/ui/diag_window.h"

#include "shell/info_texts.h"
#include "shell/ui/center_form.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

namespace kv {

DiagWindow::DiagWindow(const QString& optfile, const QStringList& lines, QWidget* owner)
    : InfoWindow("frmdiag", owner) {
    setWindowTitle("Diagnostic");
    const QRect screen = QGuiApplication::primaryScreen() != nullptr
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, 1024, 768);
    resize(int(screen.width() * 0.8), int(screen.height() * 0.8));

    auto* list = new QListWidget(this);
    list->setObjectName("LstDiag");
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int listW = int(width() * 0.9);
    const int listH = int(height() * 0.9);
    // Centred in the window, with the OK button right below it.
    list->setGeometry((width() - listW) / 2, 0, listW, listH);
    center_form(*this);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("Command1");
    ok->setDefault(true);
    ok->move(list->x(), listH + 4);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);

    setWindowTitle(QString::fromStdString(diag_caption(optfile.toStdString())));
    list->clear();
    list->addItems(lines);
}

} // namespace kv
