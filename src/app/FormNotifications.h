#pragma once
// The desktop notifications wired to the window: the transfer log, the time sync log and the
// update dialog's status feed NoticeWatch; the check box cbNotifications switches them on.
#include "desktop/Notifications.h"

#include <QDBusConnection>
#include <QObject>

class QWidget;

namespace gw {

class AppCore;

class FormNotifications : public QObject
{
public:
    explicit FormNotifications(AppCore& app, QDBusConnection bus = QDBusConnection::sessionBus());

private:
    // The update dialog's status feeds the notifications once the dialog exists.
    void watchUpdateDialog(QWidget* updateDialog);
    void consider(const std::optional<Notice>& notice);

    NoticeWatch m_watch;
    DesktopNotifier m_notifier;
};

} // namespace gw
