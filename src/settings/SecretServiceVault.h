#pragma once
// The proxy password in the desktop's Secret Service (GNOME Keyring, KWallet, KeePassXC),
// spoken to over the session bus. A locked collection is never unlocked from here and no
// prompt is ever shown: both count as a refusal, so the password stays in the settings file.
#include "settings/PasswordVault.h"

#include <QDBusConnection>

namespace gw {

class SecretServiceVault : public PasswordVault
{
public:
    explicit SecretServiceVault(const QDBusConnection& bus = QDBusConnection::sessionBus());

    void setDeadline(QDeadlineTimer deadline) override { m_deadline = deadline; }
    bool available() override;
    Outcome store(const QString& settingsFile, const QString& password, QString* why) override;
    Outcome lookup(const QString& settingsFile, QString* password, QString* why) override;
    Outcome remove(const QString& settingsFile, QString* why) override;

private:
    class Session;
    QDBusConnection m_bus;
    QDeadlineTimer m_deadline { QDeadlineTimer::Forever };
};

} // namespace gw
