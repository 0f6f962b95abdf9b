#include "shared/AtomicFile.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace gw {

bool writeFileAtomically(const QString& path, const QByteArray& content, QString* error)
{
    const QFileInfo target(path);
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Cannot write file \"%1\": %2").arg(QFileInfo(path).absoluteFilePath(), why);
        return false;
    };
    if (target.exists() && !target.isWritable())
        return fail(QStringLiteral("Permission denied"));

    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + target.fileName() + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(true);
    if (!temp.open())
        return fail(temp.errorString());
    if (temp.write(content) != content.size() || !temp.flush())
        return fail(temp.errorString());
    if (::fsync(temp.handle()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (target.exists())
        temp.setPermissions(QFile(path).permissions());
    else
        temp.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray from = QFile::encodeName(temp.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    if (std::rename(from.constData(), to.constData()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    temp.setAutoRemove(false);
    return true;
}

} // namespace gw
