#include "advanced/ui/geoalloc_form.h"

#include "advanced/ui/list_box_view.h"
#include "shell/ui/form_parts.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

GeoAllocForm::GeoAllocForm(GeoAllocDialog& logic, QWidget* owner)
    : ScenarioDialog(owner), logic_(logic) {
    setObjectName("geoalloc");
    setWindowTitle("Geographic Allocation");

    // Made in their tab order, which follows the form: the list's buttons, its text box and
    // the list, the lookup table and its button, OK and Cancel.
    auto* frame = new QGroupBox("Allocation Files", this);
    auto* add = named<QPushButton>(indexed("cmdAddDel", 0), "Add...", frame);
    auto* replace = named<QPushButton>("Command1", "Replace", frame);
    auto* del = named<QPushButton>(indexed("cmdAddDel", 1), "Delete", frame);
    seledit_ = path_edit("SelEdit", frame);
    lstalloc_ = file_list_widget("lstalloc", frame);
    auto* label = named<QLabel>("Label1", "Allocation Lookup table", this);
    txtalloc_ = path_edit("txtalloc", this);
    label->setBuddy(txtalloc_);
    auto* lookup = named<QPushButton>("cmdlookup", "Change Look up", this);
    auto* ok = named<QPushButton>(indexed("cmdfin", 0), "OK", this);
    auto* cancel = named<QPushButton>(indexed("cmdfin", 1), "Cancel", this);
    ok->setDefault(true);
    for (QPushButton* button : {add, replace, del, lookup, cancel})
        button->setAutoDefault(false);

    connect(add, &QPushButton::clicked, this, [this] {
        logic_.add();
        showLogic();
    });
    connect(replace, &QPushButton::clicked, this, [this] {
        logic_.replace();
        showLogic();
    });
    connect(del, &QPushButton::clicked, this, [this] {
        logic_.del();
        showLogic();
    });
    connect(lookup, &QPushButton::clicked, this, [this] {
        logic_.changeLookup();
        showLogic();
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        if (logic_.ok())
            close();
    });
    closeAfter(cancel, [this] { logic_.cancel(); });
    connect(seledit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { logic_.setSelEdit(text.toStdString()); });
    connect(txtalloc_, &QLineEdit::textChanged, this,
            [this](const QString& text) { logic_.setTxtalloc(text.toStdString()); });
    // A click, or the keyboard moving the current line, puts its file into the text box.
    follow_list(lstalloc_, logic_.selection(), [this] {
        logic_.click();
        showLogic();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(replace);
    buttons->addWidget(del);
    buttons->addStretch(1);
    auto* files = new QVBoxLayout(frame);
    files->addLayout(buttons);
    files->addWidget(seledit_);
    files->addWidget(lstalloc_, 1);

    auto* lookupRow = new QHBoxLayout;
    lookupRow->addWidget(txtalloc_, 1);
    lookupRow->addWidget(lookup);

    auto* leave = new QHBoxLayout;
    leave->addStretch(1);
    leave->addWidget(ok);
    leave->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addSpacing(4);
    layout->addWidget(label);
    layout->addLayout(lookupRow);
    layout->addSpacing(6);
    layout->addLayout(leave);

    logic_.load();
    showLogic();
}

void GeoAllocForm::showLogic() {
    show_list(lstalloc_, logic_.lines(), logic_.selection());
    show_text(seledit_, logic_.selEdit());
    show_text(txtalloc_, logic_.txtalloc());
}

void GeoAllocForm::unload() {
    logic_.unload();
}

void GeoAllocForm::escape() {
    logic_.cancel();
    close();
}

} // namespace kv
