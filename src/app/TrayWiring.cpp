// The tray icon on the window: its frames, hint and menu, the click and double-click
// handlers, and the master switch's crossed globe.
#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "app/WidgetSettings.h"
#include "desktop/TrayHandlers.h"
#include "desktop/TrayIcon.h"

#include "ui_MainWindow.h"

namespace gw {

namespace {

    // The tray's double click minimises and restores through the window's own steps, which
    // keep a window without a notification area reachable and centre a window still parked.
    class FormWindowControl : public TrayWindowControl
    {
    public:
        explicit FormWindowControl(MainWindow& form)
            : m_form(form)
        {
        }
        void minimizeApp() override { m_form.Minimieren(); }
        // Centres a parked window once it is shown and its frame is known.
        void restoreApp() override { m_form.pmRestoreWindowClick(); }
        bool isHiddenToTray() const override { return m_form.inTray(); }
        void centreIfParked() override { }

    private:
        MainWindow& m_form;
    };

} // namespace

void AppCore::wireTray()
{
    m_trayIcon = std::make_unique<TrayIcon>();
    m_trayIcon->setObjectName(QStringLiteral("TrayIcon"));
    // As the form holds it until start-up sets it again, so a settings load that switches the
    // program off can show the crossed globe.
    m_trayIcon->setIconList(&m_trayIcon->globeFrames());
    // Shown until the first tick selects the rest image: the same globe, so the idle picture
    // does not change a few seconds after start.
    m_trayIcon->setIcon(m_trayIcon->globeFrames().image(0));
    m_trayIcon->setHint(QStringLiteral("Globewall by Quillmoor"));
    m_trayIcon->setRightClickPopup(m_window->PopupMenu1());

    m_trayWindow = std::make_unique<FormWindowControl>(*m_window);
    m_trayHandlers = std::make_unique<TrayHandlers>(*m_trayIcon, *m_settings, *m_trayWindow);
    m_trayHandlers->TimerDoubleClick().setObjectName(QStringLiteral("TimerDoubleClick"));
    TrayHandlers* handlers = m_trayHandlers.get();
    // The menu item checks itself when chosen; only the consequences remain to be done.
    connect(m_window->ui()->Globewallenabled, &QAction::triggered, this,
        [this, handlers](bool enabled) { run([handlers, enabled] { handlers->TrayIconCross(!enabled); }); });
}

// The settings load switches the program off through here; the tray's single click and menu
// item reach the same switch.
void AppCore::GlobewallenabledClick()
{
    m_trayHandlers->GlobewallenabledClick();
}

} // namespace gw
