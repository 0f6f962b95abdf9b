#include "background/PictureFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace gw {

namespace {

    // Names are "globe_<monitor>_<stamp>.png"; the monitor part never holds "_", so a monitor's
    // pictures are told apart from another's whose name begins the same.
    QString safeMonitor(const QString& monitor)
    {
        QString safe;
        for (const QChar c : monitor)
            safe += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-') || c == QLatin1Char('.')
                ? c
                : QLatin1Char('-');
        return safe.isEmpty() ? QStringLiteral("-") : safe;
    }

} // namespace

PictureFiles::PictureFiles(QString folder)
    : m_folder(std::move(folder))
{
    if (!m_folder.endsWith(QLatin1Char('/')))
        m_folder += QLatin1Char('/');
}

QString PictureFiles::defaultFolder()
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return cache + QStringLiteral("/Globewall/");
}

bool PictureFiles::prepare(QString* error) const
{
    if (!QDir().mkpath(m_folder)) {
        *error = QStringLiteral("cannot create the folder ") + m_folder;
        return false;
    }
    // A trial file, since the folder's mode bits do not tell everything (root, read-only mounts).
    QTemporaryFile probe(m_folder + QStringLiteral("probe-XXXXXX"));
    if (!probe.open()) {
        *error = QStringLiteral("cannot write into the folder ") + m_folder;
        return false;
    }
    return true;
}

QString PictureFiles::newFile(const QString& monitor)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString name;
    do {
        name = m_folder + QStringLiteral("globe_") + safeMonitor(monitor) + QLatin1Char('_') + stamp + QLatin1Char('-')
            + QString::number(++m_counter) + QStringLiteral(".png");
    } while (QFileInfo::exists(name));
    return name;
}

void PictureFiles::keepOnly(const QVector<Picture>& shown) const
{
    const QDir dir(m_folder);
    for (const Picture& p : shown) {
        if (p.file.isEmpty())
            continue;
        const QString prefix = QStringLiteral("globe_") + safeMonitor(p.monitor) + QLatin1Char('_');
        for (const QString& name : dir.entryList({ prefix + QStringLiteral("*.png") }, QDir::Files)) {
            const QString path = dir.filePath(name);
            if (QFileInfo(path) != QFileInfo(p.file))
                QFile::remove(path);
        }
    }
}

void PictureFiles::discard(const QVector<Picture>& pictures)
{
    for (const Picture& p : pictures)
        if (!p.file.isEmpty())
            QFile::remove(p.file);
}

} // namespace gw
