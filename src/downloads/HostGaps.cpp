#include "downloads/HostGaps.h"

#include "downloads/BuiltInSources.h"
#include "downloads/DownloadRecords.h"
#include "settings/IniFile.h"
#include "shared/Error.h"

#include <QDateTime>
#include <QUrl>

#include <algorithm>

namespace gw {

namespace {

    QString hostKey(const QString& url)
    {
        return sources::hostKey(url);
    }

    void change(const QString& file, const std::function<void(IniFile&)>& edit)
    {
        if (file.isEmpty())
            return;
        IniFile ini(file);
        QString error;
        if (!ini.load(&error))
            throw Error(error);
        edit(ini);
        if (!ini.save(&error))
            throw Error(error);
    }

} // namespace

HostGaps::HostGaps(std::function<QString()> settingsFile)
    : m_settingsFile(std::move(settingsFile))
{
}

// The built-in sources say which hosts keep a gap and which ask to be left alone on a refusal.
bool HostGaps::isSatelliteSite(const QString& url)
{
    return sources::stopsOnRefusal(url);
}

double HostGaps::minimumGap(const QString& url)
{
    return sources::gapDays(url);
}

TDateTime HostGaps::allowedFrom(const QString& url) const
{
    const QString file = m_settingsFile();
    if (file.isEmpty())
        return 0;
    const IniFile ini(file);
    TDateTime allowed = ini.readString(NotBeforeSection, DownloadRecords::keyFor(url), QString()).toDouble();
    const double gap = minimumGap(url);
    bool ok = false;
    const double last = ini.readString(TimesSection, hostKey(url), QString()).toDouble(&ok);
    if (gap > 0 && ok && last > 0)
        allowed = std::max(allowed, last + gap);
    return allowed;
}

double HostGaps::askedWaitSeconds(const QByteArray& rawHeaders, TDateTime now)
{
    double wait = 0;
    for (const QByteArray& line : rawHeaders.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "retry-after") {
            bool seconds = false;
            const double s = value.toDouble(&seconds);
            if (seconds) {
                wait = std::max(wait, s);
            } else {
                const QDateTime when = QDateTime::fromString(QString::fromLatin1(value), Qt::RFC2822Date);
                if (when.isValid())
                    wait = std::max(wait, (toDateTime(when.toLocalTime()) - now) * 86400.0);
            }
        } else if (name == "cache-control") {
            for (const QByteArray& directive : value.split(',')) {
                const QByteArray d = directive.trimmed().toLower();
                if (d.startsWith("max-age="))
                    wait = std::max(wait, d.mid(8).toDouble());
            }
        }
    }
    // A server is not allowed to hold the program back for longer than a day.
    return std::clamp(wait, 0.0, 86400.0);
}

void HostGaps::setNotBefore(const QString& url, TDateTime when)
{
    change(m_settingsFile(), [&](IniFile& ini) {
        ini.writeString(NotBeforeSection, DownloadRecords::keyFor(url), QString::number(when, 'f', 8));
    });
}

void HostGaps::noteRequest(const QString& url, TDateTime now)
{
    if (minimumGap(url) <= 0)
        return;
    change(m_settingsFile(),
        [&](IniFile& ini) { ini.writeString(TimesSection, hostKey(url), QString::number(now, 'f', 8)); });
}

QString HostGaps::stopReason(const QString& url) const
{
    const QString file = m_settingsFile();
    return file.isEmpty() ? QString()
                          : IniFile(file).readString(StoppedSection, DownloadRecords::keyFor(url), QString());
}

void HostGaps::stop(const QString& url, const QString& reason)
{
    change(
        m_settingsFile(), [&](IniFile& ini) { ini.writeString(StoppedSection, DownloadRecords::keyFor(url), reason); });
}

void HostGaps::resume(const QString& url)
{
    if (stopReason(url).isEmpty())
        return;
    change(m_settingsFile(), [&](IniFile& ini) { ini.deleteKey(StoppedSection, DownloadRecords::keyFor(url)); });
}

} // namespace gw
