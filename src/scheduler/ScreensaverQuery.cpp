#include "scheduler/ScreensaverQuery.h"

#include "scheduler/BusQuestion.h"
#include "scheduler/LogindSessionWatch.h"
#include "scheduler/SystemState.h"
#include "shared/Clock.h"
#include "shared/Error.h"
#include "shared/Paths.h"

#include <QCoreApplication>

// Xlib defines macros (Bool, Status, None) that clash with Qt: include it last.
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>
#include <xcb/xcb.h>

namespace gw {

namespace {
    ScreensaverService named(const char* service)
    {
        const QString name = QString::fromLatin1(service);
        return { name, QLatin1Char('/') + QString(name).replace(QLatin1Char('.'), QLatin1Char('/')), name };
    }
} // namespace

const ScreensaverService& freedesktopScreensaver()
{
    static const ScreensaverService service = named("org.freedesktop.ScreenSaver");
    return service;
}

const std::vector<ScreensaverService>& desktopScreensavers()
{
    static const std::vector<ScreensaverService> services = { named("org.gnome.ScreenSaver"),
        named("org.cinnamon.ScreenSaver"), named("org.mate.ScreenSaver"), freedesktopScreensaver() };
    return services;
}

std::optional<bool> dbusScreensaverActive(const QDBusConnection& bus, int timeoutMs, const ScreensaverService& service)
{
    const auto active
        = askBus(bus, service.service, service.path, service.interface, QStringLiteral("GetActive"), {}, timeoutMs);
    if (!active)
        return std::nullopt;
    return active->toBool();
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

std::optional<bool> x11DisplayPoweredDown(_XDisplay* display)
{
    int eventBase = 0;
    int errorBase = 0;
    if (!display || !DPMSQueryExtension(display, &eventBase, &errorBase) || !DPMSCapable(display))
        return std::nullopt;
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    if (!DPMSInfo(display, &level, &enabled) || !enabled)
        return std::nullopt;
    return level != DPMSModeOn;
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

X11ScreensaverWatch::X11ScreensaverWatch(Display* display, std::function<void()> onChange)
    : m_onChange(std::move(onChange))
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
    if (m_onChange)
        m_onChange();
    return false;
}

X11ScreenSource::X11ScreenSource(Display* display, QObject* parent)
    : ScreenLockSource(parent)
    , m_display(display)
    , m_watch(display, [this] { emit changed(); })
{
}

std::optional<bool> X11ScreenSource::active()
{
    const auto poweredDown = x11DisplayPoweredDown(m_display);
    m_poweredDown = poweredDown.value_or(false);
    if (!m_watch.watching() && !poweredDown)
        return std::nullopt;
    return m_poweredDown || (m_watch.watching() && m_watch.screensaverOn());
}

BusScreensaverWatch::BusScreensaverWatch(
    QDBusConnection bus, ScreensaverService service, int timeoutMs, QObject* parent)
    : ScreenLockSource(parent)
    , m_bus(std::move(bus))
    , m_service(std::move(service))
    , m_timeoutMs(timeoutMs)
{
    if (!m_bus.isConnected()) {
        m_known = Known::Absent;
        return;
    }
    // Subscribed before the first question, so no change between answer and signal is lost.
    m_bus.connect(m_service.service, m_service.path, m_service.interface, QStringLiteral("ActiveChanged"), this,
        SLOT(activeChanged(bool)));
    m_bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), { m_service.service }, QString(),
        this, SLOT(ownerChanged(QString, QString, QString)));
}

std::optional<bool> BusScreensaverWatch::active()
{
    if (m_known == Known::Ask) {
        ++m_questions;
        const auto answer = dbusScreensaverActive(m_bus, m_timeoutMs, m_service);
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
    emit changed();
}

void BusScreensaverWatch::ownerChanged(const QString& service, const QString&, const QString& newOwner)
{
    if (service != m_service.service)
        return;
    // A new owner is asked once at the next question; one that left takes its state along.
    m_known = newOwner.isEmpty() ? Known::Absent : Known::Ask;
    m_active = false;
    emit changed();
}

PlatformScreensaver::PlatformScreensaver(QDBusConnection bus, X11DisplaySource x11Display, QDBusConnection systemBus)
    : m_bus(std::move(bus))
    , m_systemBus(std::move(systemBus))
    , m_x11Display(std::move(x11Display))
{
}

PlatformScreensaver::~PlatformScreensaver() = default;

void PlatformScreensaver::makeSources()
{
    m_sources = std::make_unique<ScreenLockSources>();
    for (const ScreensaverService& service : desktopScreensavers())
        m_sources->add(std::make_unique<BusScreensaverWatch>(m_bus, service));
    m_sources->add(std::make_unique<LogindSessionWatch>(m_systemBus));
    m_sources->add(std::make_unique<X11ScreenSource>(m_x11Display ? m_x11Display() : nullptr));
    connect(m_sources.get(), &ScreenLockSources::changed, this, &PlatformScreensaver::changed);
}

bool PlatformScreensaver::active()
{
    if (!m_sources)
        makeSources();
    return m_sources->active();
}

bool PlatformScreensaver::activeEndsWithEvent()
{
    if (!m_sources)
        makeSources();
    return m_sources->activeEndsWithEvent();
}

ScreensaverMessageLog::ScreensaverMessageLog(
    const SystemState& state, const Clock& clock, QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_clock(clock)
{
    if (!bus.isConnected())
        return;
    for (const ScreensaverService& service : desktopScreensavers())
        m_subscribed |= bus.connect(QString(), service.path, service.interface, QStringLiteral("ActiveChanged"), this,
            SLOT(activeChanged(bool)));
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
