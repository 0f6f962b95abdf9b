#pragma once
// A clock that stands still until the test sets or advances it. Its boot clock moves with the
// time that passes; `stepWall` moves the wall clock alone, as a clock set by hand or by a time
// service does.
#include "shared/Clock.h"

namespace gw {

class ManualClock : public Clock
{
public:
    explicit ManualClock(TDateTime start = 0)
        : m_now(start)
    {
    }
    TDateTime now() const override { return m_now; }
    double bootSeconds() const override { return m_boot; }
    // Setting a later time lets that time pass; setting an earlier one steps the wall clock back.
    void set(TDateTime value)
    {
        if (value > m_now)
            m_boot += (value - m_now) * 86400.0;
        m_now = value;
    }
    void advanceSeconds(double s)
    {
        m_now += s / 86400.0;
        m_boot += s;
    }
    void stepWall(double s) { m_now += s / 86400.0; }

private:
    TDateTime m_now;
    double m_boot = 1000.0;
};

} // namespace gw
