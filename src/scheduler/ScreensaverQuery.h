#pragma once
// Whether a screensaver runs, asked of the session's screensaver service over D-Bus and, where
// that does not answer, of the X server's screen-saver extension; and the diagnostic log fed
// by the service's start signal.
#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <memory>
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
// Follows the screen-saver state of this application's X server through its notify events,
// so a tick learns it without a round trip to the server. `display` is the connection whose
// events this application receives (the window system's); null: no watch.
class X11ScreensaverWatch : public QAbstractNativeEventFilter
{
public:
    explicit X11ScreensaverWatch(_XDisplay* display);
    ~X11ScreensaverWatch() override;
    X11ScreensaverWatch(const X11ScreensaverWatch&) = delete;
    X11ScreensaverWatch& operator=(const X11ScreensaverWatch&) = delete;

    bool watching() const { return m_watching; }
    bool screensaverOn() const { return m_on; }
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    bool m_watching = false;
    bool m_on = false;
    int m_notifyEvent = -1;
};

// Follows the session's screensaver service instead of asking it at every tick: GetActive is
// asked once when the service is first looked for or (re)appears; from then on its state comes
// with ActiveChanged, and its coming and going with the bus's owner changes. A service that is
// absent is remembered as absent until the bus announces it. Signals arrive through the event
// loop of the thread that made the watch.
class BusScreensaverWatch : public QObject
{
    Q_OBJECT
public:
    explicit BusScreensaverWatch(
        QDBusConnection bus, int timeoutMs = ScreensaverQueryTimeoutMs, QObject* parent = nullptr);

    // The service's state; nothing when no service is there.
    std::optional<bool> active();
    // Round trips made so far (GetActive calls), for the idle cost.
    int questionsAsked() const { return m_questions; }

private slots:
    void activeChanged(bool active);
    void ownerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);

private:
    enum class Known { Ask, Absent, Cached };

    QDBusConnection m_bus;
    int m_timeoutMs;
    Known m_known = Known::Ask;
    bool m_active = false;
    int m_questions = 0;
};

// The screensaver as this desktop reports it: the session's screensaver service first, then
// the X server's screen-saver extension; neither answering means no screensaver runs. Neither
// is asked with a round trip at each question: both are followed by their events.
class PlatformScreensaver
{
public:
    // The application's X connection, asked at the first question; empty or null: D-Bus only.
    using X11DisplaySource = std::function<_XDisplay*()>;

    explicit PlatformScreensaver(QDBusConnection bus = QDBusConnection::sessionBus(), X11DisplaySource x11Display = {});
    ~PlatformScreensaver();
    bool active();

private:
    QDBusConnection m_bus;
    X11DisplaySource m_x11Display;
    // Both made at the first question, once the application and its event loop exist.
    std::unique_ptr<BusScreensaverWatch> m_busWatch;
    std::unique_ptr<X11ScreensaverWatch> m_x11;
};

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
