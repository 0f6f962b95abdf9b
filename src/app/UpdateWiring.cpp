// "Check for Update" on the "General" page: the update dialog, a window of its own, made on
// the first check.
#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "app/WidgetSettings.h"
#include "desktop/DesktopUtility.h"
#include "update/ui/UpdateDialog.h"

namespace gw {

// Nothing while a download runs; the dialog holds DownloadBusy while it is open, so the
// scheduler starts no download meanwhile.
void AppCore::btnCheckForUpdateClick()
{
    if (!m_updateDialog) {
        m_updateDialog = std::make_unique<UpdateDialog>(*m_settings, dialogs(), *m_clock, m_window.get());
        m_updateDialog->setFileVersion(m_desktopUtility->FileVersion());
        m_updateDialog->setErrorHandler([this](const QString& text) { errorReport().show(text); });
        emit updateDialogMade(m_updateDialog.get());
    }
    gw::btnCheckForUpdateClick(m_state, *m_updateDialog);
}

} // namespace gw
