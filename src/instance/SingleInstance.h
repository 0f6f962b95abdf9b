#pragma once
// One running Globewall per user: an exclusive, non-blocking flock on a lock file named
// "Globewall" in the user's runtime folder. The kernel drops the lock when the process ends,
// even after a crash, so a stale file never blocks a new start.
#include "shared/Posix.h"

#include <QString>
#include <QStringList>

namespace gw {

class SingleInstance
{
public:
    enum class Result {
        Held, // this process holds the lock
        Running, // another process holds it
        Unguarded, // it cannot be taken at all; error() says why
    };

    // The lock in $XDG_RUNTIME_DIR when that is a private folder of this user, else in
    // fallbackFolder(), made when needed.
    SingleInstance();
    // The lock in `runtimeFolder` (empty: none) when it is private, else in `fallbackFolder`.
    SingleInstance(const QString& runtimeFolder, const QString& fallbackFolder);
    // Exactly this lock file.
    explicit SingleInstance(const QString& lockFile);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // $XDG_RUNTIME_DIR/Globewall when that folder is private, else "Globewall" in fallbackFolder().
    static QString defaultLockFile();
    // /tmp/Globewall-<uid>: a folder only this user may use, as a runtime folder is.
    static QString fallbackFolder();
    // Makes `folder` when it is missing; empty when it is a real folder (no link) owned by
    // this user that nobody else can enter, else why it cannot be used.
    static QString preparePrivateFolder(const QString& folder);
    // Empty when `folder` is a folder owned by this user that nobody else can enter (a runtime
    // folder may be reached through a link), else why it cannot be used.
    static QString privateFolderProblem(const QString& folder);

    // True when a process holds the lock at `lockFile` (tested with a shared lock that is let go
    // at once, so no start is kept from it).
    static bool isHeld(const QString& lockFile);

    Result acquire();
    const QString& error() const { return m_error; }
    // What acquire() passed over on its way to the lock (a runtime folder others can enter, a
    // lock file of another user), one sentence each, for standard error.
    const QStringList& warnings() const { return m_warnings; }
    bool held() const { return m_fd.valid() && m_held; }
    // The lock file in use; the socket of the running instance lies beside it.
    const QString& lockFile() const { return m_path; }

private:
    struct Place
    {
        QString folder; // empty: m_path as given
        bool make = false; // the fallback folder, made when missing
    };
    bool open(const Place& place);

    QString m_path;
    QList<Place> m_places;
    QString m_error;
    QStringList m_warnings;
    UniqueFd m_fd;
    bool m_held = false;
};

} // namespace gw
