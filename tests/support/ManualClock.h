#pragma once
// A clock that stands still until the test sets or advances it.
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
    void set(TDateTime value) { m_now = value; }
    void advanceSeconds(double s) { m_now += s / 86400.0; }

private:
    TDateTime m_now;
};

} // namespace gw
