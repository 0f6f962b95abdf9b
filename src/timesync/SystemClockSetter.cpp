#include "timesync/SystemClockSetter.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace gw {

bool SystemClockSetter::setTime(const QDateTime& utc)
{
    m_lackedRights = false;
    if (!utc.isValid()) {
        m_lastError = QStringLiteral("invalid time");
        return false;
    }
    const qint64 ms = utc.toMSecsSinceEpoch();
    timespec ts {};
    ts.tv_sec = static_cast<time_t>(ms / 1000);
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    if (ts.tv_nsec < 0) {
        ts.tv_nsec += 1000000000L;
        --ts.tv_sec;
    }
    if (clock_settime(CLOCK_REALTIME, &ts) != 0) {
        m_lackedRights = errno == EPERM;
        m_lastError = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_lastError.clear();
    return true;
}

} // namespace gw
