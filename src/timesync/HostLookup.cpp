#include "timesync/HostLookup.h"

#include <QEventLoop>
#include <QUrl>

#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <string>
#include <system_error>
#include <thread>

namespace gw {

namespace {
    // Shared by the caller and the resolver thread; whichever leaves last frees it.
    struct PendingLookup
    {
        std::mutex mutex;
        bool done = false;
        std::optional<SocketAddress> address;
        QEventLoop* waiter = nullptr; // cleared by the caller before its loop goes away
    };

    // The first IPv4 answer, else the first IPv6 one: many hosts publish an IPv6 address that
    // this computer cannot reach.
    std::optional<SocketAddress> preferred(const addrinfo* list)
    {
        std::optional<SocketAddress> v6;
        for (const addrinfo* a = list; a; a = a->ai_next) {
            std::optional<SocketAddress> address = SocketAddress::from(a->ai_addr, a->ai_addrlen);
            if (address && address->family() == AF_INET)
                return address;
            if (address && !v6)
                v6 = address;
        }
        return v6;
    }

    std::optional<SocketAddress> resolve(const std::string& name, int flags)
    {
        addrinfo hints {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_flags = flags;
        addrinfo* list = nullptr;
        if (getaddrinfo(name.c_str(), nullptr, &hints, &list) != 0 || !list)
            return std::nullopt;
        std::optional<SocketAddress> address = preferred(list);
        freeaddrinfo(list);
        return address;
    }
} // namespace

std::optional<SocketAddress> SocketAddress::from(const sockaddr* address, socklen_t length)
{
    SocketAddress a;
    if (address->sa_family == AF_INET && length >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
        std::memcpy(&a.storage, address, sizeof(sockaddr_in));
        a.length = sizeof(sockaddr_in);
        return a;
    }
    if (address->sa_family != AF_INET6 || length < static_cast<socklen_t>(sizeof(sockaddr_in6)))
        return std::nullopt;
    sockaddr_in6 v6;
    std::memcpy(&v6, address, sizeof v6);
    if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
        sockaddr_in v4 {};
        v4.sin_family = AF_INET;
        v4.sin_port = v6.sin6_port;
        std::memcpy(&v4.sin_addr, &v6.sin6_addr.s6_addr[12], 4);
        std::memcpy(&a.storage, &v4, sizeof v4);
        a.length = sizeof v4;
        return a;
    }
    std::memcpy(&a.storage, &v6, sizeof v6);
    a.length = sizeof v6;
    return a;
}

void SocketAddress::setPort(quint16 port)
{
    if (family() == AF_INET)
        reinterpret_cast<sockaddr_in*>(&storage)->sin_port = htons(port);
    else if (family() == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = htons(port);
}

bool SocketAddress::operator==(const SocketAddress& other) const
{
    if (family() != other.family())
        return false;
    if (family() == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&storage);
        const auto* b = reinterpret_cast<const sockaddr_in*>(&other.storage);
        return a->sin_port == b->sin_port && a->sin_addr.s_addr == b->sin_addr.s_addr;
    }
    if (family() == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&storage);
        const auto* b = reinterpret_cast<const sockaddr_in6*>(&other.storage);
        const bool sameScope = a->sin6_scope_id == 0 || b->sin6_scope_id == 0 || a->sin6_scope_id == b->sin6_scope_id;
        return a->sin6_port == b->sin6_port && IN6_ARE_ADDR_EQUAL(&a->sin6_addr, &b->sin6_addr) && sameScope;
    }
    return false;
}

std::optional<SocketAddress> numericAddress(const QString& text)
{
    const QByteArray latin = text.trimmed().toLatin1();
    if (latin.isEmpty())
        return std::nullopt;
    return resolve(latin.toStdString(), AI_NUMERICHOST);
}

HostLookup lookUpHost(const QString& name)
{
    HostLookup result;
    // The resolver takes names in their ASCII (punycode) form.
    const QByteArray ace = QUrl::toAce(name.trimmed());
    if (ace.isEmpty())
        return result;

    auto pending = std::make_shared<PendingLookup>();
    try {
        std::thread([pending, host = ace.toStdString()] {
            std::optional<SocketAddress> address = resolve(host, 0);
            const std::lock_guard lock(pending->mutex);
            pending->done = true;
            pending->address = address;
            if (pending->waiter)
                QMetaObject::invokeMethod(pending->waiter, &QEventLoop::quit, Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error&) {
        return result; // no thread to ask on: as good as no answer
    }

    QEventLoop loop;
    bool wait = false;
    {
        const std::lock_guard lock(pending->mutex);
        wait = !pending->done;
        if (wait)
            pending->waiter = &loop;
    }
    if (wait)
        loop.exec();

    const std::lock_guard lock(pending->mutex);
    pending->waiter = nullptr;
    if (!pending->done)
        result.outcome = HostLookup::Interrupted;
    else if (pending->address) {
        result.outcome = HostLookup::Found;
        result.address = *pending->address;
    }
    return result;
}

} // namespace gw
