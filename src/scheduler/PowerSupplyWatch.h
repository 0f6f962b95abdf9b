#pragma once
// Whether anything of the kernel's power supplies changed since the last look, learnt from the
// kernel's device events (a netlink socket, no helper daemon): the scheduler reads the
// power-supply folder again only after a change. The socket is read only when asked, without
// blocking, so watching costs no wake-up; the kernel keeps the events meanwhile.
#include <QByteArray>

namespace gw {

class PowerSupplyWatch
{
public:
    PowerSupplyWatch();
    ~PowerSupplyWatch();
    PowerSupplyWatch(const PowerSupplyWatch&) = delete;
    PowerSupplyWatch& operator=(const PowerSupplyWatch&) = delete;

    // False when the kernel's events cannot be received here: then every look must read.
    bool watching() const { return m_fd >= 0; }
    // Readable when events are waiting; -1 when not watching.
    int fd() const { return m_fd; }
    // True when a power-supply event came since the last call, or when events may have been
    // lost (the kernel's queue overflowed) or cannot be received at all.
    bool takeChange();

    // A kernel event ("ACTION@DEVPATH\0KEY=VALUE\0...") of the power-supply class.
    static bool isPowerSupplyEvent(const QByteArray& message);

private:
    int m_fd = -1;
};

} // namespace gw
