#pragma once
// Whether a screensaver runs, asked of the session's screensaver service over D-Bus and, where
// that does not answer, of the X server's screen-saver extension; and the diagnostic log fed
// by the service's start signal.
#include <QDBusConnection>
#include <QObject>
#include <optional>

struct _XDisplay;

namespace gw {

class Clock;
class SystemState;

inline constexpr int ScreensaverQueryTimeoutMs = 200;

// org.freedesktop.ScreenSaver.GetActive; nothing when no service answers within the timeout.
std::optional<bool> dbusScreensaverActive(const QDBusConnection& bus, int timeoutMs = ScreensaverQueryTimeoutMs);
// The MIT-SCREEN-SAVER state of an open display; nothing when the server lacks the extension.
std::optional<bool> x11ScreensaverActive(_XDisplay* display);
// The session bus first, then the X11 display of this application when it runs on xcb;
// neither answering means no screensaver runs.
bool platformScreensaverActive();

// Writes "Globewall.ScreenSaverMessage.log" each time the screensaver service announces
// that it starts (ActiveChanged(true)).
class ScreensaverMessageLog : public QObject
{
    Q_OBJECT
public:
    ScreensaverMessageLog(const SystemState& state, const Clock& clock,
                          QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    bool isSubscribed() const { return m_subscribed; }

public slots:
    void activeChanged(bool active);

private:
    const SystemState& m_state;
    const Clock& m_clock;
    bool m_subscribed = false;
};

} // namespace gw
