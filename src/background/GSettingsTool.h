#pragma once
// GSettings keys written through the `gsettings` tool. In-process GIO would abort the whole
// program on a missing schema, gives no time limit while dconf's writer is busy, and reports a
// refused write only as a warning; a child process has a time limit, and reading the key back
// in a fresh one shows whether the value was really stored.
#include "background/DesktopBackend.h"

#include <QPair>
#include <QString>
#include <QVector>

namespace gw {

// "zoom" for one monitor, "spanned" for more, as GVariant text.
QString spanOption(int monitors);

// A string as GVariant text (single quotes, backslash escapes).
QString gvariantString(const QString& value);

struct GSettingsWrite
{
    QString schema;
    QVector<QPair<QString, QString>> keys; // key, GVariant text; a key the schema lacks is skipped
    QString checkKey; // read back afterwards: must equal its written value
};

// Empty on success, else the reason. `unconfirmed` (where given) tells a write whose every key
// was set but whose read-back saw another value from one that failed outright.
QString writeGSettings(const GSettingsWrite& write, int timeoutMs, bool* unconfirmed = nullptr);

// A desktop whose background lives in GSettings keys. A write whose read-back disagrees (the
// tool reading another store than the desktop's, as in a sandbox or with another
// XDG_CONFIG_HOME) may have reached the desktop all the same.
class GSettingsBackend : public DesktopBackend
{
public:
    bool mayShowDespiteError() const override { return m_unconfirmed; }

protected:
    QString writeKeys(const GSettingsWrite& write, int timeoutMs)
    {
        return writeGSettings(write, timeoutMs, &m_unconfirmed);
    }

private:
    bool m_unconfirmed = false;
};

} // namespace gw
