#include "app/GlobewallApplication.h"

#include "app/AppIcon.h"

#include <QDialog>

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

void GlobewallApplication::endModalDialogs()
{
    // Each dialog leaves the modal stack as it hides; a modal window that is no dialog is
    // left alone rather than looping on it.
    QWidget* previous = nullptr;
    while (QWidget* modal = QApplication::activeModalWidget()) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog || modal == previous)
            break;
        previous = modal;
        dialog->reject();
    }
}
