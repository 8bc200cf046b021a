#include "editors/ui/period_form.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace kv {

namespace {

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The frame of each button array and how many columns its buttons fill.
struct FrameLayout {
    const char* frameName;
    int columns;
};
constexpr std::array<FrameLayout, PeriodDialog::kArrayCount> kFrames{{
    {"fraPeriod", 1},
    {"fraType", 1},
    {"fraSeason", 1},
    {"fraMonth", 3},
    {"fraDay", 1},
}};

} // namespace

PeriodForm::PeriodForm(PeriodDialog& logic, QWidget* owner) : ScenarioDialog(owner), logic_(logic) {
    setObjectName("Periodfrm");
    setWindowTitle("Period");

    for (const auto& info : PeriodDialog::arrays()) {
        QStringList captions;
        for (std::string_view caption : info.captions)
            captions << qt(caption);
        frames_[info.array] = option_frame(this, kFrames[info.array].frameName, qt(info.title),
                                           qt(info.name), captions, kFrames[info.array].columns);
        // A frame taller than its buttons keeps them together at its top.
        frames_[info.array].frame->layout()->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        connect(frames_[info.array].group, &QButtonGroup::idClicked, this,
                [this, array = info.array](int index) {
                    logic_.click(array, index);
                    showLogic();
                });
    }

    auto* yearFrame = named<QGroupBox>("fraYear", "Year", this);
    auto* yearForm = new QFormLayout(yearFrame);
    yearForm->setFormAlignment(Qt::AlignTop | Qt::AlignLeft);
    const int yearWidth = fontMetrics().horizontalAdvance(QLatin1Char('0')) * 8;
    for (const auto& info : PeriodDialog::years()) {
        auto* edit = named<QLineEdit>(qt(info.name), yearFrame);
        edit->setFixedWidth(yearWidth);
        auto* label = named<QLabel>(qt(info.labelName), qt(info.caption), yearFrame);
        label->setBuddy(edit);
        yearForm->addRow(label, edit);
        years_[info.field] = edit;
        connect(edit, &QLineEdit::textChanged, this, [this, field = info.field](const QString& t) {
            logic_.setYear(field, t.toStdString());
            showLogic(); // without a line break pasted in
        });
    }

    const OkCancelRow buttons = ok_cancel_row(this, "cmdOK", "cmdCancel");
    connect(buttons.ok, &QPushButton::clicked, this, [this] {
        if (logic_.ok())
            close();
        else
            showLogic();
    });
    connect(buttons.cancel, &QPushButton::clicked, this, &PeriodForm::escape);

    // Period, type and day across the top; season, month and the years below them.
    auto* grid = new QGridLayout;
    grid->addWidget(frames_[PeriodDialog::thePeriod].frame, 0, 0);
    grid->addWidget(frames_[PeriodDialog::ptype].frame, 0, 1);
    grid->addWidget(frames_[PeriodDialog::aweek].frame, 0, 2);
    grid->addWidget(frames_[PeriodDialog::aseason].frame, 1, 0);
    grid->addWidget(frames_[PeriodDialog::amonth].frame, 1, 1);
    grid->addWidget(yearFrame, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons.row);

    // Tab reads the form row by row: period, type and day, then season, month and the years.
    std::vector<QWidget*> order;
    for (const auto array : {PeriodDialog::thePeriod, PeriodDialog::ptype, PeriodDialog::aweek,
                             PeriodDialog::aseason, PeriodDialog::amonth})
        order.insert(order.end(), frames_[array].buttons.begin(), frames_[array].buttons.end());
    order.insert(order.end(), years_.begin(), years_.end());
    order.insert(order.end(), {buttons.ok, buttons.cancel});
    chain_tab_order(order);

    logic_.load();
    showLogic();
}

void PeriodForm::showLogic() {
    for (const auto& info : PeriodDialog::arrays()) {
        const OptionFrame& frame = frames_[info.array];
        const bool enabled = logic_.enabled(info.array);
        for (QRadioButton* button : frame.buttons)
            button->setEnabled(enabled);
        if (const auto index = logic_.selected(info.array)) {
            frame.buttons[static_cast<std::size_t>(*index)]->setChecked(true);
        } else if (QAbstractButton* shown = frame.group->checkedButton()) {
            // An index without a button shows none selected.
            frame.group->setExclusive(false);
            shown->setChecked(false);
            frame.group->setExclusive(true);
        }
    }
    for (const auto& info : PeriodDialog::years()) {
        QLineEdit* edit = years_[info.field];
        const QString text = QString::fromStdString(logic_.year(info.field));
        if (edit->text() != text) {
            const QSignalBlocker block(edit);
            edit->setText(text);
        }
    }
}

bool PeriodForm::mayClose() {
    return logic_.mayClose();
}

void PeriodForm::unload() {
    logic_.unload();
}

void PeriodForm::escape() {
    logic_.cancel();
    close();
}

} // namespace kv
