#include "shell/ui/form_parts.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <algorithm>

namespace kv {

namespace {

// Hands the focus that Tab, Shift+Tab or the window's activation gives a button of the group
// on to the group's chosen button.
class ChosenButtonTakesFocus : public QObject {
public:
    explicit ChosenButtonTakesFocus(QButtonGroup* group) : QObject(group), group_(group) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusIn)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        QAbstractButton* chosen = group_->checkedButton();
        if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
             reason == Qt::ActiveWindowFocusReason) &&
            chosen != nullptr && chosen != watched && chosen->isEnabled() && chosen->isVisible())
            chosen->setFocus(reason);
        return false;
    }

private:
    QButtonGroup* group_;
};

} // namespace

OptionFrame option_frame(QWidget* parent, const QString& frameName, const QString& title,
                         const QString& arrayName, const QStringList& captions, int columns,
                         int firstHidden) {
    OptionFrame result;
    result.frame = named<QGroupBox>(frameName, title, parent);
    result.group = new QButtonGroup(result.frame);
    auto* grid = new QGridLayout(result.frame);
    const int count = static_cast<int>(captions.size());
    const int visible = firstHidden < 0 ? count : std::min(firstHidden, count);
    const int rows = std::max(1, (visible + columns - 1) / std::max(columns, 1));
    auto* focus = new ChosenButtonTakesFocus(result.group);
    for (int i = 0; i < count; ++i) {
        auto* button = named<QRadioButton>(indexed(arrayName, i), captions[i], result.frame);
        result.group->addButton(button, i);
        button->installEventFilter(focus);
        result.buttons.push_back(button);
        if (i >= visible)
            button->hide();
        else
            grid->addWidget(button, i % rows, i / rows);
    }
    return result;
}

OkCancelRow ok_cancel_row(QWidget* parent, const QString& okName, const QString& cancelName,
                          bool okIsDefault) {
    OkCancelRow result;
    result.ok = named<QPushButton>(okName, "OK", parent);
    result.cancel = named<QPushButton>(cancelName, "Cancel", parent);
    result.ok->setDefault(okIsDefault);
    result.ok->setAutoDefault(okIsDefault);
    result.cancel->setAutoDefault(false);
    result.row = new QHBoxLayout;
    result.row->addStretch(1);
    result.row->addWidget(result.ok);
    result.row->addWidget(result.cancel);
    return result;
}

void chain_tab_order(const std::vector<QWidget*>& widgets) {
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (widget == nullptr)
            continue;
        if (previous != nullptr)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace kv
