#include "desktop/DefaultApplication.h"

#include "desktop/ExecLine.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace gw {

namespace {
    // The query is local and quick; a hung helper must not freeze the window for long.
    constexpr int QueryTimeoutMs = 5000;
} // namespace

QString XdgDesktopLauncher::defaultApplication(const QString& mimeType)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (tool.isEmpty())
        return QString();
    QProcess query;
    query.setProcessChannelMode(QProcess::SeparateChannels);
    query.start(tool, { QStringLiteral("query"), QStringLiteral("default"), mimeType });
    if (!query.waitForFinished(QueryTimeoutMs)) {
        query.kill();
        query.waitForFinished(1000);
        return QString();
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return QString();
    // Some desktops answer with several IDs separated by ';': the first one is the default.
    const QString answer = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    return answer.section(QLatin1Char(';'), 0, 0).trimmed();
}

bool XdgDesktopLauncher::startDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

void XdgDesktopLauncher::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

QStringList applicationFolders()
{
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    QStringList folders = { home + QStringLiteral("/applications") };
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders << dir + QStringLiteral("/applications");
    return folders;
}

QString findDesktopFile(const QString& desktopId, const QStringList& folders)
{
    // An ID names a file inside the application folders, never a path of its own.
    if (desktopId.isEmpty() || desktopId.contains(QLatin1Char('/')) || desktopId.startsWith(QLatin1Char('.')))
        return QString();
    QStringList names = { desktopId };
    QString name = desktopId;
    for (qsizetype dash = name.indexOf(QLatin1Char('-')); dash > 0; dash = name.indexOf(QLatin1Char('-'), dash + 1)) {
        name[dash] = QLatin1Char('/');
        names << name;
    }
    for (const QString& folder : folders)
        for (const QString& n : names) {
            const QString path = folder + QLatin1Char('/') + n;
            if (QFileInfo(path).isFile())
                return path;
        }
    return QString();
}

QString mimeTypeForExtension(const QString& extension)
{
    const QString ext = extension.left(3).toLower();
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + ext, QMimeDatabase::MatchExtension);
    if (type.isValid())
        return type.name();
    // Without a MIME database the files the program itself opens still find their editor.
    if (ext == QLatin1String("txt"))
        return QStringLiteral("text/plain");
    if (ext == QLatin1String("htm"))
        return QStringLiteral("text/html");
    return QString();
}

QStringList defaultCommandFor(DesktopLauncher& launcher, const QString& mimeType, const QString& target)
{
    if (mimeType.isEmpty())
        return {};
    const QString file = findDesktopFile(launcher.defaultApplication(mimeType), applicationFolders());
    if (file.isEmpty())
        return {};
    const std::optional<DesktopEntry> entry = readDesktopEntry(file);
    if (!entry)
        return {};
    QStringList command = commandForTarget(entry->exec, target);
    if (!command.isEmpty() && entry->terminal)
        command = QStringList { QStringLiteral("x-terminal-emulator"), QStringLiteral("-e") } + command;
    return command;
}

} // namespace gw
