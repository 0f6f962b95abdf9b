#include "app/ShutdownSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace gw {

namespace {
    int g_pipe[2] = { -1, -1 };
    volatile sig_atomic_t g_received = 0;

    extern "C" void onShutdownSignal(int signo)
    {
        // A second signal ends the process at once, whatever the first one's close is doing.
        if (g_received) {
            ::signal(signo, SIG_DFL);
            ::raise(signo);
            return;
        }
        g_received = 1;
        const int saved = errno;
        const unsigned char b = static_cast<unsigned char>(signo);
        // Async-signal-safe; a full pipe just drops the byte, one pending request is enough.
        [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &b, 1);
        errno = saved;
    }
} // namespace

ShutdownSignals::ShutdownSignals(QObject* parent)
    : QObject(parent)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::readPipe);

    struct sigaction sa = {};
    sa.sa_handler = onShutdownSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

ShutdownSignals::~ShutdownSignals()
{
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

void ShutdownSignals::readPipe()
{
    unsigned char buf[16];
    ssize_t n;
    int last = 0;
    while ((n = ::read(g_pipe[0], buf, sizeof buf)) > 0)
        last = buf[n - 1];
    if (last)
        emit requested(last);
}

} // namespace gw
