#include "editors/ui/sources_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace kv {

namespace {

QString text_of(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList captions(std::string_view (*caption)(std::int16_t), std::int16_t count) {
    QStringList result;
    for (std::int16_t i = 0; i < count; ++i)
        result << text_of(caption(i));
    return result;
}

// The virtual key code of the keys the dialog acts on, or 0.
int key_code(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_F12:
        return SourcesDialog::KeyF12;
    case Qt::Key_Backspace:
        return SourcesDialog::KeyBack;
    case Qt::Key_Delete:
        return SourcesDialog::KeyDelete;
    default:
        return 0;
    }
}

// Checks one button of an exclusive frame without reporting it as a click.
void check_quietly(const OptionFrame& frame, int index) {
    const QSignalBlocker block(frame.group);
    frame.buttons[static_cast<std::size_t>(index)]->setChecked(true);
}

} // namespace

SourcesForm::SourcesForm(SourcesDialog& logic, QWidget* owner)
    : ScenarioDialog(owner), logic_(logic) {
    using D = SourcesDialog;
    setObjectName("sorces");
    setWindowTitle("Sources");

    // Made in their tab order: the choices, the Add buttons, the lists, then the buttons.
    segment_ = option_frame(this, "Segment", "Segment", "segment",
                            captions(&D::segmentCaption, D::kSegmentCount), 2, D::kVisibleSegments);
    fuel_ = option_frame(this, "Fuel", "Fuel", "FUEL", captions(&D::fuelCaption, D::kFuelCount), 1,
                         D::kVisibleFuels);
    srcact_ =
        option_frame(this, "Active", "Active", "srcact",
                     {text_of(D::kSourceModeCaptions[0]), text_of(D::kSourceModeCaptions[1])});
    seg_ = named<QLineEdit>("seg", this);
    // The field only shows the prefix of the chosen segment; nothing reads what is typed.
    seg_->setReadOnly(true);
    seg_->setFixedWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 8);
    for (int i = 0; i < 2; ++i)
        addsel_[i] = named<QPushButton>(indexed("Addsel", i), text_of(D::kAddCaptions[i]), this);
    const char* listNames[] = {"Selected", "lstcodes", "CodeDesc"};
    for (std::size_t i = 0; i < D::kListCount; ++i) {
        lists_[i] = named<QListWidget>(listNames[i], this);
        lists_[i]->setSelectionMode(QAbstractItemView::ExtendedSelection);
        lists_[i]->setUniformItemSizes(true);
        // A long description scrolls rather than losing its end.
        lists_[i]->setTextElideMode(Qt::ElideNone);
    }
    auto* remsel = named<QPushButton>("RemSel", "Remove Selection", this);
    const OkCancelRow buttons = ok_cancel_row(this, "Command1", "Command2");

    connect(segment_.group, &QButtonGroup::idClicked, this, [this](int id) {
        logic_.segmentClick(static_cast<std::int16_t>(id));
        showLogic();
    });
    connect(fuel_.group, &QButtonGroup::idClicked, this, [this](int id) {
        logic_.fuelClick(static_cast<std::int16_t>(id));
        showLogic();
    });
    // An option button reports a click only when it becomes the chosen one.
    connect(srcact_.group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (!checked)
            return;
        logic_.srcactClick(static_cast<std::int16_t>(id));
        showLogic();
    });
    for (int i = 0; i < 2; ++i) {
        connect(addsel_[i], &QPushButton::clicked, this, [this, i] {
            logic_.add(static_cast<std::int16_t>(i));
            showLogic();
        });
    }
    for (std::size_t i = 0; i < D::kListCount; ++i) {
        connect(lists_[i], &QListWidget::itemSelectionChanged, this,
                [this, i] { listSelectionChanged(static_cast<D::List>(i)); });
    }
    connect(lists_[D::Selected], &QListWidget::currentRowChanged, this, [this](int row) {
        logic_.setCurrentLine(row < 0 ? std::nullopt
                                      : std::optional<std::size_t>(static_cast<std::size_t>(row)));
    });
    connect(remsel, &QPushButton::clicked, this, [this] {
        logic_.remove();
        showLogic();
    });
    connect(buttons.ok, &QPushButton::clicked, this, &SourcesForm::close);
    connect(buttons.cancel, &QPushButton::clicked, this, [this] {
        logic_.cancel();
        close();
    });

    // Left: the choices and the Add buttons. Right: the lists and Remove Selection.
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(seg_);
    addRow->addStretch(1);
    addRow->addWidget(addsel_[0]);
    addRow->addWidget(addsel_[1]);

    auto* choices = new QGridLayout;
    choices->addWidget(segment_.frame, 0, 0, 1, 2);
    choices->addWidget(fuel_.frame, 1, 0);
    choices->addWidget(srcact_.frame, 1, 1);
    choices->addLayout(addRow, 2, 0, 1, 2);
    choices->setRowStretch(3, 1);

    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    lists_[D::lstcodes]->setFixedWidth(charWidth * 13);
    lists_[D::Selected]->setMinimumWidth(charWidth * 56);
    auto* lists = new QGridLayout;
    lists->addWidget(lists_[D::Selected], 0, 0);
    lists->addWidget(lists_[D::lstcodes], 0, 1);
    lists->addWidget(lists_[D::CodeDesc], 1, 0, 1, 2);
    auto* removeRow = new QHBoxLayout;
    removeRow->addWidget(remsel);
    removeRow->addStretch(1);
    lists->addLayout(removeRow, 2, 0, 1, 2);
    lists->setRowStretch(0, 1);
    lists->setRowStretch(1, 1);

    auto* body = new QHBoxLayout;
    body->addLayout(choices);
    body->addSpacing(8);
    body->addLayout(lists, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addSpacing(6);
    layout->addLayout(buttons.row);

    // The form sees every key first, wherever the focus is.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    logic_.load();
    showLogic();
}

