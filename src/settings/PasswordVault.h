#pragma once
// A place outside the settings file for the proxy password: the desktop's keyring.
#include <QString>

namespace gw {

class PasswordVault
{
public:
    enum class Outcome {
        Done,
        NotFound, // the vault holds nothing for that file
        Unavailable, // no vault on this desktop
        Refused, // locked, or it said no; `why` tells
    };

    virtual ~PasswordVault() = default;
    // True when a vault answers on this desktop; without one the file keeps the password.
    virtual bool available() = 0;
    // Each password belongs to one settings file (its full path).
    virtual Outcome store(const QString& settingsFile, const QString& password, QString* why) = 0;
    virtual Outcome lookup(const QString& settingsFile, QString* password, QString* why) = 0;
    virtual Outcome remove(const QString& settingsFile, QString* why) = 0;
};

} // namespace gw
