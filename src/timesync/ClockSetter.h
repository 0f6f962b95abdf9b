#pragma once
// Sets the computer's clock. The time sync never touches the clock except through this
// interface, and takes it without a default, so a test can only ever hand in a fake.
#include <QDateTime>

namespace gw {

class ClockSetter
{
public:
    virtual ~ClockSetter() = default;
    // Sets the clock to `utc`; false when the system refused (no right to change the clock).
    virtual bool setTime(const QDateTime& utc) = 0;
    // The last refusal was for want of the right to set the clock.
    virtual bool lackedRights() const { return false; }
};

} // namespace gw
