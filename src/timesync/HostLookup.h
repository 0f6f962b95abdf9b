#pragma once
// Socket addresses of time servers, and name lookups during which the window keeps working.
#include <QString>

#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>

namespace gw {

// An IPv4 or IPv6 address with a port. A v4-mapped IPv6 address is held as plain IPv4, so a
// reply compares equal whichever way the system reports its sender.
struct SocketAddress
{
    sockaddr_storage storage {};
    socklen_t length = 0;

    // Empty for families other than IPv4 and IPv6.
    static std::optional<SocketAddress> from(const sockaddr* address, socklen_t length);
    int family() const { return storage.ss_family; }
    const sockaddr* data() const { return reinterpret_cast<const sockaddr*>(&storage); }
    void setPort(quint16 port);
    // Same family, address, port (and IPv6 scope when both name one).
    bool operator==(const SocketAddress& other) const;
};

// A literal IPv4 or IPv6 address, read without asking the resolver.
std::optional<SocketAddress> numericAddress(const QString& text);

struct HostLookup
{
    enum Outcome { Found, NotFound, Interrupted };
    Outcome outcome = NotFound;
    SocketAddress address;
};

// Asks the system resolver on a thread of its own while a local event loop runs, preferring
// IPv4. Interrupted when that loop ends first (the application quits): the resolver cannot be
// stopped, so it finishes later on its own and its answer is dropped.
HostLookup lookUpHost(const QString& name);

} // namespace gw
