#include "shared/AtomicFile.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace gw {

namespace {

    // The file a chain of links ends at (which need not exist yet); empty for a loop.
    QString linkTarget(const QString& path)
    {
        QString current = QFileInfo(path).absoluteFilePath();
        for (int hops = 0; hops < 40; ++hops) {
            const QFileInfo info(current);
            if (!info.isSymLink())
                return current;
            current = info.symLinkTarget();
        }
        return QString();
    }

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& content, QString* error, Flush flush)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Cannot write file \"%1\": %2").arg(QFileInfo(path).absoluteFilePath(), why);
        return false;
    };
    // Renaming over the link itself would put a plain file in its place, and the file it
    // points to (in a synced folder, say) would never be updated again.
    const QString real = linkTarget(path);
    if (real.isEmpty())
        return fail(QString::fromLocal8Bit(std::strerror(ELOOP)));
    const QFileInfo target(real);
    if (target.exists() && !target.isWritable())
        return fail(QStringLiteral("Permission denied"));

    // QTemporaryFile creates a new random name with O_CREAT | O_EXCL, mode 0600, so a link or
    // file planted in the folder is never opened or written through.
    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + target.fileName() + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(true);
    if (!temp.open())
        return fail(temp.errorString());
    if (temp.write(content) != content.size() || !temp.flush())
        return fail(temp.errorString());
    if (flush == Flush::ToDisk && ::fsync(temp.handle()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (target.exists())
        temp.setPermissions(QFile(real).permissions());
    else
        temp.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray from = QFile::encodeName(temp.fileName());
    const QByteArray to = QFile::encodeName(real);
    if (std::rename(from.constData(), to.constData()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    temp.setAutoRemove(false);
    return true;
}

} // namespace gw
