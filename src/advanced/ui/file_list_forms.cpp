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

FileListForm::FileListForm(FileListDialog& logic, QWidget* owner, const char* listName,
                           const char* editName, const char* labelName, const char* labelText)
    : ScenarioDialog(owner), logic_(logic) {
    // Made in their tab order.
    list_ = file_list_widget(listName, this);
    if (labelName != nullptr)
        label_ = named<QLabel>(labelName, labelText, this);
    edit_ = path_edit(editName, this);
    if (label_ != nullptr)
        label_->setBuddy(edit_);
    auto* del = named<QPushButton>("CmdDel", "Delete", this);
    auto* ok = named<QPushButton>(indexed("CmdLeave", 1), "OK", this);
    auto* replace = named<QPushButton>("Replace", "Replace", this);
    auto* cancel = named<QPushButton>(indexed("CmdLeave", 0), "Cancel", this);
    auto* add = named<QPushButton>("CmdAdd", "Add...", this);
    ok->setDefault(true);
    for (QPushButton* button : {del, replace, cancel, add})
        button->setAutoDefault(false);

    const auto action = [this](void (FileListDialog::*handler)()) {
        return [this, handler] {
            (logic_.*handler)();
            showLogic();
        };
    };
    connect(add, &QPushButton::clicked, this, action(&FileListDialog::add));
    connect(del, &QPushButton::clicked, this, action(&FileListDialog::del));
    connect(replace, &QPushButton::clicked, this, action(&FileListDialog::replace));
    connect(ok, &QPushButton::clicked, this, [this] {
        logic_.ok();
        close();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        logic_.cancel();
        close();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {del, ok, replace, cancel, add})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    if (label_ != nullptr) {
        // Hiding the label and text box must not make the window jump.
        for (QWidget* w : {static_cast<QWidget*>(label_), static_cast<QWidget*>(edit_)}) {
            QSizePolicy policy = w->sizePolicy();
            policy.setRetainSizeWhenHidden(true);
            w->setSizePolicy(policy);
        }
        layout->addWidget(label_);
    }
    layout->addWidget(edit_);
    layout->addSpacing(6);
    layout->addLayout(buttons);
}

void FileListForm::unload() {
    logic_.unload();
}

void FileListForm::escape() {
    logic_.cancel();
    close();
}

GrowthForm::GrowthForm(GrowthDialog& logic, QWidget* owner)
    : FileListForm(logic, owner, "lstGrow", "txtgrow", "current_label", "Current Selection"),
      logic_(logic) {
    setObjectName("frmgrow");
    setWindowTitle("Growth");
    connect(edit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { logic_.setTxtgrow(text.toStdString()); });
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] { clicked(false); });
    connect(list_, &QListWidget::itemClicked, this, [this] { clicked(true); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { clicked(true); });
    logic_.load();
    showLogic();
}

void GrowthForm::clicked(bool byMouse) {
    take_selection(list_, logic_.selection());
    const bool filled = logic_.click();
    showLogic();
    // A mouse click hands the focus to the text box; the keyboard keeps it in the list, so
    // the arrow keys still move through the lines.
    if (filled && byMouse)
        edit_->setFocus(Qt::MouseFocusReason);
}

void GrowthForm::showLogic() {
    show_list(list_, logic_.lines(), logic_.selection());
    show_text(edit_, logic_.txtgrow());
    edit_->setVisible(logic_.txtgrowVisible());
    label_->setVisible(logic_.txtgrowVisible());
}

EquipForm::EquipForm(PopulationDialog& logic, QWidget* owner)
    : FileListForm(logic, owner, "lstEquip", "SelEdit"), logic_(logic) {
    setObjectName("frmEquip");
    setWindowTitle("Equipment Population");
    connect(edit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { logic_.setSelEdit(text.toStdString()); });
    follow_list(list_, logic_.selection(), [this] {
        logic_.click();
        showLogic();
    });
    logic_.load();
    showLogic();
}

void EquipForm::showLogic() {
    show_list(list_, logic_.lines(), logic_.selection());
    show_text(edit_, logic_.selEdit());
}

} // namespace kv
