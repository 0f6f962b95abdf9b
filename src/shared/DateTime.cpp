#include "shared/DateTime.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace gw {

namespace {
    const QDate kEpoch(1899, 12, 30);
    constexpr qint64 kMsPerDay = 86400000;

    QString timeFormatWithSeconds()
    {
        // The locale's long time format carries the zone ("t"); the log wants none.
        QString format = QLocale::system().timeFormat(QLocale::LongFormat);
        format.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
        if (!format.contains(QLatin1Char('s')))
            format = QStringLiteral("HH:mm:ss");
        return format.trimmed();
    }
} // namespace

TDateTime toDateTime(const QDateTime& local)
{
    const QDateTime l = local.toLocalTime();
    const double days = static_cast<double>(kEpoch.daysTo(l.date()));
    const double ms = static_cast<double>(l.time().msecsSinceStartOfDay());
    return days + ms / static_cast<double>(kMsPerDay);
}

QDateTime fromDateTime(TDateTime value)
{
    const double whole = std::floor(value);
    auto ms = static_cast<qint64>(std::llround((value - whole) * static_cast<double>(kMsPerDay)));
    qint64 days = static_cast<qint64>(whole);
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        ++days;
    }
    return QDateTime(kEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

QString DateTimeToStr(const QDateTime& local)
{
    const QDateTime l = local.toLocalTime();
    const QLocale locale = QLocale::system();
    const QString date = locale.toString(l.date(), QLocale::ShortFormat);
    const QTime t = l.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return date;
    return date + QLatin1Char(' ') + locale.toString(t, timeFormatWithSeconds());
}

QString DateTimeToStr(TDateTime value)
{
    return DateTimeToStr(fromDateTime(value));
}

int hourOf(TDateTime value)
{
    return fromDateTime(value).time().hour();
}

int minuteOf(TDateTime value)
{
    return fromDateTime(value).time().minute();
}

} // namespace gw
