#include "renderer/ProcessLauncher.h"

#include "renderer/CommandLine.h"
#include "shared/AtomicFile.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

namespace gw {

namespace {

    QString withSlash(QString folder)
    {
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        return folder;
    }

    QString systemMessage(int error)
    {
        return QString::fromLocal8Bit(std::strerror(error));
    }

    // Runs in the child between fork and exec: only async-signal-safe calls. Failures are
    // ignored, the child then keeps what it inherited (an unprivileged user cannot raise
    // priority, so "high" falls back to normal).
    void prepareChild(TPriorClass priority)
    {
        ::setpgid(0, 0);
        sched_param param {};
        param.sched_priority = 0;
        switch (priority) {
        case TPriorClass::pcIdle:
            ::setpriority(PRIO_PROCESS, 0, 19);
            ::sched_setscheduler(0, SCHED_IDLE, &param);
            break;
        case TPriorClass::pcNormal:
            ::sched_setscheduler(0, SCHED_OTHER, &param);
            ::setpriority(PRIO_PROCESS, 0, 0);
            break;
        case TPriorClass::pcHigh:
        case TPriorClass::pcRealtime: // never offered; a real-time class could starve the desktop
            ::sched_setscheduler(0, SCHED_OTHER, &param);
            if (::setpriority(PRIO_PROCESS, 0, -10) != 0)
                ::setpriority(PRIO_PROCESS, 0, 0);
            break;
        }
    }

    // Nearest entry of the error table for a start failure that QProcess reports as text.
    int codeForStartError(const QString& message)
    {
        const auto has = [&](int error) { return message.contains(systemMessage(error), Qt::CaseInsensitive); };
        if (has(ENOENT))
            return ProcessLauncher::CodeFileNotFound;
        if (has(ENOTDIR))
            return ProcessLauncher::CodePathNotFound;
        if (has(EACCES) || has(EPERM))
            return ProcessLauncher::CodeAccessDenied;
        if (has(ENOEXEC))
            return ProcessLauncher::CodeInvalidExecutable;
        if (has(ENOMEM) || has(E2BIG))
            return ProcessLauncher::CodeOutOfMemory;
        return -1; // no table entry: the system's own message is shown
    }

