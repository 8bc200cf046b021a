// The word sent to the desktop at the end of a long run, checked on a session bus of the
// test's own (dbus-daemon) with a stand-in notification service that records each call.
#include "runs/ui/desktop_notice.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

using namespace kv;

namespace {

// Plays the desktop's notification server: keeps the summary of every Notify call.
class RecordingNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;
    QString application;

public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString&,
                const QStringList&, const QVariantMap&, int) {
        application = app;
        summaries << summary;
        return static_cast<uint>(summaries.size());
    }
};

} // namespace

class DesktopNoticeTest : public QObject {
    Q_OBJECT
    QProcess daemon_;
    QString address_;
    RecordingNotifications server_;

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            QSKIP("dbus-daemon is not installed (package dbus): no bus to send a notice on");
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        QVERIFY(daemon_.waitForStarted());
        QTRY_VERIFY(daemon_.canReadLine());
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        QDBusConnection server = QDBusConnection::connectToBus(address_, "notifications");
        QVERIFY(server.isConnected());
        QVERIFY(server.registerService("org.freedesktop.Notifications"));
        QVERIFY(server.registerObject("/org/freedesktop/Notifications", &server_,
                                      QDBusConnection::ExportAllSlots));
        // The program's own connection is the session bus: this one, from here on.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
    }

    void cleanupTestCase() {
        QDBusConnection::disconnectFromBus("notifications");
        daemon_.kill();
        daemon_.waitForFinished();
    }

    // A long run ended while no window of the program is active: one notice, the program's
    // name as the sender; a short run, or any run with a window active, sends nothing.
    void aLongRunEndingUnseenSendsOneNotice() {
        QWidget window; // never shown: nothing of the program is active
        notice_end(&window, {31, "Run finished: demo.opt, ok, 12:41"});
        notice_end(&window, {29, "Run finished: quick.opt, ok, 12:42"});
        QTRY_COMPARE(server_.summaries, QStringList{"Run finished: demo.opt, ok, 12:41"});
        QCOMPARE(server_.application, QString("Kelvaro Model Interface"));

        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        notice_end(&window, {95, "Batch finished: 40 ok, 2 failed"});
        QTest::qWait(200);
        QCOMPARE(server_.summaries.size(), 1);
    }

    // Without a bus the notice goes nowhere and nothing complains.
    void withoutABusNothingHappens() {
        const QDBusConnection none =
            QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none");
        QVERIFY(!send_desktop_notice(none, "Run finished: demo.opt, ok, 12:41"));
        QDBusConnection::disconnectFromBus("none");
    }
};

QTEST_MAIN(DesktopNoticeTest)
#include "desktop_notice_test.moc"
