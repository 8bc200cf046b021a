#include "editors/ui/options_form.h"

#include "shell/ui/form_parts.h"

#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace kv {

namespace {

using F = OptionsDialog::Field;

// A focus change inside the dialog; not the dialog losing the active window to a message box.
bool moves_within_dialog(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

} // namespace

OptionsForm::OptionsForm(OptionsDialog& logic, QWidget* owner)
    : ScenarioDialog(owner), logic_(logic) {
    setObjectName("Options");
    setWindowTitle("Options");

    // The fields are made in their tab order, the altitude buttons, OK and Cancel after them.
    for (const auto& info : OptionsDialog::fields()) {
        QLineEdit* edit =
            named<QLineEdit>(QString::fromUtf8(info.name.data(), info.name.size()), this);
        edits_[info.field] = edit;
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this, field = info.field](const QString& t) {
            logic_.setText(field, t.toStdString());
            showLogic();
        });
    }
    const auto labelled = [this](F field) {
        const auto& label = OptionsDialog::fields()[field].label;
        auto* l = new QLabel(QString::fromUtf8(label.data(), label.size()).trimmed(), this);
        l->setBuddy(edits_[field]);
        return l;
    };

    auto* titles = new QFormLayout;
    titles->addRow(labelled(F::Titleone), edits_[F::Titleone]);
    titles->addRow(labelled(F::Titletwo), edits_[F::Titletwo]);

    // Numbers in two columns: the fuel on the left, temperatures and Stage II on the right.
    auto* numbers = new QGridLayout;
    const int numberWidth = fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10;
    const F left[] = {F::fulrvp,    F::pcoxygen,        F::so2gas,
                      F::so2diesel, F::so2marinediesel, F::cngsulfur};
    const F right[] = {F::Mintemp, F::Maxtemp, F::Avgtemp, F::Stage2};
    int row = 0;
    for (F field : left) {
        numbers->addWidget(labelled(field), row, 0);
        numbers->addWidget(edits_[field], row++, 1);
        edits_[field]->setFixedWidth(numberWidth);
    }
    row = 0;
    for (F field : right) {
        numbers->addWidget(labelled(field), row, 3);
        numbers->addWidget(edits_[field], row++, 4);
        edits_[field]->setFixedWidth(numberWidth);
    }
    numbers->setColumnMinimumWidth(2, 24);

    const OptionFrame altitude =
        option_frame(this, "Frame1", "Altitude", "altitude", {"High", "Low"}, 2);
    altitude_ = {altitude.buttons[0], altitude.buttons[1]};
    connect(altitude.group, &QButtonGroup::idClicked, this, [this](int id) {
        logic_.setAltitude(id == 1 ? OptionsDialog::Low : OptionsDialog::High);
    });
    numbers->addWidget(altitude.frame, row, 3, 2, 2);

    const OkCancelRow buttons = ok_cancel_row(this, "Command1", "Command2");
    connect(buttons.ok, &QPushButton::clicked, this, [this] {
        if (logic_.recheck())
            close();
        else
            showLogic();
    });
    connect(buttons.cancel, &QPushButton::clicked, this, &OptionsForm::escape);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(titles);
    layout->addSpacing(6);
    layout->addLayout(numbers);
    layout->addSpacing(6);
    layout->addLayout(buttons.row);
    edits_[F::Titleone]->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 36);

    // The window's own texts, which loading then replaces.
    for (QLineEdit* edit : edits_)
        edit->blockSignals(true);
    edits_[F::Titletwo]->setText("And this one in ....");
    edits_[F::Stage2]->setText("0");
    for (QLineEdit* edit : edits_)
        edit->blockSignals(false);
    logic_.load();
    showLogic();
}

void OptionsForm::showLogic() {
    for (const auto& info : OptionsDialog::fields()) {
        QLineEdit* edit = edits_[info.field];
        const QString text = QString::fromStdString(logic_.text(info.field));
        if (edit->text() != text) {
            const QSignalBlocker block(edit);
            edit->setText(text);
        }
    }
    altitude_[logic_.altitude() == OptionsDialog::Low ? 1 : 0]->setChecked(true);
}

bool OptionsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        const auto* focus = static_cast<QFocusEvent*>(event);
        for (const auto& info : OptionsDialog::fields()) {
            if (edits_[info.field] != watched)
                continue;
            if (event->type() == QEvent::FocusIn) {
                logic_.gotFocus(info.field);
            } else if (moves_within_dialog(focus->reason())) {
                logic_.lostFocus(info.field);
                showLogic();
            }
        }
    }
    return ScenarioDialog::eventFilter(watched, event);
}

bool OptionsForm::mayClose() {
    return logic_.mayClose();
}

void OptionsForm::unload() {
    logic_.unload();
}

void OptionsForm::escape() {
    logic_.cancel();
    close();
}

} // namespace kv
