#include "shell/ui/current_window.h"

#include "shell/info_texts.h"
#include "shell/ui/center_form.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

CurrentWindow::CurrentWindow(const Session& session, QWidget* owner)
    : InfoWindow("Current", owner) {
    setWindowTitle("File Status");
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    auto* done = bar->addMenu("Done");
    done->setObjectName("mnud");
    auto* doneItem = done->addAction("Done");
    doneItem->setObjectName("mnudone");
    connect(doneItem, &QAction::triggered, this, &QWidget::close);
    layout->setMenuBar(bar);

    for (const auto& label : current_window_labels(session)) {
        auto* l = new QLabel(QString::fromStdString(label.text), this);
        l->setObjectName(QString::fromStdString(label.name));
        l->setTextFormat(Qt::PlainText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(l);
    }
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("Command1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    adjustSize();
    resize(qMax(width(), 480), height());
    center_form(*this);
}

} // namespace kv
