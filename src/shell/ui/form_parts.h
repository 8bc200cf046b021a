#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QVBoxLayout>
#include <utility>
#include <vector>

// Small pieces the dialog forms are built from. Every control carries its object name: the
// name of the control, or for a member of a control array the array's name and "_<index>".
namespace kv {

template <class Widget, class... Args> Widget* named(const QString& name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(name);
    return widget;
}

inline QString indexed(const QString& arrayName, int index) {
    return arrayName + "_" + QString::number(index);
}

// A frame of option buttons forming one control array; a button's id in `group` is its index.
struct OptionFrame {
    QGroupBox* frame = nullptr;
    QButtonGroup* group = nullptr;
    std::vector<QRadioButton*> buttons;
};

// Builds the frame with one button per caption, laid out top to bottom (or in `columns`
// columns filled top to bottom). The buttons from `firstHidden` on exist but are never shown.
// The frame is one stop of the tab order, and Tab lands on its chosen button: a button not
// chosen would be chosen by the next blank typed.
OptionFrame option_frame(QWidget* parent, const QString& frameName, const QString& title,
                         const QString& arrayName, const QStringList& captions, int columns = 1,
                         int firstHidden = -1);

// A dialog's OK and Cancel buttons at the bottom right, in that order. OK is the default
// button (Enter presses it) unless `okIsDefault` is false.
struct OkCancelRow {
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QHBoxLayout* row = nullptr;
};
OkCancelRow ok_cancel_row(QWidget* parent, const QString& okName, const QString& cancelName,
                          bool okIsDefault = true);

// Makes Tab go through the widgets in the order given; null entries are skipped.
void chain_tab_order(const std::vector<QWidget*>& widgets);

} // namespace kv
