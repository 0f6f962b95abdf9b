#include "desktop/TrayIcon.h"

#include "desktop/StatusNotifierHost.h"
#include "shared/OutsideText.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QWidget>
#include <algorithm>

namespace gw {

namespace {
    // A timer of 0 ms would keep the event loop busy; the platform's timers never went below 10 ms.
    constexpr int kShortestTimerMs = 10;
} // namespace

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent)
    , m_globe(makeDrehenderGlobus())
    , m_percent(makeGlobusProzent())
    , m_list(&m_globe)
    , m_hint(QStringLiteral("Globewall by Quillmoor"))
    , m_defaultIcon(makeDefaultTrayIcon())
    , m_onStatusNotifierHost(trayOnStatusNotifierHost)
{
    m_trayIcon.setToolTip(m_hint);
    m_trayIcon.setIcon(m_defaultIcon);
    m_shownKey = m_defaultIcon.cacheKey();
    m_timer.setInterval(std::max(m_frameSpeed, kShortestTimerMs));
    connect(&m_timer, &QTimer::timeout, this, &TrayIcon::step);
    connect(&m_trayIcon, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
}

TrayIcon::~TrayIcon()
{
    m_timer.stop();
    m_trayIcon.hide();
}

void TrayIcon::setIconList(const ImageList* list)
{
    m_list = list;
    if (m_frameIndex > 0 && list && list->count() >= m_frameIndex + 1) {
        m_current = list->image(m_frameIndex);
        showImage();
    }
    if (m_animate)
        startAnimation();
}

void TrayIcon::setFrameIndex(int n)
{
    if (n < 0) {
        m_frameIndex = -1;
        m_current = QIcon();
        showImage();
        return;
    }
    // A selection that fails leaves the frame shown before, so FrameIndex always names it.
    if (!m_list)
        throw ETrayIconError(QStringLiteral(
            "Tray icon animation frame number frame %1 unable to be shown because of nil imagelist component")
                                 .arg(n));
    if (n >= m_list->count())
        throw ETrayIconError(QStringLiteral(
            "Tray icon animation frame number %1 unable to be shown.  %2 frames are present in the imagelist.")
                                 .arg(n)
                                 .arg(m_list->count()));
    m_frameIndex = n;
    m_current = m_list->image(n);
    showImage();
}

void TrayIcon::setFirstFrame(int value)
{
    value = std::max(value, 0);
    value = m_list ? std::min(value, std::max(m_list->count() - 1, 0)) : 0;
    m_firstFrame = value;
    m_lastFrame = std::max(m_lastFrame, m_firstFrame);
}

void TrayIcon::setLastFrame(int value)
{
    value = std::max(value, m_firstFrame);
    if (m_list) {
        value = std::max(std::min(value, m_list->count() - 1), 0);
        m_firstFrame = std::min(m_firstFrame, value);
    } else {
        value = 0;
    }
    m_lastFrame = value;
}

void TrayIcon::setFrameSpeed(int ms)
{
    m_frameSpeed = std::clamp(ms, 0, MaxFrameSpeed);
    m_timer.setInterval(std::max(m_frameSpeed, kShortestTimerMs));
}

void TrayIcon::setAnimate(bool on)
{
    m_animate = on;
    if (on) {
        startAnimation();
        return;
    }
    m_timer.stop(); // the frame shown last stays
}

void TrayIcon::startAnimation()
{
    if (m_list) {
        const int count = m_list->count();
        if (m_frameIndex == -1) {
            if (count > 0)
                setFrameIndex(0);
        } else if (count > m_frameIndex) {
            setFrameIndex(m_frameIndex);
        }
    }
    m_timer.start();
}

int TrayIcon::NextFrame(int n) const
{
    if (!m_list || m_list->count() == 0)
        return -1;
    const int count = m_list->count();
    if (m_firstFrame > 0 || m_lastFrame > 0) {
        // Bounds beyond the list (left from a longer list) are brought into it for this step only.
        const int first = std::min(m_firstFrame, count - 1);
        const int last = std::max(std::min(m_lastFrame, count - 1), first);
        return (n < first || n > last) ? first : n;
    }
    return (n < 0 || n > count - 1) ? 0 : n;
}

void TrayIcon::step()
{
    if (!(m_iconsShown & icoTray) || !m_list)
        return;
    int next = m_frameIndex;
    if (next >= 0)
        next = NextFrame(next + 1);
    setFrameIndex(next); // NextFrame only names frames the list holds
    emit FrameAdvance();
}

void TrayIcon::setHint(const QString& hint)
{
    m_hint = hint.left(HintLength);
    showToolTip();
}

void TrayIcon::setStatusLines(const QStringList& lines)
{
    m_statusLines = lines;
    showToolTip();
}

void TrayIcon::showToolTip()
{
    // Only a change reaches the tray: on a StatusNotifier host each one is a bus signal.
    // Status lines quote sources' names and servers' words: no control character reaches the host.
    const QString tip
        = plainOutsideText((QStringList { m_hint } + m_statusLines).join(QLatin1Char('\n')), LineBreaks::Keep);
    if (tip != m_trayIcon.toolTip())
        m_trayIcon.setToolTip(tip);
}

void TrayIcon::setIconsShown(IconPlaces places)
{
    m_iconsShown = places;
    // Only on X11 does Qt watch for a notification area that comes later. Elsewhere, with none
    // there now, its watcher would ask for an X11 signal that does not exist and say so on
    // standard error at every start.
    const bool canShow
        = QSystemTrayIcon::isSystemTrayAvailable() || QGuiApplication::platformName() == QLatin1String("xcb");
    m_trayIcon.setVisible(places.testFlag(icoTray) && canShow);
}

bool TrayIcon::HideTaskbarBtn() const
{
    return m_mainWindow ? m_mainWindow->isHidden() : false;
}

void TrayIcon::setHideTaskbarBtn(bool hide)
{
    if (!m_mainWindow || hide == HideTaskbarBtn())
        return;
    if (hide)
        m_mainWindow->hide();
    else
        m_mainWindow->show();
}

void TrayIcon::setRightClickPopup(QMenu* menu)
{
    m_rightClickPopup = menu;
    m_trayIcon.setContextMenu(menu);
}

void TrayIcon::setIcon(const QIcon& icon)
{
    m_icon = icon;
    showImage();
}

QIcon TrayIcon::currentImage() const
{
    if (!m_current.isNull())
        return m_current;
    if (!m_icon.isNull())
        return m_icon;
    return m_defaultIcon;
}

void TrayIcon::showImage()
{
    // The scheduler selects the same frame every five seconds; only a change reaches the tray.
    const QIcon icon = currentImage();
    if (icon.cacheKey() == m_shownKey)
        return;
    m_shownKey = icon.cacheKey();
    m_trayIcon.setIcon(icon);
}

TrayList TrayIcon::iconList() const
{
    return m_list == &m_percent ? TrayList::Percent : TrayList::Globe;
}

void TrayIcon::setIconList(TrayList list)
{
    setIconList(list == TrayList::Percent ? &m_percent : &m_globe);
}

int TrayIcon::imageCount() const
{
    return m_list ? m_list->count() : 0;
}

void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason)
{
    if (!m_enabled)
        return;
    if ((reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::MiddleClick) && m_onStatusNotifierHost
        && m_onStatusNotifierHost()) {
        if (reason == QSystemTrayIcon::Trigger)
            emit Activate();
        else
            emit SecondaryActivate();
        return;
    }
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        emit Click(Qt::LeftButton);
        break;
    case QSystemTrayIcon::DoubleClick:
        emit DblClick(Qt::LeftButton);
        break;
    case QSystemTrayIcon::MiddleClick:
        emit Click(Qt::MiddleButton);
        if (m_rightClickPopup)
            m_rightClickPopup->popup(QCursor::pos());
        break;
    case QSystemTrayIcon::Context:
        // The context menu (RightClickPopup) is opened by the tray icon itself.
        emit Click(Qt::RightButton);
        break;
    default:
        break;
    }
}

} // namespace gw
