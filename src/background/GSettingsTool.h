#pragma once
// GSettings keys written through the `gsettings` tool. In-process GIO would abort the whole
// program on a missing schema, gives no time limit while dconf's writer is busy, and reports a
// refused write only as a warning; a child process has a time limit, and reading the key back
// in a fresh one shows whether the value was really stored.
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

// Empty on success, else the reason.
QString writeGSettings(const GSettingsWrite& write, int timeoutMs);

} // namespace gw
