#pragma once
// One running Globewall per user: an exclusive, non-blocking flock on a lock file named
// "Globewall" in the user's runtime folder. The kernel drops the lock when the process ends,
// even after a crash, so a stale file never blocks a new start.
#include <QString>

namespace gw {

class SingleInstance
{
public:
    enum class Result {
        Held, // this process holds the lock
        Running, // another process holds it
        Unguarded, // it cannot be taken at all; error() says why
    };

    // Empty: defaultLockFile(), its private fallback folder made when needed.
    explicit SingleInstance(const QString& lockFile = QString());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // $XDG_RUNTIME_DIR/Globewall, else "Globewall" in fallbackFolder().
    static QString defaultLockFile();
    // /tmp/Globewall-<uid>: a folder only this user may use, as a runtime folder is.
    static QString fallbackFolder();
    // Makes `folder` when it is missing; empty when it is a real folder (no link) owned by
    // this user that nobody else can enter, else why it cannot be used.
    static QString preparePrivateFolder(const QString& folder);

    Result acquire();
    const QString& error() const { return m_error; }
    bool held() const { return m_fd >= 0 && m_held; }
    const QString& lockFile() const { return m_path; }

private:
    QString m_path;
    bool m_fallback = false;
    QString m_error;
    int m_fd = -1;
    bool m_held = false;
};

} // namespace gw
