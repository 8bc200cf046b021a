#pragma once

#include "sets/variations_dialog.h"

#include <QDialog>
#include <array>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;

namespace kv {

// `Variations`: the Batch window's Add Variations dialog. Rows of (value name from a list,
// values), a row of regions, the folder, and a count of the files Create will write, kept up
// to date as the rows are typed. Create writes them; Cancel or Escape closes.
class VariationsForm : public QDialog {
    Q_OBJECT
public:
    VariationsForm(Session& session, QWidget* owner);

    // The files Create wrote; empty until then.
    const std::vector<std::string>& written() const { return written_; }

private:
    void update();
    void create();

    VariationsDialog logic_;
    std::array<QComboBox*, VariationsDialog::kRowCount> names_{};
    std::array<QLineEdit*, VariationsDialog::kRowCount> values_{};
    QLineEdit* regions_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QLabel* count_ = nullptr;
    std::vector<std::string> written_;
};

} // namespace kv
