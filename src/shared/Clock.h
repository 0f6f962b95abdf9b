#pragma once
#include "shared/DateTime.h"

#include <ctime>

namespace gw {

// Source of Now. Tests hand in a clock of their own and drive simulated days.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual TDateTime now() const = 0;
    // The same instant in UTC. A local date-time is ambiguous in the hour the clocks go back,
    // so the real clock answers from the system's UTC time; other clocks convert now().
    virtual QDateTime nowUtc() const { return fromDateTime(now()).toUTC(); }
    // Seconds since boot, suspend included, never stepped: what "every N minutes" is measured
    // on, so a wall clock set back or forward neither stalls nor rushes the intervals. A clock
    // without one of its own counts from Now.
    virtual double bootSeconds() const { return now() * 86400.0; }
};

class SystemClock : public Clock
{
public:
    TDateTime now() const override { return toDateTime(QDateTime::currentDateTime()); }
    QDateTime nowUtc() const override { return QDateTime::currentDateTimeUtc(); }
    double bootSeconds() const override
    {
        timespec ts {};
        clock_gettime(CLOCK_BOOTTIME, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
    }
};

} // namespace gw
