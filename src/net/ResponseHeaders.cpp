#include "net/ResponseHeaders.h"

#include <QRegularExpression>

#include <algorithm>

namespace gw {

namespace {
    QByteArrayView withoutLineEnd(QByteArrayView line)
    {
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        return line;
    }
} // namespace

void ResponseHeaders::addLine(QByteArrayView line)
{
    if (line.startsWith("HTTP/")) {
        // Each answer (a redirect, a proxy's tunnel reply, the final one) starts afresh,
        // so what is left at the end belongs to the last answer.
        m_statusLine = withoutLineEnd(line).trimmed().toByteArray();
        m_rawHeaders.clear();
        m_inHeaders = true;
    } else if (line.trimmed().isEmpty()) {
        m_inHeaders = false;
    } else if (m_inHeaders) {
        m_rawHeaders += withoutLineEnd(line);
        m_rawHeaders += "\r\n";
    }
}

namespace {

    int monthOf(const QString& name)
    {
        static const QStringList kMonths
            = { QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"), QStringLiteral("apr"),
                  QStringLiteral("may"), QStringLiteral("jun"), QStringLiteral("jul"), QStringLiteral("aug"),
                  QStringLiteral("sep"), QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec") };
        return kMonths.indexOf(name.toLower()) + 1;
    }

    QDateTime utc(int year, const QString& month, int day, int hour, int minute, int second)
    {
        const QDate date(year, monthOf(month), day);
        const QTime time(hour, minute, second);
        if (!date.isValid() || !time.isValid())
            return QDateTime();
        return QDateTime(date, time, Qt::UTC);
    }

} // namespace

QDateTime httpDate(QByteArrayView text, const QDateTime& nowUtc)
{
    const QString value = QString::fromLatin1(text).trimmed();
    static const QRegularExpression kFixDate(
        QStringLiteral("^[A-Za-z]{3}, +(\\d{1,2}) +([A-Za-z]{3}) +(\\d{4}) +(\\d\\d):(\\d\\d):(\\d\\d) +GMT$"));
    static const QRegularExpression kRfc850(
        QStringLiteral("^[A-Za-z]+, +(\\d{1,2})-([A-Za-z]{3})-(\\d\\d) +(\\d\\d):(\\d\\d):(\\d\\d) +GMT$"));
    static const QRegularExpression kAsctime(
        QStringLiteral("^[A-Za-z]{3} +([A-Za-z]{3}) +(\\d{1,2}) +(\\d\\d):(\\d\\d):(\\d\\d) +(\\d{4})$"));
    QRegularExpressionMatch m = kFixDate.match(value);
    if (m.hasMatch())
        return utc(m.captured(3).toInt(), m.captured(2), m.captured(1).toInt(), m.captured(4).toInt(),
            m.captured(5).toInt(), m.captured(6).toInt());
    m = kRfc850.match(value);
    if (m.hasMatch()) {
        const int thisYear = nowUtc.date().year();
        int year = thisYear - thisYear % 100 + m.captured(3).toInt();
        if (year > thisYear + 50)
            year -= 100;
        return utc(year, m.captured(2), m.captured(1).toInt(), m.captured(4).toInt(), m.captured(5).toInt(),
            m.captured(6).toInt());
    }
    m = kAsctime.match(value);
    if (m.hasMatch())
        return utc(m.captured(6).toInt(), m.captured(1), m.captured(2).toInt(), m.captured(3).toInt(),
            m.captured(4).toInt(), m.captured(5).toInt());
    return QDateTime::fromString(value, Qt::RFC2822Date).toUTC();
}

QList<QByteArray> headerValues(const QByteArray& rawHeaders, QByteArrayView name)
{
    QList<QByteArray> values;
    for (const QByteArray& line : rawHeaders.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            values << line.mid(colon + 1).trimmed();
    }
    return values;
}

double retryAfterSeconds(const QByteArray& rawHeaders, const QDateTime& nowUtc)
{
    double wait = -1;
    for (const QByteArray& value : headerValues(rawHeaders, "retry-after")) {
        bool isNumber = false;
        const qlonglong seconds = value.toLongLong(&isNumber);
        if (isNumber && seconds >= 0) {
            wait = std::max(wait, static_cast<double>(seconds));
            continue;
        }
        const QDateTime when = httpDate(value, nowUtc);
        if (when.isValid())
            wait = std::max(wait, std::max(0.0, static_cast<double>(nowUtc.msecsTo(when)) / 1000.0));
    }
    return wait;
}

QDateTime lastModifiedFromFileTime(qint64 fileTime)
{
    if (fileTime < 0)
        return QDateTime();
    return QDateTime::fromSecsSinceEpoch(fileTime, Qt::UTC);
}

} // namespace gw
