#include "advanced/ui/list_box_view.h"

#include "shell/ui/form_parts.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

namespace kv {

namespace {

// Characters of a typical data path the boxes show without scrolling.
constexpr int kPathChars = 72;

int path_width(const QWidget& widget) {
    return widget.fontMetrics().horizontalAdvance(QLatin1Char('0')) * kPathChars;
}

} // namespace

QListWidget* file_list_widget(const QString& name, QWidget* parent) {
    auto* list = named<QListWidget>(name, parent);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setTextElideMode(Qt::ElideNone);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setUniformItemSizes(true);
    list->setMinimumWidth(path_width(*list));
    list->setMinimumHeight(list->fontMetrics().height() * 8);
    return list;
}

QLineEdit* path_edit(const QString& name, QWidget* parent) {
    auto* edit = named<QLineEdit>(name, parent);
    edit->setMinimumWidth(path_width(*edit));
    return edit;
}

void show_list(QListWidget* list, const std::vector<std::string>& lines,
               const ListSelection& selection) {
    const QSignalBlocker block(list);
    bool same = list->count() == static_cast<int>(lines.size());
    for (int i = 0; same && i < list->count(); ++i)
        same = list->item(i)->text().toStdString() == lines[static_cast<std::size_t>(i)];
    if (!same) {
        list->clear();
        for (const std::string& line : lines)
            list->addItem(QString::fromStdString(line));
    }
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(selection.isSelected(static_cast<std::size_t>(i)));
    const auto current = selection.current();
    list->selectionModel()->setCurrentIndex(
        current ? list->model()->index(static_cast<int>(*current), 0) : QModelIndex(),
        QItemSelectionModel::NoUpdate);
}

void take_selection(const QListWidget* list, ListSelection& selection) {
    if (selection.size() != static_cast<std::size_t>(list->count()))
        selection.reset(static_cast<std::size_t>(list->count()));
    for (int i = 0; i < list->count(); ++i)
        selection.setSelected(static_cast<std::size_t>(i), list->item(i)->isSelected());
    const int row = list->currentRow();
    selection.setCurrent(row < 0 ? std::nullopt
                                 : std::optional<std::size_t>(static_cast<std::size_t>(row)));
}

void follow_list(QListWidget* list, ListSelection& selection, std::function<void()> clicked) {
    QObject::connect(list, &QListWidget::itemSelectionChanged, list,
                     [list, &selection] { take_selection(list, selection); });
    const auto click = [list, &selection, clicked = std::move(clicked)] {
        take_selection(list, selection);
        clicked();
    };
    QObject::connect(list, &QListWidget::currentRowChanged, list, click);
    QObject::connect(list, &QListWidget::itemClicked, list, click);
}

void show_text(QLineEdit* edit, const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (edit->text() == shown)
        return;
    const QSignalBlocker block(edit);
    edit->setText(shown);
}

} // namespace kv
