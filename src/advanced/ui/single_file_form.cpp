#include "advanced/ui/single_file_form.h"

#include "shell/ui/form_parts.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

namespace kv {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Where the two dialogs that are not centred open: a little inside the main window's corner.
constexpr QPoint kDesignOffset{48, 72};

} // namespace

SingleFileForm::SingleFileForm(SingleFileDialog& logic, QWidget* owner)
    : ScenarioDialog(owner), logic_(logic) {
    const SingleFileMember& member = logic_.member();
    setObjectName(qs(member.form));
    setWindowTitle(qs(member.caption));

    // Wide enough for a typical path into the data tree.
    const int pathWidth = fontMetrics().averageCharWidth() * 72;
    auto* rows = new QGridLayout;
    rows->setColumnStretch(0, 1);
    int line = 0;
    for (std::size_t i = 0; i < member.rows.size(); ++i) {
        const SingleFileRow& row = member.rows[i];
        QLabel* label = nullptr;
        if (!row.label.empty()) {
            label = named<QLabel>(qs(row.label), qs(row.labelText), this);
            label->setWordWrap(true);
        }
        auto* edit = named<QLineEdit>(qs(row.textBox), this);
        edit->setMinimumWidth(pathWidth);
        auto* change = named<QPushButton>(qs(row.changeButton), qs(row.changeCaption), this);
        change->setAutoDefault(false);
        edits_.push_back(edit);
        edit->installEventFilter(this);
        if (label != nullptr)
            label->setBuddy(edit);

        connect(edit, &QLineEdit::textChanged, this, [this, i](const QString& text) {
            logic_.setText(i, text.toStdString());
            showLogic(); // without a line break pasted in
        });
        connect(change, &QPushButton::clicked, this, [this, i] {
            logic_.change(i);
            showLogic();
        });

        if (row.hidden) {
            // Kept out of the layout, so they take no room.
            for (QWidget* w : std::initializer_list<QWidget*>{label, edit, change}) {
                if (w != nullptr)
                    w->hide();
            }
            continue;
        }
        if (label != nullptr)
            rows->addWidget(label, line++, 0, 1, 2);
        rows->addWidget(edit, line, 0);
        rows->addWidget(change, line++, 1);
        if (i + 1 < member.rows.size())
            rows->setRowMinimumHeight(line++, 6);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rows);

    if (member.byModelYear) {
        const ByModelYearBox& box = *member.byModelYear;
        layout->addSpacing(8);
        layout->addWidget(named<QLabel>(qs(box.label), qs(box.labelText), this));
        byModelYear_ = named<QCheckBox>(qs(box.checkBox), qs(box.caption), this);
        layout->addWidget(byModelYear_);
        connect(byModelYear_, &QCheckBox::toggled, this,
                [this](bool ticked) { logic_.setByModelYear(ticked); });
    }

    const OkCancelRow buttons = ok_cancel_row(this, indexed("CmdLeave", 1), indexed("CmdLeave", 0));
    connect(buttons.ok, &QPushButton::clicked, this, [this] {
        if (logic_.ok())
            close();
        else
            showLogic();
    });
    connect(buttons.cancel, &QPushButton::clicked, this, &SingleFileForm::escape);
    layout->addSpacing(8);
    layout->addLayout(buttons.row);

    // Tab order: each row's text box and button, the check box, OK, Cancel.
    std::vector<QWidget*> order;
    for (std::size_t i = 0; i < edits_.size(); ++i)
        order.insert(order.end(),
                     {edits_[i], findChild<QWidget*>(qs(member.rows[i].changeButton))});
    order.insert(order.end(), {byModelYear_, buttons.ok, buttons.cancel});
    chain_tab_order(order);

    if (!member.centred && owner != nullptr)
        placeByOwner(*owner->window());

    logic_.load();
    showLogic();
}

void SingleFileForm::placeByOwner(const QWidget& owner) {
    adjustSize();
    const QRect screen = owner.screen()->availableGeometry();
    const QPoint wanted = owner.frameGeometry().topLeft() + kDesignOffset;
    // Still wholly on the screen when the main window is near its edge.
    move(std::clamp(wanted.x(), screen.left(), std::max(screen.left(), screen.right() - width())),
         std::clamp(wanted.y(), screen.top(), std::max(screen.top(), screen.bottom() - height())));
}

void SingleFileForm::showLogic() {
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        const QString text = QString::fromStdString(logic_.text(i));
        if (edits_[i]->text() != text) {
            const QSignalBlocker block(edits_[i]);
            edits_[i]->setText(text);
        }
    }
    if (byModelYear_ != nullptr) {
        const QSignalBlocker block(byModelYear_);
        byModelYear_->setChecked(logic_.byModelYear());
    }
}

bool SingleFileForm::eventFilter(QObject* watched, QEvent* event) {
    // A path longer than its text box shows its end, the file name, once the box is left;
    // not when another window (a message box, the Open dialog) only takes the focus for a
    // while.
    if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (edit != nullptr && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason)
            edit->end(false);
    }
    return ScenarioDialog::eventFilter(watched, event);
}

bool SingleFileForm::mayClose() {
    return logic_.mayClose();
}

void SingleFileForm::unload() {
    logic_.unload();
}

void SingleFileForm::escape() {
    logic_.cancel();
    close();
}

} // namespace kv
