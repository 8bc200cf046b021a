#include "advanced/ui/factor_files_form.h"

#include "shell/ui/center_form.h"
#include "shell/ui/form_parts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kv {

namespace {

QString text_of(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

FactorFilesForm::FactorFilesForm(FactorFilesDialog& logic, QWidget* owner)
    : ScenarioDialog(owner), logic_(logic) {
    const FactorFilesMember& member = logic.member();
    setObjectName(text_of(member.form));
    setWindowTitle(text_of(member.caption));

    auto* menuBar = named<QMenuBar>("menuBar", this);
    QMenu* files = menuBar->addMenu(text_of(FactorFilesDialog::kMenu));
    files->setObjectName("mnuadel");

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    // Wide enough for a typical data path; a longer one scrolls and shows whole as a tip.
    const int pathWidth = fontMetrics().horizontalAdvance(QLatin1Char('x')) * 80;
    for (std::size_t row = 0; row < kFactorRowCount; ++row) {
        const FactorRow& info = factor_rows()[row];
        const int k = static_cast<int>(row);

        QAction* item = files->addAction(text_of(info.menuCaption));
        item->setObjectName(indexed("mnuDF", k));
        connect(item, &QAction::triggered, this, [this, row] {
            logic_.choose(row);
            showLogic();
        });

        auto* label = named<QLabel>(indexed("lblDF", k), text_of(info.label), this);
        QLineEdit* edit = named<QLineEdit>(indexed("df_emfac", k), this);
        rows_[row] = edit;
        edit->setMinimumWidth(pathWidth);
        edit->setVisible(!member.hiddenRows[row]);
        connect(edit, &QLineEdit::textChanged, this, [this, row](const QString& text) {
            logic_.setText(row, text.toStdString());
            rows_[row]->setToolTip(text);
            showLogic();
        });
        // Enter in a row is OK; neither button is the default.
        connect(edit, &QLineEdit::returnPressed, this, &FactorFilesForm::ok);
        grid->addWidget(label, k, 0, Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(edit, k, 1);
        // A hidden row keeps its height, so the labels stay evenly spaced.
        grid->setRowMinimumHeight(k, edit->sizeHint().height());
    }

    const OkCancelRow buttons =
        ok_cancel_row(this, indexed("CmdLeave", 1), indexed("CmdLeave", 0), false);
    connect(buttons.ok, &QPushButton::clicked, this, &FactorFilesForm::ok);
    connect(buttons.cancel, &QPushButton::clicked, this, &FactorFilesForm::escape);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons.row);

    logic_.load();
    showLogic();
}

void FactorFilesForm::showLogic() {
    for (std::size_t row = 0; row < kFactorRowCount; ++row) {
        const QString text = QString::fromStdString(logic_.text(row));
        if (rows_[row]->text() != text) {
            const QSignalBlocker block(rows_[row]);
            rows_[row]->setText(text);
            rows_[row]->setToolTip(text);
        }
    }
}

void FactorFilesForm::ok() {
    if (logic_.testexist())
        close();
}

bool FactorFilesForm::mayClose() {
    return logic_.mayClose();
}

void FactorFilesForm::unload() {
    center_form(*this);
    logic_.unload();
}

void FactorFilesForm::escape() {
    logic_.cancel();
    close();
}

} // namespace kv
