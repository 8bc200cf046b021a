#include "sets/ui/variations_form.h"

#include "shell/ui/center_form.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

VariationsForm::VariationsForm(Session& session, QWidget* owner) : QDialog(owner), logic_(session) {
    setObjectName("Variations");
    setWindowTitle("Add Variations");
    auto* form = new QFormLayout;
    QStringList names{""};
    for (const std::string& name : VariationsDialog::valueNames())
        names << qs(name);
    for (std::size_t row = 0; row < VariationsDialog::kRowCount; ++row) {
        names_[row] = new QComboBox(this);
        names_[row]->setObjectName(QString("CboName_%1").arg(row));
        names_[row]->addItems(names);
        values_[row] = new QLineEdit(this);
        values_[row]->setObjectName(QString("TxtValues_%1").arg(row));
        values_[row]->setPlaceholderText("2020,2025,2030 or 2020..2050/5");
        auto* line = new QHBoxLayout;
        line->addWidget(names_[row]);
        line->addWidget(values_[row], 1);
        auto* label = new QLabel(QString("Value &%1:").arg(row + 1), this);
        label->setBuddy(names_[row]);
        form->addRow(label, line);
        connect(names_[row], &QComboBox::currentTextChanged, this, &VariationsForm::update);
        connect(values_[row], &QLineEdit::textChanged, this, &VariationsForm::update);
    }
    regions_ = new QLineEdit(this);
    regions_->setObjectName("TxtRegions");
    regions_->setPlaceholderText("state=CA,NV,AZ: one file per state");
    connect(regions_, &QLineEdit::textChanged, this, &VariationsForm::update);
    auto* regionsLabel = new QLabel("Each &region:", this);
    regionsLabel->setBuddy(regions_);
    form->addRow(regionsLabel, regions_);
    folder_ = new QLineEdit(qs(logic_.folder()), this);
    folder_->setObjectName("TxtFolder");
    connect(folder_, &QLineEdit::textChanged, this, &VariationsForm::update);
    auto* folderLabel = new QLabel("&Folder:", this);
    folderLabel->setBuddy(folder_);
    form->addRow(folderLabel, folder_);
    count_ = new QLabel(this);
    count_->setObjectName("LblCount");
    form->addRow("Files:", count_);

    auto* buttons = new QDialogButtonBox(this);
    auto* createButton = buttons->addButton("&Create", QDialogButtonBox::AcceptRole);
    createButton->setObjectName("CmdCreate");
    createButton->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName("CmdCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &VariationsForm::create);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    update();
    resize(620, sizeHint().height());
    center_form(*this);
    names_[0]->setFocus();
}

void VariationsForm::update() {
    for (std::size_t row = 0; row < VariationsDialog::kRowCount; ++row)
        logic_.setRow(row, names_[row]->currentText().toStdString(),
                      values_[row]->text().toStdString());
    logic_.setEachRegion(regions_->text().toStdString());
    logic_.setFolder(folder_->text().toStdString());
    count_->setText(qs(logic_.countText()));
}

void VariationsForm::create() {
    update();
    if (auto files = logic_.create()) {
        written_ = std::move(*files);
        accept();
    }
}

} // namespace kv
