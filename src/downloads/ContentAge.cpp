#include "downloads/ContentAge.h"

#include "net/ResponseHeaders.h"

#include <QFile>
#include <QRegularExpression>

namespace gw::contentage {

namespace {

    // The feeds put their metadata first; a satellite list of the whole catalogue is ~2 MB.
    constexpr qint64 kFeedHead = 4096;
    constexpr qint64 kTleBytes = 4 * 1024 * 1024;
    // An event list of thousands of observations is well under this.
    constexpr qint64 kEventBytes = 8 * 1024 * 1024;

    QByteArray head(const QString& file, qint64 bytes)
    {
        QFile f(file);
        return !file.isEmpty() && f.open(QIODevice::ReadOnly) ? f.read(bytes) : QByteArray();
    }

    // Columns 19 to 32 of line 1: two-digit year (57 to 99: 1900s) and day of the year with
    // its fraction, day 1 being 1 January at 0:00 UTC.
    QDateTime tleEpoch(const QByteArray& line)
    {
        if (line.size() < 32 || !line.startsWith("1 "))
            return {};
        bool yearOk = false, dayOk = false;
        const int yy = line.mid(18, 2).toInt(&yearOk);
        const double day = line.mid(20, 12).trimmed().toDouble(&dayOk);
        if (!yearOk || !dayOk || day < 1 || day >= 367)
            return {};
        const QDateTime newYear(QDate(yy < 57 ? 2000 + yy : 1900 + yy, 1, 1), QTime(0, 0), Qt::UTC);
        return newYear.addMSecs(static_cast<qint64>((day - 1) * 86400000.0));
    }

} // namespace

QDateTime lastModified(const QByteArray& rawHeaders)
{
    for (const QByteArray& value : headerValues(rawHeaders, "last-modified")) {
        const QDateTime when = httpDate(value, QDateTime::currentDateTimeUtc());
        if (when.isValid())
            return when;
    }
    return {};
}

QDateTime feedGenerated(const QString& file)
{
    static const QRegularExpression generated(QStringLiteral("\"generated\"\\s*:\\s*(\\d{10,16})"));
    const QByteArray text = head(file, kFeedHead);
    if (!text.trimmed().startsWith('{'))
        return {};
    const QRegularExpressionMatch m = generated.match(QString::fromLatin1(text));
    if (!m.hasMatch())
        return {};
    return QDateTime::fromMSecsSinceEpoch(m.captured(1).toLongLong(), Qt::UTC);
}

QDateTime newestTleEpoch(const QString& file)
{
    QDateTime newest;
    for (const QByteArray& line : head(file, kTleBytes).split('\n')) {
        const QDateTime epoch = tleEpoch(line.trimmed());
        if (epoch.isValid() && (!newest.isValid() || epoch > newest))
            newest = epoch;
    }
    return newest;
}

QDateTime newestEventDate(const QString& file)
{
    static const QRegularExpression date(QStringLiteral("\"date\"\\s*:\\s*\"([^\"]{10,40})\""));
    const QByteArray text = head(file, kEventBytes);
    if (!text.trimmed().startsWith('{'))
        return {};
    QDateTime newest;
    for (const QRegularExpressionMatch& m : date.globalMatch(QString::fromUtf8(text))) {
        const QDateTime when = QDateTime::fromString(m.captured(1), Qt::ISODate);
        if (when.isValid() && (!newest.isValid() || when > newest))
            newest = when.toUTC();
    }
    return newest;
}

QDateTime contentDate(sources::ContentAge how, const QByteArray& rawHeaders, const QString& file)
{
    QDateTime stated;
    switch (how) {
    case sources::ContentAge::FeedGenerated:
        stated = feedGenerated(file);
        break;
    case sources::ContentAge::TleEpoch:
        stated = newestTleEpoch(file);
        break;
    case sources::ContentAge::NewestDate:
        stated = newestEventDate(file);
        break;
    case sources::ContentAge::LastModified:
        break;
    }
    return stated.isValid() ? stated : lastModified(rawHeaders);
}

} // namespace gw::contentage
