#include "desktop/WindowScreensaver.h"

#include "scheduler/ScreensaverQuery.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <memory>

namespace gw {

std::function<bool()> windowScreensaverQuery()
{
    auto platform = std::make_shared<PlatformScreensaver>(QDBusConnection::sessionBus(), []() -> _XDisplay* {
        if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
            return nullptr;
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        return x11 ? x11->display() : nullptr;
    });
    return [platform] { return platform->active(); };
}

} // namespace gw
