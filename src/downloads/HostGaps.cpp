#include "downloads/HostGaps.h"

#include "downloads/BuiltInSources.h"
#include "downloads/DownloadRecords.h"
#include "settings/IniFile.h"

#include <QUrl>

#include <algorithm>

namespace gw {

namespace {

    QString hostKey(const QString& url)
    {
        return sources::hostKey(url);
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

HostGaps::Hold HostGaps::holdFor(const QString& url) const
{
    Hold hold;
    const QString file = m_settingsFile();
    if (file.isEmpty())
        return hold;
    const IniFile ini(file);
    const QString key = DownloadRecords::keyFor(url);
    hold.until = ini.readString(NotBeforeSection, key, QString()).toDouble();
    if (hold.until > 0) {
        hold.failure = ini.readString(NotBeforeWhySection, key, QString());
        hold.why = hold.failure.isEmpty() ? Hold::ServerAsked : Hold::LastAttemptFailed;
    }
    const double gap = minimumGap(url);
    bool ok = false;
    const double last = ini.readString(TimesSection, hostKey(url), QString()).toDouble(&ok);
    // A wait the server asked for that ends with the gap keeps its reason (kept to 8 decimals).
    if (gap > 0 && ok && last > 0 && last + gap > hold.until + 1e-6) {
        hold.until = last + gap;
        hold.why = Hold::HostGap;
        hold.failure.clear();
    }
    return hold;
}

void HostGaps::setNotBefore(const QString& url, TDateTime when, const QString& failure)
{
    IniFile::change(m_settingsFile(), [&](IniFile& ini) {
        const QString key = DownloadRecords::keyFor(url);
        ini.writeString(NotBeforeSection, key, QString::number(when, 'f', 8));
        if (failure.isEmpty())
            ini.deleteKey(NotBeforeWhySection, key);
        else
            ini.writeString(NotBeforeWhySection, key, failure);
    });
}

void HostGaps::noteRequest(const QString& url, TDateTime now)
{
    if (minimumGap(url) <= 0)
        return;
    IniFile::change(m_settingsFile(),
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
    IniFile::change(
        m_settingsFile(), [&](IniFile& ini) { ini.writeString(StoppedSection, DownloadRecords::keyFor(url), reason); });
}

void HostGaps::resume(const QString& url)
{
    if (stopReason(url).isEmpty())
        return;
    IniFile::change(
        m_settingsFile(), [&](IniFile& ini) { ini.deleteKey(StoppedSection, DownloadRecords::keyFor(url)); });
}

} // namespace gw
