#pragma once
// What the network lets the timed downloads do: after a resume they wait until the network is
// back rather than fail their reachability test at once.
#include <limits>

namespace gw {

class NetworkGate
{
public:
    static constexpr double Forever = std::numeric_limits<double>::infinity();

    virtual ~NetworkGate() = default;
    // Seconds from `bootNow` (the boot clock) until timed downloads may start: 0 when they may
    // start now, Forever when only an event of the network can end the wait.
    virtual double downloadsHeldFor(double bootNow) const = 0;

    enum class Download { Cloud, List };
    // Whether this download waits for a connection that is not metered; `due`: it is due now,
    // so a wait that begins is reported.
    virtual bool waitsForUnmetered(Download, bool /*due*/) { return false; }
};

} // namespace gw
