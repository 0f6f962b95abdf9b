#pragma once
#include "timesync/ClockSetter.h"

#include <QString>

namespace gw {

// The real clock: CLOCK_REALTIME, which needs CAP_SYS_TIME. Only the main window creates one.
class SystemClockSetter : public ClockSetter
{
public:
    bool setTime(const QDateTime& utc) override;
    // The system's reason for the last refusal, for diagnostics.
    QString lastError() const { return m_lastError; }
    bool lackedRights() const override { return m_lackedRights; }

private:
    QString m_lastError;
    bool m_lackedRights = false;
};

} // namespace gw
