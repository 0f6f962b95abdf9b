#pragma once
// Small pieces for code that talks to the system directly: the text of an errno value, a file
// descriptor closed with its owner, and the address of a Unix socket file.
#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace gw {

inline QString systemErrorText(int code = errno)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Owns one descriptor; closes it when it goes.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd)
    {
    }
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

// The address of the socket file at `path`; false when the path is empty or longer than a
// Unix socket address holds.
inline bool unixSocketAddress(const QByteArray& path, sockaddr_un* address)
{
    *address = {};
    if (path.isEmpty() || path.size() >= static_cast<qsizetype>(sizeof(address->sun_path)))
        return false;
    address->sun_family = AF_UNIX;
    std::copy(path.begin(), path.end(), address->sun_path);
    return true;
}

} // namespace gw
