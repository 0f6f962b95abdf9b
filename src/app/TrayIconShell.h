#pragma once
// A plain tray icon: the globe, the menu PopupMenu1 on a right click, and a double click that
// shows or hides the main window. The full tray component replaces this file later.
#include <QObject>

#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace gw {

class TrayIconShell : public QObject
{
    Q_OBJECT

public:
    TrayIconShell(QMenu* menu, std::function<void()> doubleClick, QObject* parent = nullptr);

    void show();
    void hide();
    // Whether a notification area exists now (it may appear after we start).
    static bool available();
    QSystemTrayIcon* icon() const { return m_icon; }

private:
    QSystemTrayIcon* m_icon;
    std::function<void()> m_doubleClick;
};

} // namespace gw
