#include "background/ToolRun.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace gw {

namespace {

    // Keeps the last `limit` bytes appended.
    void appendTail(QByteArray* kept, const QByteArray& more, qsizetype limit, bool* cut)
    {
        kept->append(more);
        if (kept->size() > limit) {
            kept->remove(0, kept->size() - limit);
            *cut = true;
        }
    }

    // The last line a tool said, short enough for one log line.
    QString lastLine(const QByteArray& text)
    {
        const QStringList lines = QString::fromLocal8Bit(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QString line = lines.isEmpty() ? QString() : lines.last().trimmed();
        if (line.size() > 200)
            line = line.left(200) + QStringLiteral("...");
        return line;
    }

} // namespace

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

    // Read as it comes, so neither a full pipe stalls the tool nor endless output fills memory.
    QByteArray errors;
    bool errorsCut = false;
    const auto drain = [&] {
        appendTail(&result.output, process.readAllStandardOutput(), kToolOutputKept, &result.outputCut);
        appendTail(&errors, process.readAllStandardError(), kToolErrorsKept, &errorsCut);
    };
    QObject::connect(&process, &QProcess::readyReadStandardOutput, drain);
    QObject::connect(&process, &QProcess::readyReadStandardError, drain);

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
    drain();
    if (process.exitStatus() != QProcess::NormalExit) {
        result.error = name + QStringLiteral(" ended abnormally");
    } else if (process.exitCode() != 0) {
        const QString said = lastLine(errors.isEmpty() ? result.output : errors);
        result.error = name + QStringLiteral(" exited with code ") + QString::number(process.exitCode())
            + (said.isEmpty() ? QString() : QStringLiteral(": ") + said);
    }
    return result;
}

} // namespace gw
