#pragma once

#include "advanced/list_box.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QWidget;

namespace kv {

// A list box with extended selection, wide enough for a typical data path; a longer path
// scrolls rather than losing its end.
QListWidget* file_list_widget(const QString& name, QWidget* parent);
// A text box for a path, as wide as the list boxes.
QLineEdit* path_edit(const QString& name, QWidget* parent);

// Shows the lines and the selection a dialog's logic holds, without reporting them back as
// changes. The items are rebuilt only when the texts differ.
void show_list(QListWidget* list, const std::vector<std::string>& lines,
               const ListSelection& selection);
// Copies what the user selected, and the current line, into the logic's selection.
void take_selection(const QListWidget* list, ListSelection& selection);

// Keeps the logic's selection in step with the list box, and calls `clicked` after the user
// clicked a line or moved the current line with the keyboard.
void follow_list(QListWidget* list, ListSelection& selection, std::function<void()> clicked);

// Shows a text in a text box without reporting it back as typed.
void show_text(QLineEdit* edit, const std::string& text);

} // namespace kv
