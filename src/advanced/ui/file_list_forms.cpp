#include "advanced/ui/file_list_forms.h"

#include "advanced/ui/list_box_view.h"
#include "shell/ui/form_parts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

namespace {

// Builds the shared controls in their tab order and lays them out: the list, the text box
// (below its label when there is one), the row of buttons.
FileListControls build_controls(ScenarioDialog* form, const char* listName, const char* editName,
                                const char* labelName, const char* labelText) {
    FileListControls c;
    c.list = file_list_widget(listName, form);
    if (labelName != nullptr)
        c.label = named<QLabel>(labelName, labelText, form);
    c.edit = path_edit(editName, form);
    if (c.label != nullptr)
        c.label->setBuddy(c.edit);
    c.del = named<QPushButton>("CmdDel", "Delete", form);
    c.ok = named<QPushButton>(indexed("CmdLeave", 1), "OK", form);
    c.replace = named<QPushButton>("Replace", "Replace", form);
    c.cancel = named<QPushButton>(indexed("CmdLeave", 0), "Cancel", form);
    c.add = named<QPushButton>("CmdAdd", "Add...", form);
    c.ok->setDefault(true);
    for (QPushButton* button : {c.del, c.replace, c.cancel, c.add})
        button->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {c.del, c.ok, c.replace, c.cancel, c.add})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(form);
    layout->addWidget(c.list, 1);
    if (c.label != nullptr) {
        // Hiding the label and text box must not make the window jump.
        for (QWidget* w : {static_cast<QWidget*>(c.label), static_cast<QWidget*>(c.edit)}) {
            QSizePolicy policy = w->sizePolicy();
            policy.setRetainSizeWhenHidden(true);
            w->setSizePolicy(policy);
        }
        layout->addWidget(c.label);
    }
    layout->addWidget(c.edit);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    return c;
}

} // namespace

GrowthForm::GrowthForm(GrowthDialog& logic, QWidget* owner) : ScenarioDialog(owner), logic_(logic) {
    setObjectName("frmgrow");
    setWindowTitle("Growth");
    c_ = build_controls(this, "lstGrow", "txtgrow", "current_label", "Current Selection");

    connect(c_.edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { logic_.setTxtgrow(text.toStdString()); });
    connect(c_.list, &QListWidget::itemSelectionChanged, this, [this] { clicked(false); });
    connect(c_.list, &QListWidget::itemClicked, this, [this] { clicked(true); });
    connect(c_.list, &QListWidget::itemDoubleClicked, this, [this] { clicked(true); });
    connect(c_.add, &QPushButton::clicked, this, [this] {
        logic_.add();
        showLogic();
    });
    connect(c_.del, &QPushButton::clicked, this, [this] {
        logic_.del();
        showLogic();
    });
    connect(c_.replace, &QPushButton::clicked, this, [this] {
        logic_.replace();
        showLogic();
    });
    connect(c_.ok, &QPushButton::clicked, this, [this] {
        logic_.ok();
        close();
    });
    connect(c_.cancel, &QPushButton::clicked, this, [this] {
        logic_.cancel();
        close();
    });

    logic_.load();
    showLogic();
}

void GrowthForm::clicked(bool byMouse) {
    take_selection(c_.list, logic_.selection());
    const bool filled = logic_.click();
    showLogic();
    // A mouse click hands the focus to the text box; the keyboard keeps it in the list, so
    // the arrow keys still move through the lines.
    if (filled && byMouse)
        c_.edit->setFocus(Qt::MouseFocusReason);
}

void GrowthForm::showLogic() {
    show_list(c_.list, logic_.lines(), logic_.selection());
    show_text(c_.edit, logic_.txtgrow());
    c_.edit->setVisible(logic_.txtgrowVisible());
    c_.label->setVisible(logic_.txtgrowVisible());
}

void GrowthForm::unload() {
    logic_.unload();
}

void GrowthForm::escape() {
    logic_.cancel();
    close();
}

EquipForm::EquipForm(PopulationDialog& logic, QWidget* owner)
    : ScenarioDialog(owner), logic_(logic) {
    setObjectName("frmEquip");
    setWindowTitle("Equipment Population");
    c_ = build_controls(this, "lstEquip", "SelEdit", nullptr, nullptr);

    connect(c_.edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { logic_.setSelEdit(text.toStdString()); });
    connect(c_.list, &QListWidget::itemSelectionChanged, this,
            [this] { take_selection(c_.list, logic_.selection()); });
    const auto clicked = [this] {
        take_selection(c_.list, logic_.selection());
        logic_.click();
        showLogic();
    };
    connect(c_.list, &QListWidget::currentRowChanged, this, clicked);
    connect(c_.list, &QListWidget::itemClicked, this, clicked);
    connect(c_.add, &QPushButton::clicked, this, [this] {
        logic_.add();
        showLogic();
    });
    connect(c_.del, &QPushButton::clicked, this, [this] {
        logic_.del();
        showLogic();
    });
    connect(c_.replace, &QPushButton::clicked, this, [this] {
        logic_.replace();
        showLogic();
    });
    connect(c_.ok, &QPushButton::clicked, this, [this] {
        logic_.ok();
        close();
    });
    connect(c_.cancel, &QPushButton::clicked, this, [this] {
        logic_.cancel();
        close();
    });

    logic_.load();
    showLogic();
}

void EquipForm::showLogic() {
    show_list(c_.list, logic_.lines(), logic_.selection());
    show_text(c_.edit, logic_.selEdit());
}

void EquipForm::unload() {
    logic_.unload();
}

void EquipForm::escape() {
    logic_.cancel();
    close();
}

} // namespace kv
