#include "app/SingleInstance.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace gw {

SingleInstance::SingleInstance(const QString& lockFile)
    : m_path(lockFile)
{
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString SingleInstance::defaultLockFile()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/Globewall");
    return QStringLiteral("/tmp/Globewall-%1.lock").arg(::getuid());
}

bool SingleInstance::acquire()
{
    if (m_held)
        return true;
    if (m_fd < 0) {
        // O_CLOEXEC: a renderer started by us must not inherit the lock and keep it after we end.
        // O_NOFOLLOW: in /tmp another user could plant a symbolic link.
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0)
            return true;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        m_held = true;
        return true;
    }
    return errno != EWOULDBLOCK;
}

} // namespace gw
