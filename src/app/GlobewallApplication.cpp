#include "app/GlobewallApplication.h"

GlobewallApplication::GlobewallApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Globewall"));
    setApplicationDisplayName(QStringLiteral("Globewall"));
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
