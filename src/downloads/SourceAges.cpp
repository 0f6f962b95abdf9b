#include "downloads/SourceAges.h"

#include "downloads/BuiltInSources.h"
#include "downloads/ContentAge.h"
#include "net/ResponseHeaders.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace gw {

SourceAges::SourceAges(std::function<QString()> settingsFile)
    : m_values(std::move(settingsFile))
{
}

TDateTime SourceAges::contentDate(const QString& url) const
{
    return m_values.number(ContentSection, url);
}

QString SourceAges::noteAnswer(const QString& url, const QByteArray& rawHeaders, const QString& file, TDateTime now)
{
    const sources::Source* source = sources::forAddress(url);
    const sources::ContentAge how = source ? source->age : sources::ContentAge::LastModified;
    const QDateTime nowUtc = fromDateTime(now).toUTC();
    QString ignored;
    QDateTime date
        = contentage::contentDate(how, rawHeaders, QFileInfo(file).isFile() ? file : QString(), nowUtc, &ignored);
    // An answer 304 need not repeat the date: the one kept with the copy on disk still holds.
    if (!date.isValid() && ignored.isEmpty()) {
        date = httpDate(m_values.text(ValidatorSection, url).toLatin1(), nowUtc);
        if (date > nowUtc.addSecs(contentage::ClockSkewSeconds))
            date = QDateTime();
    }
    QString line;
    if (!ignored.isEmpty() && m_values.text(FutureSection, url).isEmpty()) {
        m_values.write(FutureSection, url, ignored);
        line = QStringLiteral(" - ") + url + QStringLiteral(" states a date from the future (") + ignored
            + QStringLiteral("); it is not taken as the content's date");
    } else if (ignored.isEmpty() && !m_values.text(FutureSection, url).isEmpty()) {
        m_values.write(FutureSection, url, QString()); // a later spell is told again
    }
    if (!date.isValid())
        return line;
    const TDateTime content = toDateTime(date.toLocalTime());
    // Unchanged: the settings file is not written.
    if (std::abs(content - contentDate(url)) > OneSecond / 2)
        m_values.write(ContentSection, url, AddressValues::numberText(content));
    return line;
}

bool SourceAges::isStale(const QString& url, TDateTime content, TDateTime now)
{
    const sources::Source* source = sources::forAddress(url);
    // An event list's newest observation is old while nature is quiet (a volcano erupting for
    // months): its age tells how current the layer is, never that the source stopped.
    if (!source || content <= 0 || source->age == sources::ContentAge::NewestDate)
        return false;
    return now - content > std::max(3 * source->cadenceDays(), 1.0);
}

QString SourceAges::staleNotice(const QString& url, TDateTime now)
{
    const TDateTime content = contentDate(url);
    if (!isStale(url, content, now))
        return QString();
    if (std::floor(m_values.number(NoticeSection, url)) == std::floor(now))
        return QString();
    m_values.write(NoticeSection, url, AddressValues::numberText(now));
    return QStringLiteral(" - Stale: ") + url + QStringLiteral(" has not changed since ") + DateTimeToStr(content);
}

} // namespace gw
