// Run by the clock-rights test as an unprivileged user: asks the real clock setter to set the
// clock to the time it already has. Exits 0 when refused for want of rights, 1 when refused
// otherwise, 2 when the clock was set, 3 when started with root's rights (it never tries then).
#include "timesync/SystemClockSetter.h"

#include <QDateTime>
#include <cstdio>
#include <unistd.h>

int main()
{
    if (geteuid() == 0)
        return 3;
    gw::SystemClockSetter setter;
    if (setter.setTime(QDateTime::currentDateTimeUtc()))
        return 2;
    std::printf("%s\n", setter.lastError().toLocal8Bit().constData());
    return setter.lackedRights() ? 0 : 1;
}
