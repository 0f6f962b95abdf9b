#include "app/TrayIconShell.h"

#include "app/AppIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace gw {

TrayIconShell::TrayIconShell(QMenu* menu, std::function<void()> doubleClick, QObject* parent)
    : QObject(parent)
    , m_icon(new QSystemTrayIcon(globewallIcon(), this))
    , m_doubleClick(std::move(doubleClick))
{
    m_icon->setToolTip(QStringLiteral("Globewall by Quillmoor"));
    m_icon->setContextMenu(menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick && m_doubleClick)
            m_doubleClick();
    });
}

void TrayIconShell::show()
{
    m_icon->show();
}

void TrayIconShell::hide()
{
    m_icon->hide();
}

bool TrayIconShell::available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace gw
