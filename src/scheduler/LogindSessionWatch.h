#pragma once
// The login session this program runs in, as the system's login manager reports it: locked
// (LockedHint) or not the session in front (Active false) means nobody sees the desktop.
#include "scheduler/ScreenLockSource.h"

#include <QDBusConnection>
#include <QString>
#include <QVariantMap>

namespace gw {

class LogindSessionWatch : public ScreenLockSource
{
    Q_OBJECT
public:
    // `sessionId` empty: $XDG_SESSION_ID, else the session of this process.
    explicit LogindSessionWatch(QDBusConnection systemBus, QString sessionId = {}, QObject* parent = nullptr);

    // Nothing when there is no login manager or this process is in none of its sessions.
    std::optional<bool> active() override;

private slots:
    void propertiesChanged(const QString& interface, const QVariantMap& values, const QStringList& invalidated);
    void ownerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);

private:
    enum class Known { Ask, Absent, Cached };

    QString findSession();
    // False when the session's properties cannot be read.
    bool readProperties();

    QDBusConnection m_bus;
    QString m_sessionId;
    QString m_path; // the session's object; empty while unknown
    Known m_known = Known::Ask;
    bool m_locked = false;
    bool m_inFront = true;
};

} // namespace gw
