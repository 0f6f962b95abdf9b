#include "downloads/SourceAges.h"

#include "downloads/BuiltInSources.h"
#include "downloads/ContentAge.h"
#include "downloads/DownloadRecords.h"
#include "settings/IniFile.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace gw {

namespace {

    double readNumber(const QString& file, const QString& section, const QString& url)
    {
        if (file.isEmpty())
            return 0;
        bool ok = false;
        const double value = IniFile(file).readString(section, DownloadRecords::keyFor(url), QString()).toDouble(&ok);
        return ok && std::isfinite(value) ? value : 0;
    }

    void writeNumber(const QString& file, const QString& section, const QString& url, double value)
    {
        IniFile::change(file, [&](IniFile& ini) {
            ini.writeString(section, DownloadRecords::keyFor(url), QString::number(value, 'f', 8));
        });
    }

} // namespace

SourceAges::SourceAges(std::function<QString()> settingsFile)
    : m_settingsFile(std::move(settingsFile))
{
}

TDateTime SourceAges::contentDate(const QString& url) const
{
    return readNumber(m_settingsFile(), ContentSection, url);
}

void SourceAges::noteAnswer(const QString& url, const QByteArray& rawHeaders, const QString& file)
{
    const sources::Source* source = sources::forAddress(url);
    const sources::ContentAge how = source ? source->age : sources::ContentAge::LastModified;
    QDateTime date = contentage::contentDate(how, rawHeaders, QFileInfo(file).isFile() ? file : QString());
    const QString settings = m_settingsFile();
    // An answer 304 need not repeat the date: the one kept with the copy on disk still holds.
    if (!date.isValid() && !settings.isEmpty())
        date = contentage::lastModified("Last-Modified: "
            + IniFile(settings).readString(ValidatorSection, DownloadRecords::keyFor(url), QString()).toLatin1());
    if (!date.isValid())
        return;
    const TDateTime content = toDateTime(date.toLocalTime());
    // Unchanged: the settings file is not written.
    if (std::abs(content - contentDate(url)) > OneSecond / 2)
        writeNumber(settings, ContentSection, url, content);
}

bool SourceAges::isStale(const QString& url, TDateTime content, TDateTime now)
{
    const sources::Source* source = sources::forAddress(url);
    if (!source || content <= 0)
        return false;
    return now - content > std::max(3 * source->cadenceDays(), 1.0);
}

QString SourceAges::staleNotice(const QString& url, TDateTime now)
{
    const TDateTime content = contentDate(url);
    if (!isStale(url, content, now))
        return QString();
    const QString file = m_settingsFile();
    if (std::floor(readNumber(file, NoticeSection, url)) == std::floor(now))
        return QString();
    writeNumber(file, NoticeSection, url, now);
    return QStringLiteral(" - Stale: ") + url + QStringLiteral(" has not changed since ") + DateTimeToStr(content);
}

} // namespace gw
