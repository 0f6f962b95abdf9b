#include "shared/AtomicFile.h"
#include "shared/Posix.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gw {

namespace {

    // The file a chain of links ends at (which need not exist yet); empty for a loop, or when
    // a link on the way belongs to another user (`why` then says which).
    QString linkTarget(const QString& path, QString* why)
    {
        QString current = QFileInfo(path).absoluteFilePath();
        for (int hops = 0; hops < 40; ++hops) {
            const QFileInfo info(current);
            if (!info.isSymLink())
                return current;
            *why = foreignLinkProblem(current);
            if (!why->isEmpty())
                return QString();
            current = info.symLinkTarget();
        }
        *why = QString::fromLocal8Bit(std::strerror(ELOOP));
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
    // Following a link someone else planted would let them choose which of our files is
    // overwritten; the kernel's own guard does not help, as the link is read here.
    QString why;
    const QString real = linkTarget(path, &why);
    if (real.isEmpty())
        return fail(why);
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

QString foreignLinkProblem(const QString& path)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISLNK(st.st_mode) || st.st_uid == ::geteuid())
        return {};
    return QStringLiteral("%1 is a link of another user (uid %2); it is not followed")
        .arg(QFileInfo(path).absoluteFilePath())
        .arg(st.st_uid);
}

bool appendToOwnFile(const QString& path, const QByteArray& content, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Cannot write file \"%1\": %2").arg(path, why);
        return false;
    };
    // O_NOFOLLOW: a link at the log's name fails the open instead of redirecting the lines.
    const UniqueFd fd(::open(QFile::encodeName(path).constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        const int openError = errno;
        // Told by what lies there: the kernel's own guards for shared folders answer a link
        // or a FIFO with a bare "Permission denied" or "No such device".
        struct stat there = {};
        if (::lstat(QFile::encodeName(path).constData(), &there) == 0 && S_ISLNK(there.st_mode))
            return fail(QStringLiteral("it is a link; it is not followed"));
        if (::lstat(QFile::encodeName(path).constData(), &there) == 0 && !S_ISREG(there.st_mode))
            return fail(QStringLiteral("not a regular file"));
        return fail(QString::fromLocal8Bit(std::strerror(openError)));
    }
    struct stat st = {};
    if (::fstat(fd.get(), &st) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("not a regular file"));
    if (st.st_uid != ::geteuid())
        return fail(QStringLiteral("it belongs to another user (uid %1)").arg(st.st_uid));
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd.get(), content.constData() + done, static_cast<size_t>(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(QString::fromLocal8Bit(std::strerror(errno)));
        done += n;
    }
    return true;
}

} // namespace gw
