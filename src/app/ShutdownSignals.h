#pragma once
// SIGTERM and SIGINT reach the event loop as a Qt signal (self-pipe), so the main window
// closes the normal way and the settings are saved, as on a logout. A second signal takes
// the default action: the process ends at once.
#include <QObject>

class QSocketNotifier;

namespace gw {

class ShutdownSignals : public QObject
{
    Q_OBJECT

public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

signals:
    void requested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace gw
