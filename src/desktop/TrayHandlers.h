#pragma once
// The main window's side of the tray: a single left click switches the program off and on
// once the double-click time has passed without a second click, a double click shows the
// window from the tray or hides it there, and the master switch shows as the crossed globe.
// On a StatusNotifier host a click shows or hides the window and a middle click switches.
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>

class QWidget;

namespace gw {

class TrayIcon;
class SettingsAccess;

// Where the window stands centred on the desktop: each coordinate rounded to the nearest whole
// pixel, halves to the even neighbour. `clampToZero` is the start-up step's rule.
QPoint centredTopLeft(const QRect& desktop, const QSize& window, bool clampToZero = false);

// What the tray handlers need of the main window.
class TrayWindowControl
{
public:
    virtual ~TrayWindowControl() = default;
    virtual void minimizeApp() = 0; // to the tray
    virtual void restoreApp() = 0; // from the tray, shown and in front
    virtual bool isHiddenToTray() const = 0; // no taskbar entry now
    // Centres the window when its top edge still lies below the desktop (parked at creation).
    virtual void centreIfParked() = 0;
};

// The same for a plain QWidget: minimising hides it (a hidden window has no taskbar entry).
class WidgetWindowControl : public TrayWindowControl
{
public:
    WidgetWindowControl(QWidget& window, TrayIcon& tray)
        : m_window(window)
        , m_tray(tray)
    {
    }
    void minimizeApp() override;
    void restoreApp() override;
    bool isHiddenToTray() const override;
    void centreIfParked() override;

private:
    QWidget& m_window;
    TrayIcon& m_tray;
};

class TrayHandlers : public QObject
{
    Q_OBJECT
public:
    // Connects the component's clicks and the double-click timer to the handlers below.
    TrayHandlers(TrayIcon& tray, SettingsAccess& settings, TrayWindowControl& window, QObject* parent = nullptr);

    // Creation: show the icon in the tray, then the turning globe's range and speed
    // (LastFrame = count - 3, FrameSpeed = 2000 / (count - 2) ms).
    void showTrayIcon();
    void setUpAnimation();

    QTimer& TimerDoubleClick() { return m_timerDoubleClick; }
    bool DoubleClickSeen() const { return m_doubleClickSeen; }

public slots:
    void TrayIconClick(Qt::MouseButton button);
    void TrayIconDblClick(Qt::MouseButton button);
    // A StatusNotifier host's click shows or hides the window, as the double click does in an
    // X11 notification area (none ever comes there); its middle click switches the program
    // off and on at once, as the single click does there.
    void TrayIconActivate();
    void TrayIconSecondaryActivate();
    void TimerDoubleClickTimer();
    // Toggles the master switch "Globewallenabled" and its tray image (menu item, single
    // click, and a settings file that says it is off).
    void GlobewallenabledClick();
    // For a checkable menu action, which Qt has already toggled when it reports the trigger.
    void GlobewallenabledTriggered(bool nowChecked);
    void TrayIconCross(bool crossed);

private:
    void showOrHideWindow();

    TrayIcon& m_tray;
    SettingsAccess& m_settings;
    TrayWindowControl& m_window;
    QTimer m_timerDoubleClick;
    bool m_doubleClickSeen = false;
};

} // namespace gw
