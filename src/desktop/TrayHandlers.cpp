#include "desktop/TrayHandlers.h"

#include "desktop/TrayIcon.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace gw {

namespace {
    const QString kEnabled = ctl::Globewallenabled;

    int roundHalfEven(double v)
    {
        return static_cast<int>(std::nearbyint(v)); // the default rounding mode: halves to even
    }

    QRect desktopOf(const QWidget& w)
    {
        const QScreen* screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
        return screen ? screen->geometry() : QRect();
    }
} // namespace

QPoint centredTopLeft(const QRect& desktop, const QSize& window, bool clampToZero)
{
    int left = roundHalfEven(desktop.width() / 2.0 - window.width() / 2.0);
    int top = roundHalfEven(desktop.height() / 2.0 - window.height() / 2.0);
    if (clampToZero) {
        left = std::max(left, 0);
        top = std::max(top, 0);
    }
    return desktop.topLeft() + QPoint(left, top);
}

void WidgetWindowControl::minimizeApp()
{
    m_window.setWindowState(m_window.windowState() | Qt::WindowMinimized);
    m_tray.setHideTaskbarBtn(true);
}

void WidgetWindowControl::restoreApp()
{
    m_tray.setHideTaskbarBtn(false);
    m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

bool WidgetWindowControl::isHiddenToTray() const
{
    return m_tray.HideTaskbarBtn();
}

void WidgetWindowControl::centreIfParked()
{
    const QRect desktop = desktopOf(m_window);
    if (m_window.y() > desktop.y() + desktop.height())
        m_window.move(centredTopLeft(desktop, m_window.frameGeometry().size()));
}

TrayHandlers::TrayHandlers(TrayIcon& tray, SettingsAccess& settings, TrayWindowControl& window, QObject* parent)
    : QObject(parent)
    , m_tray(tray)
    , m_settings(settings)
    , m_window(window)
{
    m_timerDoubleClick.setInterval(500);
    m_timerDoubleClick.setSingleShot(false);
    connect(&m_timerDoubleClick, &QTimer::timeout, this, &TrayHandlers::TimerDoubleClickTimer);
    connect(&m_tray, &TrayIcon::Click, this, &TrayHandlers::TrayIconClick);
    connect(&m_tray, &TrayIcon::DblClick, this, &TrayHandlers::TrayIconDblClick);
    connect(&m_tray, &TrayIcon::Activate, this, &TrayHandlers::TrayIconActivate);
    connect(&m_tray, &TrayIcon::SecondaryActivate, this, &TrayHandlers::TrayIconSecondaryActivate);
}

void TrayHandlers::showTrayIcon()
{
    m_tray.setIconsShown(TrayIcon::icoTray);
}

void TrayHandlers::setUpAnimation()
{
    m_tray.setIconList(&m_tray.globeFrames());
    const int count = m_tray.imageCount();
    m_tray.setLastFrame(count - 3);
    m_tray.setFrameSpeed(2000 / (count - 2)); // one turn of the globe in about two seconds
}

// The toggle waits for the double-click time: a double click must not switch the program off.
void TrayHandlers::TrayIconClick(Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    m_timerDoubleClick.setInterval(QApplication::doubleClickInterval());
    m_timerDoubleClick.start();
}

void TrayHandlers::TrayIconDblClick(Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    m_doubleClickSeen = true;
    showOrHideWindow();
}

void TrayHandlers::TrayIconActivate()
{
    showOrHideWindow();
}

void TrayHandlers::TrayIconSecondaryActivate()
{
    GlobewallenabledClick();
}

void TrayHandlers::showOrHideWindow()
{
    if (m_window.isHiddenToTray()) {
        m_window.centreIfParked();
        m_tray.setHideTaskbarBtn(false);
        m_window.restoreApp();
    } else {
        m_window.minimizeApp();
    }
}

void TrayHandlers::TimerDoubleClickTimer()
{
    if (!m_doubleClickSeen)
        GlobewallenabledClick();
    m_doubleClickSeen = false;
    m_timerDoubleClick.stop();
}

void TrayHandlers::GlobewallenabledClick()
{
    if (m_settings.checked(kEnabled)) {
        m_settings.setChecked(kEnabled, false);
        TrayIconCross(true);
    } else {
        m_settings.setChecked(kEnabled, true);
        TrayIconCross(false);
    }
}

void TrayHandlers::GlobewallenabledTriggered(bool nowChecked)
{
    TrayIconCross(!nowChecked);
}

void TrayHandlers::TrayIconCross(bool crossed)
{
    m_tray.setFrameIndex(crossed ? m_tray.imageCount() - 1 : 0);
}

} // namespace gw
