#pragma once

#include "shell/ui/info_windows.h"

#include <QStringList>

class QListWidget;

namespace kv {

// `frmdiag`: the packets of the current options file that the interface manages, listed in a
// fixed-pitch font.
class DiagWindow : public InfoWindow {
    Q_OBJECT
public:
    DiagWindow(const QString& optfile, const QStringList& lines, QWidget* owner);
};

} // namespace kv
