#include "scheduler/PowerSupplyWatch.h"

#include <QList>

#include <cerrno>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gw {

namespace {
    // The kernel's own multicast group of device events (udev re-sends its own on group 2).
    constexpr unsigned kKernelEvents = 1;
} // namespace

PowerSupplyWatch::PowerSupplyWatch()
{
    m_fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (m_fd < 0)
        return;
    sockaddr_nl address {};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kKernelEvents;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

PowerSupplyWatch::~PowerSupplyWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PowerSupplyWatch::takeChange()
{
    if (m_fd < 0)
        return true;
    bool changed = false;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // ENOBUFS: the kernel dropped events; anything may have changed.
            return changed || errno != EAGAIN;
        }
        if (isPowerSupplyEvent(QByteArray::fromRawData(buffer, static_cast<qsizetype>(n))))
            changed = true;
    }
}

bool PowerSupplyWatch::isPowerSupplyEvent(const QByteArray& message)
{
    // The first field names the action and device; the others are KEY=VALUE, NUL-separated.
    const QList<QByteArray> fields = message.split('\0');
    if (fields.isEmpty() || !fields.constFirst().contains('@'))
        return false;
    return fields.contains(QByteArrayLiteral("SUBSYSTEM=power_supply"));
}

} // namespace gw
