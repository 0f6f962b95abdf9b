#include "downloads/HostGaps.h"

#include "downloads/BuiltInSources.h"

#include <algorithm>

namespace gw {

HostGaps::HostGaps(std::function<QString()> settingsFile)
    : m_values(std::move(settingsFile))
{
}

bool HostGaps::isSatelliteSite(const QString& url)
{
    return sources::onHostOf(sources::SatelliteElements, url);
}

// The built-in sources say which hosts keep a gap.
double HostGaps::minimumGap(const QString& url)
{
    return sources::gapDays(url);
}

HostGaps::Hold HostGaps::holdFor(const QString& url, TDateTime now) const
{
    Hold hold;
    hold.until = m_values.number(NotBeforeSection, url);
    if (now > 0 && hold.until > now + LongestServerWait)
        hold.until = now + LongestServerWait;
    if (hold.until > 0) {
        hold.failure = m_values.text(NotBeforeWhySection, url);
        hold.why = hold.failure.isEmpty() ? Hold::ServerAsked : Hold::LastAttemptFailed;
    }
    const double gap = minimumGap(url);
    double last = m_values.number(TimesSection, sources::hostKey(url));
    if (now > 0 && last > now)
        last = now;
    // A wait the server asked for that ends with the gap keeps its reason (kept to 8 decimals).
    if (gap > 0 && last > 0 && last + gap > hold.until + 1e-6) {
        hold.until = last + gap;
        hold.why = Hold::HostGap;
        hold.failure.clear();
    }
    return hold;
}

void HostGaps::setNotBefore(const QString& url, TDateTime when, const QString& failure)
{
    m_values.write(
        { { NotBeforeSection, url, AddressValues::numberText(when) }, { NotBeforeWhySection, url, failure } });
}

void HostGaps::noteRequest(const QString& url, TDateTime now)
{
    if (minimumGap(url) > 0)
        m_values.write(TimesSection, sources::hostKey(url), AddressValues::numberText(now));
}

void HostGaps::noteAttempt(const QString& url, TDateTime now, bool reached)
{
    const bool gap = reached && minimumGap(url) > 0;
    const bool builtIn = sources::forAddress(url) != nullptr;
    if (gap && builtIn)
        m_values.write({ { TimesSection, sources::hostKey(url), AddressValues::numberText(now) },
            { AskedSection, url, AddressValues::numberText(now) } });
    else if (gap)
        noteRequest(url, now);
    else if (builtIn)
        m_values.write(AskedSection, url, AddressValues::numberText(now));
}

TDateTime HostGaps::lastAsked(const QString& url, TDateTime now) const
{
    return std::min(m_values.number(AskedSection, url), now);
}

QString HostGaps::stopReason(const QString& url) const
{
    return m_values.text(StoppedSection, url);
}

void HostGaps::stop(const QString& url, const QString& reason)
{
    m_values.write(StoppedSection, url, reason);
}

void HostGaps::resume(const QString& url)
{
    if (!stopReason(url).isEmpty())
        m_values.write(StoppedSection, url, QString());
}

} // namespace gw
