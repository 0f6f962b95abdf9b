#include "WaitUntil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace gwtest {

bool waitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        // Events first (timers, sockets, queued calls); a short sleep keeps an idle wait cheap.
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(static_cast<unsigned long>(pollMs));
    }
    return true;
}

} // namespace gwtest
