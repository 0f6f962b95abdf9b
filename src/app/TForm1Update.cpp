// "Check for Update" on the "General" page: the update dialog, a window of its own.
#include "app/TForm1.h"

#include "update/ui/UpdateDialog.h"

#include "ui_TForm1.h"

void TForm1::wireUpdate()
{
    on(m_ui->btnCheckForUpdate, &QPushButton::clicked, [this] { btnCheckForUpdateClick(); });
}

// Nothing while a download runs; the dialog holds DownloadBusy while it is open, so the
// scheduler starts no download meanwhile.
void TForm1::btnCheckForUpdateClick()
{
    if (!m_updateDialog && m_updateDialogSource)
        m_updateDialog = m_updateDialogSource();
    if (m_updateDialog)
        gw::btnCheckForUpdateClick(m_state, *m_updateDialog);
}
