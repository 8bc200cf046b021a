#pragma once

#include "shell/ui/info_windows.h"

namespace kv {

class Session;

// `Current` ("File Status"): the settings and the current files, filled once when it opens.
class CurrentWindow : public InfoWindow {
    Q_OBJECT
public:
    CurrentWindow(const Session& session, QWidget* owner);
};

} // namespace kv
