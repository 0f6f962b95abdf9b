#include "downloads/RetryBackoff.h"

#include "scheduler/CentralScheduler.h"

#include <algorithm>
#include <cmath>

namespace gw {

void RetryBackoff::failed(TDateTime now)
{
    // 2^(n-1) minutes, and no shift beyond what the cap needs.
    const int exponent = std::min(m_failures, 6);
    const int minutes = std::min(1 << exponent, LongestWaitMinutes);
    ++m_failures;
    m_lastFailure = now;
    m_nextTry = now + minutes * OneMinute;
}

void RetryBackoff::followClockStep(double days)
{
    if (m_failures == 0)
        return;
    m_lastFailure += days;
    m_nextTry += days;
}

bool RetryBackoff::listedTimeBetween(const QStringList& timeLines, TDateTime since, TDateTime now)
{
    if (now <= since)
        return false;
    const double today = std::floor(now);
    for (const QString& line : timeLines) {
        const auto time = parseTimeLine(line);
        if (!time || time->hour > 23 || time->minute > 59)
            continue;
        // Its latest occurrence no later than now: today, or yesterday when still to come.
        TDateTime at = today + (time->hour * 60 + time->minute) * OneMinute;
        if (at > now)
            at -= 1;
        if (at > since)
            return true;
    }
    return false;
}

} // namespace gw
