#include "sets/ui/comparison_window.h"

#include "shell/ui/center_form.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace kv {

namespace {

enum Column { Item, SideA, SideB };

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

ComparisonWindow::ComparisonWindow(const Comparison& comparison, QWidget* owner)
    : InfoWindow("Comparison", owner) {
    setWindowTitle("Compare");
    auto* layout = new QVBoxLayout(this);
    auto* names = new QLabel(this);
    names->setObjectName("LblNames");
    names->setTextFormat(Qt::PlainText);
    names->setText(text("A: " + comparison.nameA + "\nB: " + comparison.nameB +
                        (comparison.diff.same() ? "\n\nThe two are the same." : "")));
    layout->addWidget(names);

    list_ = new QTreeWidget(this);
    list_->setObjectName("LstDifferences");
    list_->setHeaderLabels({"Item", "A", "B"});
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    QTreeWidgetItem* group = nullptr;
    for (const ComparisonRow& row : comparison_rows(comparison.diff)) {
        if (group == nullptr || group->text(Item) != text(row.group)) {
            group = new QTreeWidgetItem(list_, {text(row.group)});
            group->setFirstColumnSpanned(true);
            QFont bold = group->font(Item);
            bold.setBold(true);
            group->setFont(Item, bold);
        }
        new QTreeWidgetItem(group, {text(row.item), text(row.a), text(row.b)});
    }
    list_->expandAll();
    list_->resizeColumnToContents(Item);
    // The rows are indented under their group: room for that too.
    list_->setColumnWidth(Item, std::max(list_->columnWidth(Item) + list_->indentation(), 160));
    list_->setColumnWidth(SideA, 320);
    layout->addWidget(list_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName("CmdClose");
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    layout->addWidget(buttons);
    resize(900, 420);
    center_form(*this);
    list_->setFocus();
    if (list_->topLevelItemCount() > 0)
        list_->setCurrentItem(list_->topLevelItem(0));
}

void ComparisonWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        close();
        return;
    }
    InfoWindow::keyPressEvent(event);
}

} // namespace kv
