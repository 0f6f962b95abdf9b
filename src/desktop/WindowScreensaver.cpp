#include "desktop/WindowScreensaver.h"

#include "scheduler/ScreensaverQuery.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

namespace gw {

std::shared_ptr<PlatformScreensaver> windowScreensaver()
{
    return std::make_shared<PlatformScreensaver>(QDBusConnection::sessionBus(), []() -> _XDisplay* {
        if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
            return nullptr;
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        return x11 ? x11->display() : nullptr;
    });
}

std::function<bool()> windowScreensaverQuery()
{
    auto platform = windowScreensaver();
    return [platform] { return platform->active(); };
}

} // namespace gw
