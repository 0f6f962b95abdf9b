#pragma once
// The tray icon component: shows one frame of an image list in the notification area, steps
// through the frames while animating, and reports clicks. The scheduler, the renderer launch
// and the downloads reach it through gw::TrayImage.
#include "desktop/TrayFrames.h"
#include "shared/Error.h"
#include "shared/TrayImage.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace gw {

class ETrayIconError : public Error
{
public:
    using Error::Error;
};

class TrayIcon : public QObject, public TrayImage
{
    Q_OBJECT
public:
    enum IconPlace { icoTray = 0x1 };
    Q_DECLARE_FLAGS(IconPlaces, IconPlace)

    static constexpr int HintLength = 62;
    static constexpr int MaxFrameSpeed = 999999999;

    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // The two lists the program uses; IconList points at one of them (or at none).
    const ImageList& globeFrames() const { return m_globe; }
    const ImageList& percentFrames() const { return m_percent; }

    const ImageList* IconList() const { return m_list; }
    // Another list (or none). A selected frame above 0 that the new list holds is shown from
    // it; a running animation starts again.
    void setIconList(const ImageList* list);

    int FrameIndex() const { return m_frameIndex; }
    // Selects image n of IconList; n < 0 shows Icon. Throws ETrayIconError for a frame the
    // list does not hold, or when there is no list.
    void setFrameIndex(int n) override;

    int FirstFrame() const { return m_firstFrame; }
    void setFirstFrame(int value);
    int LastFrame() const { return m_lastFrame; }
    void setLastFrame(int value);
    int FrameSpeed() const { return m_frameSpeed; }
    void setFrameSpeed(int ms);

    bool Animate() const { return m_animate; }
    void setAnimate(bool on) override;

    // The frame that follows n within FirstFrame..LastFrame (or the whole list when both are 0);
    // -1 for an empty or missing list.
    int NextFrame(int n) const;

    QString Hint() const { return m_hint; }
    void setHint(const QString& hint); // cut to HintLength characters
    // Lines shown in the tooltip below the hint.
    void setStatusLines(const QStringList& lines);
    QString toolTip() const { return m_trayIcon.toolTip(); }

    IconPlaces IconsShown() const { return m_iconsShown; }
    void setIconsShown(IconPlaces places);

    // On Linux a window without a taskbar entry is a hidden window: true hides the main window,
    // false shows it again; reading tells whether it is hidden now.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }
    bool HideTaskbarBtn() const;
    void setHideTaskbarBtn(bool hide);

    QMenu* RightClickPopup() const { return m_rightClickPopup; }
    void setRightClickPopup(QMenu* menu);

    // Whether the icon is shown by a StatusNotifier host; by default asked of the session bus
    // at each activation (they are rare).
    void setStatusNotifierProbe(std::function<bool()> probe) { m_onStatusNotifierHost = std::move(probe); }

    // A disabled tray icon ignores the mouse.
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on) { m_enabled = on; }

    // Shown while no frame is selected; a null icon means the built-in one.
    QIcon Icon() const { return m_icon; }
    void setIcon(const QIcon& icon);

    // What the tray shows now.
    QIcon currentImage() const;
    QSystemTrayIcon& systemTrayIcon() { return m_trayIcon; }

    // gw::TrayImage
    TrayList iconList() const override;
    void setIconList(TrayList list) override;
    int imageCount() const override;
    int frameIndex() const override { return m_frameIndex; }
    bool animate() const override { return m_animate; }

signals:
    // In an X11 notification area: a click (left button: QSystemTrayIcon::Trigger; middle:
    // MiddleClick) and a double click.
    void Click(Qt::MouseButton button);
    void DblClick(Qt::MouseButton button);
    // On a StatusNotifier host, which Qt reports as Trigger and MiddleClick: the click
    // (Activate) and the middle click (SecondaryActivate). The host shows the menu itself.
    void Activate();
    void SecondaryActivate();
    void FrameAdvance();

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void step();
    void showImage();
    void showToolTip();
    void startAnimation();

    ImageList m_globe;
    ImageList m_percent;
    const ImageList* m_list = nullptr;
    int m_frameIndex = -1;
    int m_firstFrame = 0;
    int m_lastFrame = 11;
    int m_frameSpeed = 100;
    bool m_animate = false;
    QString m_hint;
    QStringList m_statusLines;
    bool m_enabled = true;
    IconPlaces m_iconsShown;
    QIcon m_icon;
    QIcon m_defaultIcon;
    QIcon m_current; // copy of the selected frame; null when none is selected
    qint64 m_shownKey = 0;
    QPointer<QWidget> m_mainWindow;
    QPointer<QMenu> m_rightClickPopup;
    std::function<bool()> m_onStatusNotifierHost;
    QSystemTrayIcon m_trayIcon;
    QTimer m_timer;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TrayIcon::IconPlaces)

} // namespace gw
