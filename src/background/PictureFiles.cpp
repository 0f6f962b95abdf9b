#include "background/PictureFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>

namespace gw {

namespace {

    // Names are "globe_<monitor>_<stamp>-<n>.png". The monitor part is the name with every
    // byte but letters, digits, "." and "-" written as "+XX", so two names never give the same
    // part and it never holds "_"; a monitor without a name is "@x,y", its place, which no
    // name gives.
    QString monitorPart(const Picture& picture)
    {
        if (picture.monitor.isEmpty())
            return QStringLiteral("@%1,%2").arg(picture.geometry.x()).arg(picture.geometry.y());
        QString part;
        for (const char c : picture.monitor.toUtf8()) {
            const bool plain
                = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
            part += plain ? QString(QLatin1Char(c))
                          : QStringLiteral("+%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0')).toUpper();
        }
        return part;
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

QString PictureFiles::newFile(const Picture& picture)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString name;
    do {
        name = m_folder + QStringLiteral("globe_") + monitorPart(picture) + QLatin1Char('_') + stamp + QLatin1Char('-')
            + QString::number(++m_counter) + QStringLiteral(".png");
    } while (QFileInfo::exists(name));
    return name;
}

void PictureFiles::keepOnly(const QVector<Picture>& shown) const
{
    const QDir dir(m_folder);
    QSet<QString> keep;
    for (const Picture& p : shown)
        if (!p.file.isEmpty())
            keep.insert(QFileInfo(p.file).absoluteFilePath());
    QSet<QString> done;
    for (const Picture& p : shown) {
        const QString part = monitorPart(p);
        if (p.file.isEmpty() || done.contains(part))
            continue;
        done.insert(part);
        const QRegularExpression own(QStringLiteral("^globe_") + QRegularExpression::escape(part)
            + QStringLiteral("_\\d{8}-\\d{6}-\\d{3}-\\d+\\.png$"));
        for (const QString& name : dir.entryList({ QStringLiteral("globe_*.png") }, QDir::Files)) {
            const QFileInfo file(dir.filePath(name));
            if (own.match(name).hasMatch() && !keep.contains(file.absoluteFilePath()))
                QFile::remove(file.absoluteFilePath());
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
