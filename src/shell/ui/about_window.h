#pragma once

#include "shell/ui/info_windows.h"

#include <QString>

class QLabel;

namespace kv {

class Session;

// `about`: the program's name, version, and its file and date (or the arguments it was
// started with). F1 shows and hides the file line.
class AboutWindow : public InfoWindow {
    Q_OBJECT
public:
    // `dateText` is the second line, computed by the caller.
    AboutWindow(const QString& dateText, QWidget* owner);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* dateLbl_ = nullptr;
};

} // namespace kv
