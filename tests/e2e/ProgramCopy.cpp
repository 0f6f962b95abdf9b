#include "ProgramCopy.h"

#include "TestPaths.h"
#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace gwe2e {

ProgramCopy::ProgramCopy()
{
    const QString built = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");
    m_binary = m_dir.file(QStringLiteral("bin/Globewall"));
    for (const char* folder : { "bin", "home/.config", "runtime" })
        QDir().mkpath(m_dir.file(QString::fromLatin1(folder)));
    QFile::setPermissions(
        m_dir.file(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_copied = QFile::copy(built, m_binary);
    QFile::setPermissions(m_binary, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString ProgramCopy::programFile(const QString& name) const
{
    return m_dir.file(QStringLiteral("bin/") + name);
}

QString ProgramCopy::xplanetFile(const QString& name) const
{
    return m_dir.file(QStringLiteral("home/.xplanet/") + name);
}

void ProgramCopy::start(QProcess& p, const QProcessEnvironment& extra) const
{
    startWith(p, QString(), {}, extra);
}

void ProgramCopy::startWith(
    QProcess& p, const QString& launcher, const QStringList& arguments, const QProcessEnvironment& extra) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.file(QStringLiteral("home/.config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.file(QStringLiteral("runtime")));
    // Nothing may leave loopback, and no proxy of the machine may step in.
    for (const char* name :
        { "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY" })
        env.remove(QString::fromLatin1(name));
    // The session bus of whoever runs the tests is not the test desktop's.
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir.path());
    p.setStandardOutputFile(m_dir.file(QStringLiteral("stdout.txt")), QIODevice::Append);
    p.setStandardErrorFile(m_dir.file(QStringLiteral("stderr.txt")), QIODevice::Append);
    if (launcher.isEmpty())
        p.start(m_binary, {});
    else
        p.start(launcher, QStringList(arguments) << m_binary);
}

QStringList ProgramCopy::snapshot() const
{
    QStringList out;
    QDirIterator it(m_dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo fi(it.next());
        // What the test itself keeps of the program's output is not the program's doing.
        if (fi.fileName() == QLatin1String("stdout.txt") || fi.fileName() == QLatin1String("stderr.txt"))
            continue;
        out << fi.filePath() + QLatin1Char(' ') + QString::number(fi.size()) + QLatin1Char(' ')
                + QString::number(fi.lastModified().toMSecsSinceEpoch());
    }
    out.sort();
    return out;
}

bool ProgramCopy::editIni(const QList<Entry>& entries) const
{
    gw::IniFile ini(iniPath());
    if (!ini.load())
        return false;
    for (const Entry& e : entries)
        ini.writeString(e.section, e.key, e.value);
    return ini.save();
}

QString ProgramCopy::iniValueOf(const QString& path, const QString& section, const QString& key)
{
    return gw::IniFile(path).readString(section, key, QString());
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(static_cast<unsigned long>(pollMs));
    }
    return true;
}

void stopProcess(QProcess& p, int graceMs)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(graceMs)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

} // namespace gwe2e
