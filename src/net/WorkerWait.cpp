#include "net/WorkerWait.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <thread>

namespace gw {

void runWhileProcessingEvents(const std::function<void()>& work, const WorkerWaitOptions& options)
{
    QEventLoop loop;
    // The worker posts its "done" to this object; events still queued for it are dropped when it
    // goes away, so a late notice can never end a later wait.
    QObject context;
    std::atomic<bool> done { false };

    QTimer ticker;
    ticker.setInterval(options.tickMs > 0 ? options.tickMs : 50);
    QObject::connect(&ticker, &QTimer::timeout, &context, [&] {
        if (options.tick)
            options.tick();
    });

    std::thread worker([&] {
        work();
        done.store(true);
        QMetaObject::invokeMethod(
            &context, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });

    struct Joiner
    {
        std::thread& t;
        std::atomic<bool>& done;
        const WorkerWaitOptions& o;
        ~Joiner()
        {
            if (!done.load() && o.requestStop)
                o.requestStop();
            t.join();
        }
    } joiner { worker, done, options };

    ticker.start();
    if (!done.load())
        loop.exec();
    ticker.stop();
}

} // namespace gw
