#include "downloads/RepeatRequestAnswer.h"

namespace gw {

QString notUpdatedSince(const QByteArray& refusalBody)
{
    static const QByteArray kPhrase = QByteArrayLiteral("has not updated since");
    const qsizetype at = refusalBody.indexOf(kPhrase);
    if (at < 0)
        return QString();
    QByteArray rest = refusalBody.mid(at + kPhrase.size());
    const qsizetype lineEnd = rest.indexOf('\n');
    if (lineEnd >= 0)
        rest.truncate(lineEnd);
    // Only what a date can hold goes into the log: a page of markup after it does not.
    QString date;
    for (const char c : rest.trimmed()) {
        const bool dateChar = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' '
            || c == '-' || c == ':' || c == '.' || c == '+' || c == 'T' || c == ',' || c == '/';
        if (!dateChar)
            break;
        date += QLatin1Char(c);
    }
    date = date.trimmed();
    if (date.size() > 40)
        date.truncate(40);
    return date;
}

} // namespace gw