void SourcesForm::showLines() {
    const auto& lines = logic_.lines();
    for (std::size_t l = 0; l < SourcesDialog::kListCount; ++l) {
        QListWidget* list = lists_[l];
        const QSignalBlocker block(list);
        const int oldCount = list->count();
        const int scroll = list->verticalScrollBar()->value();
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(lines.size()));
        for (const auto& line : lines) {
            const std::string& text = l == SourcesDialog::Selected   ? line.description
                                      : l == SourcesDialog::lstcodes ? line.code
                                                                     : line.codeDesc;
            texts << QString::fromStdString(text);
        }
        list->clear();
        list->addItems(texts);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].chosen[l])
                list->item(static_cast<int>(i))->setSelected(true);
        }
        // Lines added are brought into view; otherwise the list stays where it was.
        if (list->count() > oldCount)
            list->scrollToBottom();
        else
            list->verticalScrollBar()->setValue(scroll);
    }
    QListWidget* selected = lists_[SourcesDialog::Selected];
    const QSignalBlocker block(selected);
    if (const auto current = logic_.currentLine())
        selected->selectionModel()->setCurrentIndex(
            selected->model()->index(static_cast<int>(*current), 0), QItemSelectionModel::NoUpdate);
    shownRevision_ = logic_.linesRevision();
}

void SourcesForm::showLogic() {
    if (shownRevision_ != logic_.linesRevision())
        showLines();
    const std::int16_t segindex = logic_.segindex();
    check_quietly(segment_, segindex >= 0 && segindex < SourcesDialog::kVisibleSegments
                                ? segindex
                                : SourcesDialog::kHiddenSegment);
    const std::int16_t fuelindex = logic_.fuelindex();
    check_quietly(fuel_, fuelindex >= 0 && fuelindex < SourcesDialog::kVisibleFuels
                             ? fuelindex
                             : SourcesDialog::kHiddenFuel);
    const bool enabled = logic_.choicesEnabled();
    check_quietly(srcact_, enabled ? 0 : 1);
    segment_.frame->setEnabled(enabled);
    fuel_.frame->setEnabled(enabled);
    for (QPushButton* add : addsel_)
        add->setEnabled(enabled);
    for (QListWidget* list : lists_)
        list->setEnabled(enabled);
    lists_[SourcesDialog::lstcodes]->setVisible(logic_.codesVisible());
    seg_->setText(QString::fromStdString(logic_.segText()));
}

void SourcesForm::listSelectionChanged(SourcesDialog::List list) {
    const QListWidget* widget = lists_[list];
    for (int i = 0; i < widget->count(); ++i)
        logic_.setChosen(list, static_cast<std::size_t>(i), widget->item(i)->isSelected());
}

bool SourcesForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        if (const int code = key_code(*static_cast<QKeyEvent*>(event)); code != 0) {
            logic_.keyDown(code);
            showLogic();
            return true;
        }
    }
    return ScenarioDialog::eventFilter(watched, event);
}

void SourcesForm::escape() {
    if (logic_.keyDown(SourcesDialog::KeyEscape))
        close();
}

} // namespace kv
