#pragma once
// Whether anybody can see the desktop, followed by events: the desktops' screensaver services
// and the login session over D-Bus, and on X the screen-saver extension and the display's
// power state; and the diagnostic log fed by the services' start signals.
#include "scheduler/ScreenLockSource.h"

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct _XDisplay;

namespace gw {

class Clock;
class SystemState;

inline constexpr int ScreensaverQueryTimeoutMs = 200;

// A screensaver service on the session bus: GetActive, and ActiveChanged(bool).
struct ScreensaverService
{
    QString service;
    QString path;
    QString interface;
};
const ScreensaverService& freedesktopScreensaver();
// GNOME (and Budgie), Cinnamon, MATE, and the freedesktop one of KDE and others. GNOME does
// not answer the freedesktop GetActive, so each is asked by its own name.
const std::vector<ScreensaverService>& desktopScreensavers();

// GetActive of one service; nothing when no service answers within the timeout.
std::optional<bool> dbusScreensaverActive(const QDBusConnection& bus, int timeoutMs = ScreensaverQueryTimeoutMs,
    const ScreensaverService& service = freedesktopScreensaver());
// The MIT-SCREEN-SAVER state of an open display; nothing when the server lacks the extension.
std::optional<bool> x11ScreensaverActive(_XDisplay* display);
// Whether the display's power management has switched the monitor off (standby, suspend or
// off); nothing when the server has no DPMS or it is disabled.
std::optional<bool> x11DisplayPoweredDown(_XDisplay* display);

// Follows the screen-saver state of this application's X server through its notify events,
// so a tick learns it without a round trip to the server. `display` is the connection whose
// events this application receives (the window system's); null: no watch.
class X11ScreensaverWatch : public QAbstractNativeEventFilter
{
public:
    explicit X11ScreensaverWatch(_XDisplay* display, std::function<void()> onChange = {});
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
    std::function<void()> m_onChange;
};

// The X server as a source: its screensaver by events, and the monitor's power state, which
// has no event here and is asked at each question.
class X11ScreenSource : public ScreenLockSource
{
    Q_OBJECT
public:
    explicit X11ScreenSource(_XDisplay* display, QObject* parent = nullptr);
    std::optional<bool> active() override;
    bool announcesChanges() const override { return !m_poweredDown; }

private:
    _XDisplay* m_display;
    X11ScreensaverWatch m_watch;
    bool m_poweredDown = false;
};

// Follows one screensaver service instead of asking it at every tick: GetActive is asked once
// when the service is first looked for or (re)appears; from then on its state comes with
// ActiveChanged, and its coming and going with the bus's owner changes. A service that is
// absent is remembered as absent until the bus announces it. Signals arrive through the event
// loop of the thread that made the watch.
class BusScreensaverWatch : public ScreenLockSource
{
    Q_OBJECT
public:
    explicit BusScreensaverWatch(QDBusConnection bus, ScreensaverService service = freedesktopScreensaver(),
        int timeoutMs = ScreensaverQueryTimeoutMs, QObject* parent = nullptr);

    // The service's state; nothing when no service is there.
    std::optional<bool> active() override;
    // Round trips made so far (GetActive calls), for the idle cost.
    int questionsAsked() const { return m_questions; }

private slots:
    void activeChanged(bool active);
    void ownerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);

private:
    enum class Known { Ask, Absent, Cached };

    QDBusConnection m_bus;
    ScreensaverService m_service;
    int m_timeoutMs;
    Known m_known = Known::Ask;
    bool m_active = false;
    int m_questions = 0;
};

// The screensaver as this desktop reports it: every screensaver service, the login session and
// the X server, merged; none answering means no screensaver runs. None is asked with a round
// trip at each question: all are followed by their events.
class PlatformScreensaver : public QObject
{
    Q_OBJECT
public:
    // The application's X connection, asked at the first question; empty or null: no X.
    using X11DisplaySource = std::function<_XDisplay*()>;

    explicit PlatformScreensaver(QDBusConnection bus = QDBusConnection::sessionBus(), X11DisplaySource x11Display = {},
        QDBusConnection systemBus = QDBusConnection::systemBus());
    ~PlatformScreensaver() override;
    bool active();
    bool activeEndsWithEvent();

signals:
    // A source announced a change.
    void changed();

private:
    void makeSources();

    QDBusConnection m_bus;
    QDBusConnection m_systemBus;
    X11DisplaySource m_x11Display;
    // Made at the first question, once the application and its event loop exist.
    std::unique_ptr<ScreenLockSources> m_sources;
};

// Writes "Globewall.ScreenSaverMessage.log" each time a screensaver service announces that
// it starts (ActiveChanged(true)).
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
