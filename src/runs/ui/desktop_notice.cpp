#include "runs/ui/desktop_notice.h"

#include <QApplication>
#include <QDBusMessage>
#include <QVariantMap>
#include <QWidget>

namespace kv {

namespace {
constexpr auto kService = "org.freedesktop.Notifications";
}

bool send_desktop_notice(const QDBusConnection& bus, const std::string& text) {
    // A service that is not running yet is started by the bus when it can be; one that
    // cannot answers with an error nobody waits for.
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, "/org/freedesktop/Notifications",
                                                       kService, "Notify");
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the
    // server's default).
    call << QString("Kelvaro Model Interface") << 0u << QString("io.github.kelvaro.ModelInterface")
         << QString::fromStdString(text) << QString() << QStringList() << QVariantMap() << -1;
    // Nothing waits for the answer: the program goes on whatever the server does with it.
    return bus.send(call);
}

void notice_end(QWidget* window, const EndNotice& notice) {
    if (!end_notice_due(notice, QApplication::activeWindow() != nullptr))
        return;
    if (window != nullptr)
        QApplication::alert(window->window());
    send_desktop_notice(QDBusConnection::sessionBus(), notice.text);
}

} // namespace kv