    // Restores the cursor on every way out of a wait.

} // namespace

ProcessLauncher::ProcessLauncher(QObject* parent)
    : QObject(parent)
{
}

ProcessLauncher::~ProcessLauncher()
{
    // A child still waited for would outlive its launcher; end it with its group.
    Kill();
}

void ProcessLauncher::setExePath(const QString& path)
{
    m_exePath = path;
    if (m_exePath.size() > 1 && m_exePath.endsWith(QLatin1Char('/')))
        m_exePath.chop(1);
}

QString ProcessLauncher::batchFileName()
{
    return QStringLiteral("Globewall.bat");
}
QString ProcessLauncher::outputFileName()
{
    return QStringLiteral("Globewall.out");
}

QString ProcessLauncher::CommandLine() const
{
    QString line = m_exeName;
    for (const QString& param : m_exeParams)
        line += QLatin1Char(' ') + param;
    return line;
}

QString ProcessLauncher::ErrorText(int code)
{
    switch (code) {
    case 0:
        return QStringLiteral("System was out of memory, executable file was corrupt, or relocations were invalid");
    case 2:
        return QStringLiteral("File was not found");
    case 3:
        return QStringLiteral("Path was not found");
    case 5:
        return QStringLiteral(
            "Attempt was made to dynamically link to a task, or there was a sharing or network-protection error");
    case 6:
        return QStringLiteral("Library required separate data segments for each task");
    case 8:
        return QStringLiteral("There was insufficient memory to start the application");
    case 10:
        return QStringLiteral("Windows version was incorrect");
    case 11:
        return QStringLiteral("Executable file was invalid. Either it was not a Windows application or there was an "
                              "error in the .EXE image");
    case 12:
        return QStringLiteral("Application was designed for a different operating system");
    case 13:
        return QStringLiteral("Application was designed for MS-DOS 4.0");
    case 14:
        return QStringLiteral("Type of executable file was unknown");
    case 15:
        return QStringLiteral(
            "Attempt was made to load a real-mode application (developed for an earlier version of Windows)");
    case 16:
        return QStringLiteral("Attempt to load second instance of an executable containing multiple data segments "
                              "not marked read-only");
    case 19:
        return QStringLiteral("Attempt was made to load a compressed executable file. The file must be decompressed "
                              "before it can be loaded");
    case 20:
        return QStringLiteral("Dynamic-link library (DLL) file was invalid. One of the DLLs required to run this "
                              "application was corrupt");
    case 21:
        return QStringLiteral("Application requires 32-bit extensions");
    default:
        break;
    }
    return code >= 32 ? QStringLiteral("No error") : QString();
}

// The file a command line names: a path with "/" as given (relative to the folder run in), a
// bare name in the folder run in. PATH is not searched: a file run after a download is given
// by its bare name, and when it is missing that must fail, not start a namesake from PATH.
// `code` gets the table entry on failure.
QString ProcessLauncher::resolveProgram(const QString& program, const QString& folder, int* code) const
{
    QString path;
    if (program.isEmpty()) {
        *code = CodeFileNotFound;
        return {};
    }
    if (QDir::isAbsolutePath(program))
        path = program;
    else
        path = folder + program;
    const QFileInfo info(path);
    if (!info.exists()) {
        *code = QFileInfo(info.absolutePath()).isDir() ? CodeFileNotFound : CodePathNotFound;
        return {};
    }
    if (info.isDir() || !info.isExecutable()) {
        *code = CodeAccessDenied;
        return {};
    }
    return info.absoluteFilePath();
}

void ProcessLauncher::failStart(int code, const QString& systemMessage)
{
    m_resultCode = code;
    QString text = ErrorText(code);
    // A failure never reads "No error" or nothing at all.
    if (text.isEmpty() || code >= CodeStarted)
        text = systemMessage;
    throw EAppExecWinExec(text, code);
}

void ProcessLauncher::removeCaptureFiles(const QString& folder) const
{
    QFile::remove(folder + outputFileName());
    QFile::remove(folder + batchFileName());
}

void ProcessLauncher::readOutput(const QString& folder)
{
    QFile out(folder + outputFileName());
    if (out.open(QIODevice::ReadOnly)) {
        QString text = QString::fromLocal8Bit(out.readAll());
        out.close();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        if (!text.isEmpty() || out.size() > 0)
            m_outputLines = text.split(QLatin1Char('\n'));
        out.remove();
    }
    QFile::remove(folder + batchFileName());
}

void ProcessLauncher::Execute()
{
    if (m_waiting)
        throw EAppExec(QStringLiteral("A program started earlier is still running: ") + m_exeName);

    const QString folder = m_exePath.isEmpty() ? QStringLiteral("/") : withSlash(m_exePath);
    m_outputLines.clear();
    m_killed = false;
    m_crashed = false;

    // Linux has no 260-character limit on a command line: it is passed whole.
    const QString commandLine = CommandLine();
    if (m_redirect)
        writeBatchFile(folder, commandLine);
    if (m_changeDir)
        enterFolder(folder);

    std::unique_ptr<QProcess> process = startChild(folder, commandLine);
    m_resultCode = CodeStarted;
    m_processHandle = process->processId();

    if (!m_wait) {
        // Not waited for: the process object lives until its child ends.
        QProcess* detached = process.release();
        detached->setParent(this);
        connect(detached, &QProcess::finished, detached, &QObject::deleteLater);
        return;
    }

    waitForChild(*process);
    // A stopped child reports 0, as an ended one does after being stopped.
    m_resultCode = m_killed ? 0 : process->exitCode();
    m_crashed = !m_killed && process->exitStatus() == QProcess::CrashExit;
    if (m_redirect)
        readOutput(folder);
}

// The batch file shows what runs and where its output goes; no shell reads it, the output is
// captured into the output file. A failure to write it is ignored here; the output file in the
// same folder then fails as well (startChild).
void ProcessLauncher::writeBatchFile(const QString& folder, const QString& commandLine) const
{
    writeFileAtomically(folder + batchFileName(),
        (commandLine + QStringLiteral(" > ") + outputFileName() + QStringLiteral(" 2>&1\n")).toLocal8Bit(), nullptr,
        Flush::Skip);
}

void ProcessLauncher::enterFolder(const QString& folder) const
{
    if (::chdir(QFile::encodeName(folder).constData()) == 0)
        return;
    const int error = errno;
    if (m_redirect)
        removeCaptureFiles(folder);
    throw EAppExecChDir(systemMessage(error) + QStringLiteral(": ") + folder);
}

std::unique_ptr<QProcess> ProcessLauncher::startChild(const QString& folder, const QString& commandLine)
{
    int code = 0;
    QString program;
    if (!QFileInfo(folder).isDir())
        code = CodePathNotFound;
    else
        program = resolveProgram(splitCommand(m_exeName, commandLine).program, folder, &code);
    if (program.isEmpty()) {
        if (m_redirect)
            removeCaptureFiles(folder);
        failStart(code, ErrorText(code));
    }

    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(splitCommand(m_exeName, commandLine).arguments);
    process->setWorkingDirectory(folder);
    process->setStandardInputFile(QProcess::nullDevice());
    if (m_redirect) {
        if (!QFileInfo::exists(folder + batchFileName())) // the capture folder cannot be written
            failStart(CodeFileNotFound, ErrorText(CodeFileNotFound));
        // A new empty file of our own at the name first, so the child's output never goes
        // through whatever lay there (a link planted in a shared folder is replaced or refused).
        if (!writeFileAtomically(folder + outputFileName(), QByteArray(), nullptr, Flush::Skip))
            failStart(CodeFileNotFound, ErrorText(CodeFileNotFound));
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setStandardOutputFile(folder + outputFileName(), QIODevice::Truncate);
    } else {
        // Nobody reads it: discard rather than let a full pipe stall the child.
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
    }
    const TPriorClass priority = m_priority;
    process->setChildProcessModifier([priority] { prepareChild(priority); });

    process->start();
    if (!process->waitForStarted(-1)) {
        const QString message = process->errorString();
        if (m_redirect)
            removeCaptureFiles(folder);
        failStart(codeForStartError(message), message);
    }
    return process;
}

// Events go on while the child runs; the busy flags of the callers guard against re-entry.
void ProcessLauncher::waitForChild(QProcess& process)
{
    m_process = &process;
    m_waiting = true;
    emit waitingChanged(true);
    if (process.state() != QProcess::NotRunning) {
        QEventLoop loop;
        connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        connect(&process, &QProcess::errorOccurred, &loop, [&loop, &process](QProcess::ProcessError e) {
            if (e == QProcess::Crashed || process.state() == QProcess::NotRunning)
                loop.quit();
        });
        loop.exec();
    }
    // The loop also ends when the application quits: the child does not outlive it.
    if (process.state() != QProcess::NotRunning) {
        Kill();
        process.waitForFinished(5000);
    }
    m_process = nullptr;
    m_waiting = false;
    emit waitingChanged(false);
}

bool ProcessLauncher::Kill()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return false;
    const pid_t pid = static_cast<pid_t>(m_process->processId());
    if (pid <= 0)
        return false;
    m_killed = true;
    if (::kill(-pid, SIGKILL) != 0)
        ::kill(pid, SIGKILL);
    return true;
}

} // namespace gw
