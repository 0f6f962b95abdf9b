#include "shared/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace gw {

namespace {
    QString& overrideDir()
    {
        static QString dir;
        return dir;
    }

    QString withSlash(QString dir)
    {
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        return dir;
    }
} // namespace

void setProgramDir(const QString& dir)
{
    overrideDir() = dir.isEmpty() ? QString() : withSlash(dir);
}

QString programDir()
{
    if (!overrideDir().isEmpty())
        return overrideDir();
    const QString exeDir = QCoreApplication::applicationDirPath();
    // An installed program (its menu entry beside it in ../share) keeps the user's files in the
    // user's folder even where it could write beside itself, as root can in /usr/bin.
    const bool installed
        = QFileInfo::exists(exeDir + QStringLiteral("/../share/applications/net.quillmoor.Globewall.desktop"));
    if (!exeDir.isEmpty() && !installed && QFileInfo(exeDir).isWritable())
        return withSlash(exeDir);
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString dir = withSlash(config) + QStringLiteral("Globewall/");
    QDir().mkpath(dir);
    return dir;
}

namespace {
    QString& settingsFile()
    {
        static QString file;
        return file;
    }
} // namespace

QString settingsFileOverride()
{
    return settingsFile();
}

void setSettingsFileOverride(const QString& file)
{
    settingsFile() = file;
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

} // namespace gw
