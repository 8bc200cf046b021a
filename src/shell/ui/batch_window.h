#pragma once

#include "shell/ui/info_windows.h"

namespace kv {

// `Batch`: an empty window, the place of batch runs to come.
class BatchWindow : public InfoWindow {
    Q_OBJECT
public:
    explicit BatchWindow(QWidget* owner);
};

} // namespace kv
