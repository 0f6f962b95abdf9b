#pragma once
// A place outside the settings file for the proxy password: the desktop's keyring.
#include <QDeadlineTimer>
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
    // Every call from now on ends by `deadline`; past it the vault answers Refused at once, as
    // a locked one does. A start's load and an exit's save each set one, so a vault that stops
    // answering costs one short wait, not one per call.
    virtual void setDeadline(QDeadlineTimer deadline) { (void)deadline; }
    // True when a vault answers on this desktop; without one the file keeps the password.
    virtual bool available() = 0;
    // Each password belongs to one settings file (its full path).
    virtual Outcome store(const QString& settingsFile, const QString& password, QString* why) = 0;
    virtual Outcome lookup(const QString& settingsFile, QString* password, QString* why) = 0;
    virtual Outcome remove(const QString& settingsFile, QString* why) = 0;
};

} // namespace gw
