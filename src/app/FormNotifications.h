#pragma once
// The desktop notifications wired to the window: the transfer log, the time sync log and the
// update dialog's status feed NoticeWatch; the check box cbNotifications switches them on.
#include "desktop/Notifications.h"

#include <QDBusConnection>
#include <QObject>

class QWidget;
class TForm1;

namespace gw {

class FormNotifications : public QObject
{
public:
    FormNotifications(TForm1& form, QWidget* updateDialog, QDBusConnection bus = QDBusConnection::sessionBus());
    // The update dialog's status feeds the notifications once the dialog exists.
    void watchUpdateDialog(QWidget* updateDialog);

private:
    void consider(const std::optional<Notice>& notice);

    NoticeWatch m_watch;
    DesktopNotifier m_notifier;
};

} // namespace gw
