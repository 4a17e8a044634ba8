#include "install/externaltool.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

ExternalToolRun runExternalTool(const QString &program, const QStringList &arguments,
                                const QString &workingDirectory, const ExternalToolLimits &limits)
{
    ExternalToolRun run;
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments, QIODevice::ReadWrite);
    run.started = process.waitForStarted(limits.startTimeoutMs);
    if (run.started) {
        // Nobody ever answers a tool's question. With its input closed, a password prompt of an encrypted
        // archive fails at once instead of blocking until the time limit.
        process.closeWriteChannel();

        // The finished signal is only delivered by the event loop below, so it cannot be missed between
        // the start and exec(); a process already reaped here needs no loop at all.
        if (process.state() != QProcess::NotRunning) {
            QEventLoop loop;
            QTimer limit;
            limit.setSingleShot(true);
            QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
            QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
            limit.start(limits.finishTimeoutMs);
            loop.exec();
        }
        if (process.state() != QProcess::NotRunning) {
            run.timedOut = true;
            process.kill();
            process.waitForFinished(limits.killWaitMs);
        }
        run.normalExit = process.exitStatus() == QProcess::NormalExit;
        run.exitCode = process.exitCode();
    }
    const QString errorText = QString::fromLocal8Bit(process.readAllStandardError());
    const QString outputText = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.output = errorText + outputText;
    return run;
}
