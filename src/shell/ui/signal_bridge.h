#pragma once

#include <QObject>

class QSocketNotifier;

namespace kv {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal delivered on the event loop, so the program
// ends through `Fini` as from the Exit item. One bridge per process.
class SignalBridge : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;
    SignalBridge(const SignalBridge&) = delete;
    SignalBridge& operator=(const SignalBridge&) = delete;

signals:
    void terminationRequested();

private:
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kv
