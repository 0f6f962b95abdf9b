#include "scheduler/ClockChangeWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <limits>
#include <sys/timerfd.h>
#include <unistd.h>

namespace gw {

ClockChangeWatch::ClockChangeWatch(QObject* parent)
    : QObject(parent)
{
    m_fd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0)
        return;
    if (!arm()) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_notifier = new QSocketNotifier(static_cast<qintptr>(m_fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ClockChangeWatch::readable);
}

ClockChangeWatch::~ClockChangeWatch()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

// Armed for the end of time: it never expires, it is only cancelled.
bool ClockChangeWatch::arm()
{
    itimerspec spec {};
    spec.it_value.tv_sec = std::numeric_limits<time_t>::max();
    return ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec, nullptr) == 0;
}

void ClockChangeWatch::readable()
{
    std::uint64_t expirations = 0;
    // ECANCELED: the clock was set. The timer must be armed again to hear the next change.
    const ssize_t n = ::read(m_fd, &expirations, sizeof expirations);
    if (n < 0 && errno == EAGAIN)
        return;
    arm();
    emit clockChanged();
}

} // namespace gw
