// The tray icon component on the window: its image lists, hint and menu, the click and
// double-click handlers, and the master switch's crossed globe.
#include "app/TForm1.h"

#include "app/WidgetSettings.h"
#include "desktop/TrayHandlers.h"
#include "desktop/TrayIcon.h"

#include "ui_TForm1.h"

namespace {

// The tray's double click minimises and restores through the window's own steps, which keep
// a window without a notification area reachable and centre a window still parked.
class FormWindowControl : public gw::TrayWindowControl
{
public:
    explicit FormWindowControl(TForm1& form)
        : m_form(form)
    {
    }
    void minimizeApp() override { m_form.Minimieren(); }
    // Centres a parked window once it is shown and its frame is known.
    void restoreApp() override { m_form.pmRestoreWindowClick(); }
    bool isHiddenToTray() const override { return m_form.inTray(); }
    void centreIfParked() override { }

private:
    TForm1& m_form;
};

} // namespace

void TForm1::wireTray()
{
    m_trayIcon = new gw::TrayIcon(this);
    m_trayIcon->setObjectName(QStringLiteral("TrayIcon"));
    // As the form holds it until start-up sets it again, so a settings load that switches the
    // program off can show the crossed globe.
    m_trayIcon->setIconList(&m_trayIcon->globeFrames());
    // Shown until the first tick selects the rest image: the same globe, so the idle picture
    // does not change a few seconds after start.
    m_trayIcon->setIcon(m_trayIcon->globeFrames().image(0));
    m_trayIcon->setHint(QStringLiteral("Globewall by Quillmoor"));
    m_trayIcon->setRightClickPopup(m_popupMenu1);

    m_trayWindow = std::make_unique<FormWindowControl>(*this);
    m_trayHandlers = std::make_unique<gw::TrayHandlers>(*m_trayIcon, *m_settings, *m_trayWindow);
    m_trayHandlers->TimerDoubleClick().setObjectName(QStringLiteral("TimerDoubleClick"));
    gw::TrayHandlers* handlers = m_trayHandlers.get();
    m_hooks.trayIconCross = [handlers](bool crossed) { handlers->TrayIconCross(crossed); };
    m_hooks.setupTrayAnimation = [handlers] { handlers->setUpAnimation(); };
}

QTimer* TForm1::TimerDoubleClick() const
{
    return &m_trayHandlers->TimerDoubleClick();
}

// The settings load switches the program off through here; the tray's single click and menu
// item reach the same switch.
void TForm1::GlobewallenabledClick()
{
    m_trayHandlers->GlobewallenabledClick();
}
