#include "scheduler/ScreensaverQuery.h"

#include "scheduler/SystemState.h"
#include "shared/Clock.h"
#include "shared/Error.h"
#include "shared/Paths.h"

#include <QDBusMessage>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

// Xlib defines macros (Bool, Status, None) that clash with Qt: include it last.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

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

bool platformScreensaverActive()
{
    if (const auto viaBus = dbusScreensaverActive(QDBusConnection::sessionBus()))
        return *viaBus;
    if (qGuiApp && QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            if (const auto viaX = x11ScreensaverActive(x11->display()))
                return *viaX;
        }
    }
    return false;
}

ScreensaverMessageLog::ScreensaverMessageLog(const SystemState& state, const Clock& clock, QDBusConnection bus,
                                             QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_clock(clock)
{
    if (bus.isConnected())
        m_subscribed = bus.connect(QString(), kPath, kInterface, QStringLiteral("ActiveChanged"), this,
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
