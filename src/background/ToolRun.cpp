#include "background/ToolRun.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace gw {

ToolResult runTool(const QString& program, const QStringList& arguments, int timeoutMs)
{
    ToolResult result;
    const QString name = QFileInfo(program).fileName();
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    // A group of its own, so a tool that hangs is ended with whatever it started.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start();
    if (!process.waitForStarted(timeoutMs)) {
        result.error = QStringLiteral("cannot start ") + program + QStringLiteral(": ") + process.errorString();
        return result;
    }

    QEventLoop loop;
    bool timedOut = false;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    if (process.state() == QProcess::Running)
        loop.exec();

    if (process.state() != QProcess::NotRunning) {
        ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished(2000);
        result.error = name + QStringLiteral(" did not finish within ") + QString::number(timeoutMs / 1000.0)
            + QStringLiteral(" s");
        return result;
    }
    (void)timedOut;
    result.output = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit) {
        result.error = name + QStringLiteral(" ended abnormally");
    } else if (process.exitCode() != 0) {
        const QString said
            = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().section(QLatin1Char('\n'), 0, 0);
        result.error = name + QStringLiteral(" exited with code ") + QString::number(process.exitCode())
            + (said.isEmpty() ? QString() : QStringLiteral(": ") + said);
    }
    return result;
}

} // namespace gw
