#pragma once

#include "runs/end_notice.h"

#include <QDBusConnection>

class QWidget;

namespace kv {

// Sends `text` to the freedesktop notification service on `bus`
// (org.freedesktop.Notifications.Notify) without waiting for an answer. Answers false,
// quietly, when there is no bus: a desktop without notifications is no error.
bool send_desktop_notice(const QDBusConnection& bus, const std::string& text);

// At the end of a run or batch: when the notice is due (see end_notice_due), marks `window`'s
// taskbar entry as wanting attention and sends the notice on the session bus.
void notice_end(QWidget* window, const EndNotice& notice);

} // namespace kv
