#pragma once
// The one way a test's helper program is ended: asked to stop, then killed if it does not.
#include <QProcess>

namespace gwtest {

inline void stopChild(QProcess& process, int waitMs = 5000)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(waitMs)) {
        process.kill();
        process.waitForFinished(waitMs);
    }
}

} // namespace gwtest
