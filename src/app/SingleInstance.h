#pragma once
// One running Globewall per user: an exclusive, non-blocking flock on a lock file named
// "Globewall" in the user's runtime folder. The kernel drops the lock when the process ends,
// even after a crash, so a stale file never blocks a new start.
#include <QString>

namespace gw {

class SingleInstance
{
public:
    explicit SingleInstance(const QString& lockFile = defaultLockFile());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // $XDG_RUNTIME_DIR/Globewall, else /tmp/Globewall-<uid>.lock.
    static QString defaultLockFile();

    // False when another process holds the lock. A lock file that cannot be opened at all
    // guards nothing, and the program runs rather than refusing to start.
    bool acquire();
    bool held() const { return m_fd >= 0 && m_held; }
    const QString& lockFile() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_held = false;
};

} // namespace gw
