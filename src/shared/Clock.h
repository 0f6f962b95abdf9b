#pragma once
#include "shared/DateTime.h"

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
};

class SystemClock : public Clock
{
public:
    TDateTime now() const override { return toDateTime(QDateTime::currentDateTime()); }
    QDateTime nowUtc() const override { return QDateTime::currentDateTimeUtc(); }
};

} // namespace gw
