// The "Download settings" page: the download engine with its progress display, and the jobs
// started by the buttons, the tray menu and the cloud address field.
#include "app/TForm1.h"

#include "app/LinkLabel.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "app/WindowTransferDisplay.h"
#include "desktop/DesktopUtility.h"
#include "desktop/TrayIcon.h"
#include "downloads/CloudSources.h"
#include "downloads/DownloadEngine.h"
#include "downloads/DownloadJobs.h"
#include "downloads/DownloadRecords.h"
#include "downloads/TransferProgress.h"
#include "renderer/MarkerSatelliteFiles.h"
#include "renderer/RenderControl.h"
#include "timesync/TimeSync.h"

#include "ui_TForm1.h"

void TForm1::wireDownloads()
{
    m_transferDisplay = std::make_unique<gw::WindowTransferDisplay>(
        m_progressBar, [this](const QString& text) { setStatusText(text); });
    // The records go to whichever settings file is current at the moment of each download.
    m_downloadRecords = std::make_unique<gw::DownloadRecords>([this] { return m_settingsFile->ConfigFileName(); });
    m_downloadEngine = std::make_unique<gw::DownloadEngine>(
        *m_settings, m_state, *m_transferLog, *m_dialogs, *m_clock, *m_downloadRecords);
    gw::DownloadEngine* engine = m_downloadEngine.get();
    gw::showTransfers(*engine, *m_trayIcon, *m_transferDisplay, *m_settings);
    m_hooks.closeHttp = [engine] { engine->abort(); };

    gw::DownloadJobs::Actions actions;
    actions.startXPlanet = [this] { m_render->StartXPlanet(gw::RenderControl::Trigger::Background); };
    actions.executeFile = [this](const QString& path) { m_render->ExecuteFile(path); };
    actions.generateSatFile = [this](const QString& tle) { m_markerSatelliteFiles->GenerateSatFile(tle); };
    actions.synchronizeTime = [this] { run([this] { m_timeSync->btnCheckTimeServerClick(); }); };
    actions.openBrowser = [this](const QString& url) { m_desktopUtility->openUrl(url); };
    actions.settingsLoaded = [this] { return m_settingsFile->SettingsLoaded(); };
    m_downloadJobs = std::make_unique<gw::DownloadJobs>(
        *m_settings, m_state, *m_transferLog, *m_dialogs, *m_clock, *engine, std::move(actions));
    gw::DownloadJobs* jobs = m_downloadJobs.get();

    on(m_ui->btnCheckDownloads, &QPushButton::clicked, [jobs] { jobs->btnCheckDownloadsClick(); });
    on(m_ui->pmDownloadfromHTTPnow, &QAction::triggered, [jobs] { jobs->btnCheckDownloadsClick(); });
    on(m_ui->btnDownloadCloudNow, &QPushButton::clicked, [jobs] { jobs->btnDownloadCloudNowClick(); });
    on(m_ui->btnDownloadTleNow, &QPushButton::clicked, [jobs] { jobs->btnDownloadTleNowClick(); });
    on(m_ui->btnExecuteFileNow, &QPushButton::clicked, [jobs] { jobs->btnExecuteFileNowClick(); });
    on(m_ui->btnChooseExecuteFile, &QPushButton::clicked, [jobs] { jobs->btnChooseExecuteFileClick(); });
    on(m_ui->Label4, &gw::LinkLabel::clicked, [jobs] { jobs->openCloudInfoPage(); });
    // Every change of the address, by code too; the jobs wait for the first settings load.
    m_hooks.edtWebAdressChange = [jobs] { jobs->edtWebAdressChange(); };

    // The live cloud sources: the drop-down shows what the address is, so it is never stored.
    QComboBox* sources = m_ui->ddbCloudSource;
    sources->addItems(gw::cloudsources::captions());
    const auto showSource = [sources](const QString& url) { sources->setCurrentIndex(gw::cloudsources::indexOf(url)); };
    connect(m_ui->edtWebAdress, &QLineEdit::textChanged, sources, showSource);
    showSource(m_ui->edtWebAdress->text());
    on(sources, &QComboBox::activated, [this, jobs, sources, showSource] {
        jobs->cloudSourcePicked(sources->currentIndex());
        showSource(m_ui->edtWebAdress->text()); // "own address" picked: the address stays as it is
    });
}
