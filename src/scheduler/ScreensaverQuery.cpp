#include "scheduler/ScreensaverQuery.h"

#include "scheduler/SystemState.h"
#include "shared/Clock.h"
#include "shared/Error.h"
#include "shared/Paths.h"

#include <QCoreApplication>
#include <QDBusMessage>

// Xlib defines macros (Bool, Status, None) that clash with Qt: include it last.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <xcb/xcb.h>

namespace gw {

namespace {
    const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
    const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
    const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");
} // namespace

std::optional<bool> dbusScreensaverActive(const QDBusConnection& bus, int timeoutMs)
{
    if (!bus.isConnected())
        return std::nullopt;
    const QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetActive"));
    // Block without an event loop: a tick must not be re-entered while it waits for the answer.
    const QDBusMessage reply = QDBusConnection(bus).call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst().toBool();
}

std::optional<bool> x11ScreensaverActive(_XDisplay* display)
{
    if (!display)
        return std::nullopt;
    int eventBase = 0;
    int errorBase = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase))
        return std::nullopt;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!info)
        return std::nullopt;
    std::optional<bool> result;
    if (XScreenSaverQueryInfo(display, DefaultRootWindow(display), info))
        result = info->state == ScreenSaverOn;
    XFree(info);
    return result;
}

namespace {

    // The MIT-SCREEN-SAVER notify event as it arrives on the wire.
    struct ScreenSaverNotifyEvent
    {
        uint8_t responseType;
        uint8_t state; // ScreenSaverOff, ScreenSaverOn, ScreenSaverCycle
        uint16_t sequence;
        uint32_t time;
        uint32_t root;
        uint32_t window;
        uint8_t kind;
        uint8_t forced;
        uint8_t pad[14];
    };

} // namespace

X11ScreensaverWatch::X11ScreensaverWatch(Display* display)
{
    int eventBase = 0;
    int errorBase = 0;
    if (!display || !QCoreApplication::instance() || !XScreenSaverQueryExtension(display, &eventBase, &errorBase))
        return;
    m_notifyEvent = eventBase + ScreenSaverNotify;
    QCoreApplication::instance()->installNativeEventFilter(this);
    XScreenSaverSelectInput(display, DefaultRootWindow(display), ScreenSaverNotifyMask);
    m_on = x11ScreensaverActive(display).value_or(false);
    XFlush(display);
    m_watching = true;
}

X11ScreensaverWatch::~X11ScreensaverWatch()
{
    if (m_watching && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11ScreensaverWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != m_notifyEvent)
        return false;
    const auto* notify = reinterpret_cast<const ScreenSaverNotifyEvent*>(event);
    m_on = notify->state == ScreenSaverOn || notify->state == ScreenSaverCycle;
    return false;
}

BusScreensaverWatch::BusScreensaverWatch(QDBusConnection bus, int timeoutMs, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_timeoutMs(timeoutMs)
{
    if (!m_bus.isConnected()) {
        m_known = Known::Absent;
        return;
    }
    // Subscribed before the first question, so no change between answer and signal is lost.
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActiveChanged"), this, SLOT(activeChanged(bool)));
    m_bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), { kService }, QString(), this,
        SLOT(ownerChanged(QString, QString, QString)));
}

std::optional<bool> BusScreensaverWatch::active()
{
    if (m_known == Known::Ask) {
        ++m_questions;
        const auto answer = dbusScreensaverActive(m_bus, m_timeoutMs);
        m_known = answer ? Known::Cached : Known::Absent;
        m_active = answer.value_or(false);
    }
    if (m_known == Known::Absent)
        return std::nullopt;
    return m_active;
}

void BusScreensaverWatch::activeChanged(bool active)
{
    m_active = active;
    m_known = Known::Cached;
}

void BusScreensaverWatch::ownerChanged(const QString& service, const QString&, const QString& newOwner)
{
    if (service != kService)
        return;
    // A new owner is asked once at the next question; one that left takes its state along.
    m_known = newOwner.isEmpty() ? Known::Absent : Known::Ask;
    m_active = false;
}

PlatformScreensaver::PlatformScreensaver(QDBusConnection bus, X11DisplaySource x11Display)
    : m_bus(std::move(bus))
    , m_x11Display(std::move(x11Display))
{
}

PlatformScreensaver::~PlatformScreensaver() = default;

bool PlatformScreensaver::active()
{
    if (!m_busWatch)
        m_busWatch = std::make_unique<BusScreensaverWatch>(m_bus);
    if (const auto viaBus = m_busWatch->active())
        return *viaBus;
    if (!m_x11)
        m_x11 = std::make_unique<X11ScreensaverWatch>(m_x11Display ? m_x11Display() : nullptr);
    return m_x11->watching() && m_x11->screensaverOn();
}

ScreensaverMessageLog::ScreensaverMessageLog(
    const SystemState& state, const Clock& clock, QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_clock(clock)
{
    if (bus.isConnected())
        m_subscribed = bus.connect(
            QString(), kPath, kInterface, QStringLiteral("ActiveChanged"), this, SLOT(activeChanged(bool)));
}

void ScreensaverMessageLog::activeChanged(bool active)
{
    if (!active)
        return;
    // A signal from the bus has no caller to report to; a log that cannot be written
    // must not take the event loop down.
    try {
        m_state.WriteToLog(programDir() + QStringLiteral("Globewall.ScreenSaverMessage.log"),
            DateTimeToStr(m_clock.now()) + QStringLiteral(": Screensaver is active"));
    } catch (const Error& e) {
        qWarning("%s", qPrintable(e.message()));
    }
}

} // namespace gw
