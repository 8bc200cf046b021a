#include "shell/ui/qt_launcher.h"

#include "runs/console_log.h"
#include "runs/process_group.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace kv {

LaunchResult QtLauncher::startDetached(const LaunchRequest& request) {
    LaunchResult result;
    QProcess process;
    QStringList args;
    for (const auto& a : request.arguments)
        args << QString::fromStdString(a);
    process.setProgram(QString::fromStdString(request.program));
    process.setArguments(args);
    if (!request.workingDirectory.empty())
        process.setWorkingDirectory(QString::fromStdString(request.workingDirectory));
    process.setStandardInputFile(QProcess::nullDevice());
    result.started = process.startDetached();
    if (!result.started)
        result.errorText = process.errorString().toStdString();
    return result;
}

LaunchResult QtLauncher::runAndWait(const LaunchRequest& request) {
    // Nobody reads the program's own standard output here: the model writes straight into
    // its console log, which the windows read.
    UniqueFd log;
    if (!request.consoleFile.empty())
        log = open_console_log(request.consoleFile);
    GroupProcess process(request, log.get(), log.get());
    log = UniqueFd();
    if (!process.started())
        return process.result();

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    std::unique_ptr<QSocketNotifier> ended;
    // Does what is due and sets the timer for what comes next.
    const auto look = [&] {
        if (process.advance()) {
            loop.quit();
            return;
        }
        if (ended && process.readyFd() < 0)
            ended->setEnabled(false);
        const int timeout = process.pollTimeoutMs();
        if (timeout >= 0)
            timer.start(timeout);
    };
    if (process.readyFd() >= 0) {
        ended = std::make_unique<QSocketNotifier>(process.readyFd(), QSocketNotifier::Read);
        QObject::connect(ended.get(), &QSocketNotifier::activated, &loop, look);
    }
    QObject::connect(&timer, &QTimer::timeout, &loop, look);
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop,
                     &QEventLoop::quit);

    waiting_.push_back({&process, look});
    look();
    if (!process.advance())
        loop.exec();
    std::erase_if(waiting_, [&](const Waiting& w) { return w.process == &process; });
    ended.reset();
    if (!process.advance()) {
        // The application is ending: the program it started ends with it.
        process.stop();
        return process.wait();
    }
    return process.result();
}

void QtLauncher::stop() {
    for (const Waiting& w : waiting_) {
        w.process->stop();
        w.wake();
    }
}

} // namespace kv
