#include "renderer/DesktopFileCopy.h"

#include "shared/AtomicFile.h"

#include <QDir>
#include <QFile>

namespace gw {

QString desktopFileFolder(const QStringList& userArguments, const QString& rendererFolder)
{
    QString folder = rendererFolder;
    for (qsizetype i = 0; i + 1 < userArguments.size(); ++i)
        if (userArguments[i] == QLatin1String("-tmpdir") || userArguments[i] == QLatin1String("--tmpdir"))
            folder = userArguments[i + 1];
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString desktopFileName(const Picture& picture, qsizetype pictureCount)
{
    if (pictureCount <= 1)
        return QStringLiteral("xplanet.png");
    QString monitor = picture.monitor;
    monitor.replace(QLatin1Char('/'), QLatin1Char('-'));
    return QStringLiteral("xplanet-") + monitor + QStringLiteral(".png");
}

QString keepDesktopFiles(const QVector<Picture>& pictures, const QString& folder, QStringList* kept)
{
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder ") + folder;
    for (const Picture& picture : pictures) {
        if (picture.file.isEmpty())
            continue;
        QFile source(picture.file);
        if (!source.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read ") + picture.file + QStringLiteral(": ") + source.errorString();
        const QString target = folder + desktopFileName(picture, pictures.size());
        QString error;
        // Scratch for a viewer, not settings: no wait for the disk.
        if (!writeFileAtomically(target, source.readAll(), &error, Flush::Skip))
            return error;
        kept->push_back(target);
    }
    return {};
}

} // namespace gw
