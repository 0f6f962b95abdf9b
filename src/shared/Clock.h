#pragma once
#include "shared/DateTime.h"

namespace gw {

// Source of Now. Tests hand in a ManualClock and drive simulated days.
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

class ManualClock : public Clock
{
public:
    explicit ManualClock(TDateTime start = 0) : m_now(start) {}
    TDateTime now() const override { return m_now; }
    void set(TDateTime value) { m_now = value; }
    void advanceSeconds(double s) { m_now += s / 86400.0; }

private:
    TDateTime m_now;
};

} // namespace gw
