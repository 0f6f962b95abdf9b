#include "app/SingleInstance.h"
#include "shared/Posix.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gw {

namespace {
    QString runtimeFolder()
    {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        return !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QString();
    }
} // namespace

SingleInstance::SingleInstance(const QString& lockFile)
    : m_path(lockFile.isEmpty() ? defaultLockFile() : lockFile)
    , m_fallback(lockFile.isEmpty() && runtimeFolder().isEmpty())
{
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString SingleInstance::fallbackFolder()
{
    return QStringLiteral("/tmp/Globewall-%1").arg(::getuid());
}

QString SingleInstance::defaultLockFile()
{
    const QString runtime = runtimeFolder();
    return (runtime.isEmpty() ? fallbackFolder() : runtime) + QStringLiteral("/Globewall");
}

// In a folder everyone can write, another user could have made the folder first, or put a
// link there; either would let them hold our lock or make us write where they choose.
QString SingleInstance::preparePrivateFolder(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot create the lock folder \"%1\": %2").arg(folder, systemErrorText(errno));
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0)
        return QStringLiteral("cannot use the lock folder \"%1\": %2").arg(folder, systemErrorText(errno));
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
        return QStringLiteral("the lock folder \"%1\" is not a private folder of this user").arg(folder);
    return QString();
}

SingleInstance::Result SingleInstance::acquire()
{
    if (m_held)
        return Result::Held;
    if (m_fd < 0) {
        if (m_fallback) {
            m_error = preparePrivateFolder(QFileInfo(m_path).path());
            if (!m_error.isEmpty())
                return Result::Unguarded;
        }
        // O_CLOEXEC: a renderer started by us must not inherit the lock and keep it after we end.
        // O_NOFOLLOW: the lock file is never a link to somewhere else.
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0) {
            m_error = QStringLiteral("cannot open the lock file \"%1\": %2").arg(m_path, systemErrorText(errno));
            return Result::Unguarded;
        }
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_held = true;
        return Result::Held;
    }
    if (errno == EWOULDBLOCK)
        return Result::Running;
    m_error = QStringLiteral("cannot lock the lock file \"%1\": %2").arg(m_path, systemErrorText(errno));
    return Result::Unguarded;
}

} // namespace gw
