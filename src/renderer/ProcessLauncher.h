#pragma once
// The process launcher through which the renderer, the file run before each render and the
// files run after downloads are started. One instance serves every launch in turn; each
// launch sets the properties it needs, then calls Execute.
//
// On Linux the command line is split into arguments (CommandLine.h) and the program started
// directly, never through a shell; priority and a process group of its own are set in the
// child before exec, so Kill ends the child and everything it started.
#include "shared/Error.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

namespace gw {

class EAppExec : public Error
{
public:
    using Error::Error;
};

// The folder to run in cannot be made the current folder; carries the system's message.
class EAppExecChDir : public EAppExec
{
public:
    using EAppExec::EAppExec;
};

// The child cannot be started or its state cannot be read; carries ErrorText.
class EAppExecWinExec : public EAppExec
{
public:
    EAppExecWinExec(const QString& message, int code)
        : EAppExec(message)
        , m_code(code)
    {
    }
    int code() const { return m_code; }

private:
    int m_code;
};

enum class TPriorClass { pcHigh, pcIdle, pcNormal, pcRealtime };

class ProcessLauncher : public QObject
{
    Q_OBJECT

public:
    // Result codes of a failed start, as the error text table numbers them.
    static constexpr int CodeFileNotFound = 2;
    static constexpr int CodePathNotFound = 3;
    static constexpr int CodeAccessDenied = 5;
    static constexpr int CodeOutOfMemory = 8;
    static constexpr int CodeInvalidExecutable = 11;
    static constexpr int CodeStarted = 32;

    explicit ProcessLauncher(QObject* parent = nullptr);
    ~ProcessLauncher() override;

    bool ChangeDir() const { return m_changeDir; }
    void setChangeDir(bool on) { m_changeDir = on; }
    const QString& ExeName() const { return m_exeName; }
    void setExeName(const QString& name) { m_exeName = name; }
    // A trailing "/" is dropped on storing (the root "/" stays); Execute adds it again.
    const QString& ExePath() const { return m_exePath; }
    void setExePath(const QString& path);
    const QStringList& ExeParams() const { return m_exeParams; }
    void setExeParams(const QStringList& params) { m_exeParams = params; }
    QStringList& ExeParams() { return m_exeParams; }
    TPriorClass PriorityClass() const { return m_priority; }
    void setPriorityClass(TPriorClass p) { m_priority = p; }
    bool RedirectOutput() const { return m_redirect; }
    void setRedirectOutput(bool on) { m_redirect = on; }
    bool Wait() const { return m_wait; }
    void setWait(bool on) { m_wait = on; }

    // 32 after a start, the error code after a failed start, the exit code after a wait.
    int ResultCode() const { return m_resultCode; }
    // True when the child waited for last ended by a signal (ResultCode then holds its number).
    bool Crashed() const { return m_crashed; }
    // Process id of the child started last; it stays after the child has ended.
    qint64 ProcessHandle() const { return m_processHandle; }
    // The captured output of the last launch, one entry per line.
    const QStringList& OutputLines() const { return m_outputLines; }

    // Starts as configured; with Wait, returns when the child has ended, handling events in
    // the meantime. Throws EAppExecChDir or EAppExecWinExec. Refuses (EAppExec) while this
    // launcher still waits for an earlier child, so that child is never disturbed.
    void Execute();

    // The text of the error table for ResultCode.
    QString ErrorText() const { return ErrorText(m_resultCode); }
    static QString ErrorText(int code);

    // The command line of the last or next launch: ExeName, then " " + each entry.
    QString CommandLine() const;

    // True while Execute waits for its child.
    bool isWaiting() const { return m_waiting; }
    // Ends the child this launcher waits for, with every process of its group (SIGKILL).
    // Does nothing when no child is waited for: an ended child's id may belong to another
    // process by now. Returns whether a child was signalled.
    bool Kill();

    // The capture files, named after the program: "Globewall.bat" and "Globewall.out".
    static QString batchFileName();
    static QString outputFileName();

signals:
    void waitingChanged(bool waiting);

private:
    void writeBatchFile(const QString& folder, const QString& commandLine) const;
    void enterFolder(const QString& folder) const;
    std::unique_ptr<QProcess> startChild(const QString& folder, const QString& commandLine);
    void waitForChild(QProcess& process);
    QString resolveProgram(const QString& program, const QString& folder, int* code) const;
    [[noreturn]] void failStart(int code, const QString& systemMessage);
    void readOutput(const QString& folder);
    void removeCaptureFiles(const QString& folder) const;

    bool m_changeDir = true;
    QString m_exeName;
    QString m_exePath;
    QStringList m_exeParams;
    TPriorClass m_priority = TPriorClass::pcNormal;
    bool m_redirect = false;
    bool m_wait = true;

    int m_resultCode = 0;
    bool m_crashed = false;
    qint64 m_processHandle = 0;
    QStringList m_outputLines;

    bool m_waiting = false;
    bool m_killed = false;
    QProcess* m_process = nullptr; // the child waited for
};

} // namespace gw
