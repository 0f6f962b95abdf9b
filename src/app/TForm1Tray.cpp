// The tray icon component on the window: its image lists, hint and menu.
#include "app/TForm1.h"

#include "app/AppIcon.h"
#include "desktop/RozAduzidovIdurAver.h"

void TForm1::wireTray()
{
    m_trayIcon = new gw::RozAduzidovIdurAver(this);
    m_trayIcon->setObjectName(QStringLiteral("TrayIcon"));
    // As the form holds it until start-up sets it again, so a settings load that switches the
    // program off can show the crossed globe.
    m_trayIcon->setIconList(&m_trayIcon->ilDrehenderGlobus());
    m_trayIcon->setIcon(gw::globewallIcon());
    m_trayIcon->setHint(QStringLiteral("Globewall by Quillmoor"));
}
