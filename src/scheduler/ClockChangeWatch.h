#pragma once
// Learns that the wall clock was set (by hand, by a time service, by this program's own time
// sync) from the kernel: a timer on the wall clock, armed far in the future with
// TFD_TIMER_CANCEL_ON_SET, becomes readable when the clock jumps. No wake-up otherwise.
#include <QObject>

class QSocketNotifier;

namespace gw {

class ClockChangeWatch : public QObject
{
    Q_OBJECT
public:
    explicit ClockChangeWatch(QObject* parent = nullptr);
    ~ClockChangeWatch() override;
    ClockChangeWatch(const ClockChangeWatch&) = delete;
    ClockChangeWatch& operator=(const ClockChangeWatch&) = delete;

    // False when the kernel offers no such timer.
    bool watching() const { return m_fd >= 0; }

signals:
    void clockChanged();

private:
    bool arm();
    void readable();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace gw
