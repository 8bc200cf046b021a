#include "shell/ui/qt_launcher.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>

namespace kv {

namespace {

void prepare(QProcess& process, const LaunchRequest& request) {
    QStringList args;
    for (const auto& a : request.arguments)
        args << QString::fromStdString(a);
    process.setProgram(QString::fromStdString(request.program));
    process.setArguments(args);
    if (!request.workingDirectory.empty())
        process.setWorkingDirectory(QString::fromStdString(request.workingDirectory));
}

} // namespace

LaunchResult QtLauncher::startDetached(const LaunchRequest& request) {
    LaunchResult result;
    QProcess process;
    prepare(process, request);
    process.setStandardInputFile(QProcess::nullDevice());
    result.started = process.startDetached();
    if (!result.started)
        result.errorText = process.errorString().toStdString();
    return result;
}

LaunchResult QtLauncher::runAndWait(const LaunchRequest& request) {
    LaunchResult result;
    QProcess process;
    prepare(process, request);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());

    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            loop.quit();
    });
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop,
                     &QEventLoop::quit);

    process.start();
    if (!process.waitForStarted(-1)) {
        result.errorText = process.errorString().toStdString();
        return result;
    }
    result.started = true;
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    if (process.state() != QProcess::NotRunning) {
        // The application is ending: the model it started ends with it.
        process.terminate();
        if (!process.waitForFinished(2000))
            process.kill();
        process.waitForFinished(2000);
        result.crashed = true;
        result.exitCode = -1;
        return result;
    }
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    return result;
}

} // namespace kv
