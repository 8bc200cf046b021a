#include "shell/ui/about_window.h"

#include "shell/info_texts.h"
#include "shell/ui/center_form.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

AboutWindow::AboutWindow(const QString& dateText, QWidget* owner) : InfoWindow("about", owner) {
    setWindowTitle(QString());
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel("Kelvaro Model Interface ", this);
    name->setObjectName("Label1");
    QFont big = name->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    name->setFont(big);
    auto* version = new QLabel(QString::fromStdString(about_version_text()), this);
    version->setObjectName("VerLbl");
    dateLbl_ = new QLabel(dateText, this);
    dateLbl_->setObjectName("DateLbl");
    dateLbl_->setTextFormat(Qt::PlainText);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("Command1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    layout->addWidget(version, 0, Qt::AlignHCenter);
    layout->addWidget(dateLbl_, 0, Qt::AlignHCenter);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    adjustSize();
    center_form(*this);
}

void AboutWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        dateLbl_->setVisible(!dateLbl_->isVisible());
        return;
    }
    InfoWindow::keyPressEvent(event);
}

} // namespace kv
