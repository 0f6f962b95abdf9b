#include "app/GlobewallApplication.h"

#include "app/AppIcon.h"

GlobewallApplication::GlobewallApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    // The title; no separate display name, which the platform would append to every caption.
    setApplicationName(QStringLiteral("Globewall"));
    setWindowIcon(gw::globewallIcon());
    // Wayland desktops find the menu entry, and with it the icon, by this name.
    setDesktopFileName(QStringLiteral("net.quillmoor.Globewall"));
    // The program lives in the tray; only closing the main window ends it.
    setQuitOnLastWindowClosed(false);
}

bool GlobewallApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        m_errors.showCurrent();
        return false;
    }
}
