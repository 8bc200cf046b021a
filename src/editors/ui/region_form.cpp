#include "editors/ui/region_form.h"

#include "shell/ui/form_parts.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyle>

namespace kv {

namespace {

QString text_of(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QStringList texts_of(const std::vector<std::string>& lines) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(lines.size()));
    for (const auto& line : lines)
        out << QString::fromStdString(line);
    return out;
}

// Replaces the lines of a list when they differ from what it shows.
void show_lines(QListWidget* list, const QStringList& lines) {
    bool same = list->count() == lines.size();
    for (int i = 0; same && i < lines.size(); ++i)
        same = list->item(i)->text() == lines[i];
    if (!same) {
        list->clear();
        list->addItems(lines);
    }
}

// Shows the one line selected in a single-selection list, or none.
void show_current(QListWidget* list, std::optional<int> line) {
    if (line && *line < list->count()) {
        list->setCurrentRow(*line);
    } else {
        list->clearSelection();
        list->setCurrentRow(-1);
    }
}

// A list of names as wide as a long line it shows (a longer one scrolls) and tall enough for
// `rows` lines.
QListWidget* name_list(const char* name, const QString& wide, int rows, QWidget* parent) {
    auto* list = named<QListWidget>(name, parent);
    const QFontMetrics fm = list->fontMetrics();
    list->setFixedWidth(fm.horizontalAdvance(wide) + 2 * fm.averageCharWidth() +
                        list->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    list->setMinimumHeight(fm.height() * rows);
    list->setUniformItemSizes(true);
    return list;
}

} // namespace

RegionForm::RegionForm(RegionDialog& logic, QWidget* owner) : ScenarioDialog(owner), logic_(logic) {
    setObjectName("Region");
    setWindowTitle("Region");

    QStringList captions;
    for (std::string_view caption : RegionDialog::levelCaptions())
        captions << text_of(caption);
    const OptionFrame level =
        option_frame(this, "selReg", "Region", "optreg", captions, 1, RegionDialog::Option1);
    levels_ = level.buttons;
    connect(level.group, &QButtonGroup::idClicked, this, [this](int n) {
        logic_.levelClicked(n);
        showLogic();
    });

    states_ = name_list("States", "U.S. Virgin Islands", 16, this);
    counties_ = name_list("Counties", "Southeast Fairbanks Census Area", 16, this);
    selection_ = name_list("Regselect", "Southeast Fairbanks Census Area AK", 16, this);
    selection_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* statesLabel = named<QLabel>("lblStates", "States", this);
    auto* countiesLabel = named<QLabel>("lblCounties", "Counties", this);
    statesLabel->setBuddy(states_);
    countiesLabel->setBuddy(counties_);

    // Choosing a line, by keyboard or mouse, is a click on it; so is a click on the line
    // already chosen (back to a state after a county, say), told apart by the line that was
    // current when the mouse button went down.
    const auto chosen = [this](QListWidget* list, int& rowAtPress, auto handler) {
        list->viewport()->installEventFilter(this);
        connect(list, &QListWidget::currentRowChanged, this, [this, handler](int row) {
            if (row >= 0) {
                (logic_.*handler)(row);
                showLogic();
            }
        });
        connect(list, &QListWidget::itemClicked, this,
                [this, list, &rowAtPress, handler](QListWidgetItem* item) {
                    const int row = list->row(item);
                    if (row == rowAtPress) {
                        (logic_.*handler)(row);
                        showLogic();
                    }
                });
        connect(list, &QListWidget::itemDoubleClicked, this, [this] {
            logic_.add();
            showLogic();
        });
    };
    chosen(states_, statesRowAtPress_, &RegionDialog::stateClicked);
    chosen(counties_, countiesRowAtPress_, &RegionDialog::countyClicked);
    connect(selection_, &QListWidget::itemSelectionChanged, this, [this] {
        std::vector<int> rows;
        for (const QModelIndex& index : selection_->selectionModel()->selectedRows())
            rows.push_back(index.row());
        logic_.selectLines(rows);
    });

    add_ = named<QPushButton>("Addsel", "Add", this);
    auto* del = named<QPushButton>("Delsel", "Del", this);
    connect(add_, &QPushButton::clicked, this, [this] {
        logic_.add();
        showLogic();
    });
    connect(del, &QPushButton::clicked, this, &RegionForm::deleteSelected);
    for (auto key : {Qt::Key_Delete, Qt::Key_Backspace}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, &RegionForm::deleteSelected);
    }

    // Enter in a list must not commit the region by accident.
    const OkCancelRow buttons = ok_cancel_row(this, "Command1", "Command2", false);
    QPushButton* ok = buttons.ok;
    QPushButton* cancel = buttons.cancel;
    for (QPushButton* button : {add_, del})
        button->setAutoDefault(false);
    closeAfter(ok, [this] { logic_.ok(); });
    closeAfter(cancel, [this] { logic_.cancel(); });

    // Level on the left; the two lists to choose from; Add and Del; the current selection.
    auto* lists = new QGridLayout;
    lists->addWidget(statesLabel, 0, 0);
    lists->addWidget(states_, 1, 0);
    lists->addWidget(countiesLabel, 0, 1);
    lists->addWidget(counties_, 1, 1);

    auto* addDel = new QVBoxLayout;
    addDel->addStretch(1);
    addDel->addWidget(add_);
    addDel->addWidget(del);
    addDel->addStretch(1);

    auto* current = named<QGroupBox>("Frame1", "Current selection", this);
    auto* currentLayout = new QVBoxLayout(current);
    currentLayout->addWidget(selection_);

    auto* levelColumn = new QVBoxLayout;
    levelColumn->addWidget(level.frame);
    levelColumn->addStretch(1);

    auto* body = new QHBoxLayout;
    body->addLayout(levelColumn);
    body->addLayout(lists);
    body->addLayout(addDel);
    body->addWidget(current);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addSpacing(6);
    layout->addLayout(buttons.row);

    // Tab order: the levels, the two lists, Add, Del, the selection, OK, Cancel.
    chain_tab_order({levels_[0], states_, counties_, add_, del, selection_, ok, cancel});

    logic_.load();
    showLogic();
}

void RegionForm::showLogic() {
    const auto level = static_cast<std::size_t>(logic_.curlevel());
    if (level < levels_.size())
        levels_[level]->setChecked(true);
    add_->setEnabled(logic_.addEnabled());
    {
        const QSignalBlocker block(states_);
        show_lines(states_, texts_of(logic_.stateLines()));
        show_current(states_, logic_.stateLine());
    }
    {
        const QSignalBlocker block(counties_);
        show_lines(counties_, texts_of(logic_.countyLines()));
        show_current(counties_, logic_.countyLine());
    }
    const QSignalBlocker block(selection_);
    QStringList lines;
    for (const auto& line : logic_.selectionLines())
        lines << QString::fromStdString(line.text);
    show_lines(selection_, lines);
    selection_->clearSelection();
    for (int line : logic_.selectedLines())
        selection_->item(line)->setSelected(true);
}

bool RegionForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == states_->viewport())
            statesRowAtPress_ = states_->currentRow();
        else if (watched == counties_->viewport())
            countiesRowAtPress_ = counties_->currentRow();
    }
    return ScenarioDialog::eventFilter(watched, event);
}

void RegionForm::deleteSelected() {
    logic_.del();
    showLogic();
}

void RegionForm::unload() {
    logic_.unload();
}

void RegionForm::escape() {
    logic_.escape();
    close();
}

} // namespace kv
