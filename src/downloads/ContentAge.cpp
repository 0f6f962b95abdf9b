#include "downloads/ContentAge.h"

#include "feeds/JsonStream.h"
#include "net/ResponseHeaders.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>

#include <cmath>

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
    QByteArray text = head(file, kFeedHead);
    QBuffer device(&text);
    device.open(QIODevice::ReadOnly);
    // Only the head is read: the document is cut short, and nothing after "metadata" counts.
    feeds::JsonStream json(device, 64, 1024);
    if (json.next() != feeds::JsonStream::Token::BeginObject)
        return {};
    double generated = NAN;
    json.members([&](const QByteArray& key) {
        const feeds::JsonStream::Token begun = json.next();
        if (key != "metadata" || begun != feeds::JsonStream::Token::BeginObject)
            return json.skip(begun);
        json.members([&](const QByteArray& inner) {
            const feeds::JsonStream::Token value = json.next();
            if (inner == "generated" && value == feeds::JsonStream::Token::Number)
                generated = json.number();
            return json.skip(value);
        });
        return false; // the feed's own metadata has been read
    });
    // Beyond the year 275759 a date cannot be held; such a number is no date at all.
    constexpr double kLatest = 8.64e15;
    if (!std::isfinite(generated) || generated < 0)
        return {};
    if (generated > kLatest)
        return QDateTime::fromMSecsSinceEpoch(qint64(kLatest), Qt::UTC);
    return QDateTime::fromMSecsSinceEpoch(qint64(generated), Qt::UTC);
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

QDateTime contentDate(
    sources::ContentAge how, const QByteArray& rawHeaders, const QString& file, const QDateTime& now, QString* ignored)
{
    const QDateTime latest = now.addSecs(ClockSkewSeconds);
    const auto usable = [&](const QDateTime& date, const char* what) {
        if (!date.isValid() || date <= latest)
            return date;
        if (ignored && ignored->isEmpty())
            *ignored = QLatin1String(what) + QLatin1Char(' ')
                + date.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral(" UTC");
        return QDateTime();
    };
    QDateTime stated;
    switch (how) {
    case sources::ContentAge::FeedGenerated:
        stated = usable(feedGenerated(file), "generated");
        break;
    case sources::ContentAge::TleEpoch:
        stated = usable(newestTleEpoch(file), "element epoch");
        break;
    case sources::ContentAge::NewestDate:
        stated = usable(newestEventDate(file), "newest event date");
        break;
    case sources::ContentAge::LastModified:
        break;
    }
    return stated.isValid() ? stated : usable(lastModified(rawHeaders), "Last-Modified");
}

} // namespace gw::contentage
