#include "instance/SingleInstance.h"
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
    const QString LockName = QStringLiteral("/Globewall");
} // namespace

SingleInstance::SingleInstance()
    : SingleInstance(qEnvironmentVariable("XDG_RUNTIME_DIR"), fallbackFolder())
{
}

SingleInstance::SingleInstance(const QString& runtimeFolder, const QString& fallbackFolder)
{
    if (!runtimeFolder.isEmpty()) {
        const QString problem = privateFolderProblem(runtimeFolder);
        if (problem.isEmpty())
            m_places.append({ runtimeFolder, false });
        else
            m_warnings << problem + QStringLiteral("; the lock and the socket go to \"%1\"").arg(fallbackFolder);
    }
    m_places.append({ fallbackFolder, true });
    m_path = m_places.constFirst().folder + LockName;
}

SingleInstance::SingleInstance(const QString& lockFile)
    : m_path(lockFile)
    , m_places { Place() }
{
}

QString SingleInstance::fallbackFolder()
{
    return QStringLiteral("/tmp/Globewall-%1").arg(::getuid());
}

QString SingleInstance::defaultLockFile()
{
    return SingleInstance().lockFile();
}

QString SingleInstance::privateFolderProblem(const QString& folder)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return QStringLiteral("cannot use the runtime folder \"%1\": %2").arg(folder, systemErrorText(errno));
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
        return QStringLiteral("the runtime folder \"%1\" is not a private folder of this user").arg(folder);
    return QString();
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

// Opens the lock file of `place`; false, with the reason kept, when it cannot be used.
bool SingleInstance::open(const Place& place)
{
    const QString path = place.folder.isEmpty() ? m_path : place.folder + LockName;
    if (place.make) {
        m_error = preparePrivateFolder(place.folder);
        if (!m_error.isEmpty())
            return false;
    }
    // O_CLOEXEC: a renderer started by us must not inherit the lock and keep it after we end.
    // O_NOFOLLOW: the lock file is never a link to somewhere else.
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) {
        m_error = QStringLiteral("cannot open the lock file \"%1\": %2").arg(path, systemErrorText(errno));
        return false;
    }
    // A lock someone else made (root, into this user's folder) is theirs to hold or keep
    // held: using it would let them end every start of ours.
    struct stat st = {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) {
        m_error = QStringLiteral("the lock file \"%1\" belongs to another user").arg(path);
        return false;
    }
    m_path = path;
    m_fd = std::move(fd);
    return true;
}

bool SingleInstance::isHeld(const QString& lockFile)
{
    const UniqueFd fd(::open(QFile::encodeName(lockFile).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    return fd.valid() && ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

SingleInstance::Result SingleInstance::acquire()
{
    if (m_held)
        return Result::Held;
    if (!m_fd.valid()) {
        bool opened = false;
        for (qsizetype i = 0; i < m_places.size() && !opened; ++i) {
            opened = open(m_places[i]);
            if (!opened && i + 1 < m_places.size())
                m_warnings << m_error + QStringLiteral("; it is not used");
        }
        if (!opened)
            return Result::Unguarded;
        m_error.clear();
    }
    if (::flock(m_fd.get(), LOCK_EX | LOCK_NB) == 0) {
        m_held = true;
        return Result::Held;
    }
    if (errno == EWOULDBLOCK)
        return Result::Running;
    m_error = QStringLiteral("cannot lock the lock file \"%1\": %2").arg(m_path, systemErrorText(errno));
    return Result::Unguarded;
}

} // namespace gw
