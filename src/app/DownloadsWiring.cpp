// The "Download settings" page: the download engine with its progress display, the jobs
// started by the buttons, the tray menu and the cloud address field, and the layer boxes.
#include "app/AppCore.h"
#include "app/LinkLabel.h"
#include "app/MainWindow.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "app/WindowTransferDisplay.h"
#include "desktop/DesktopUtility.h"
#include "desktop/TrayIcon.h"
#include "downloads/AnswerLimits.h"
#include "downloads/CloudSources.h"
#include "downloads/DownloadJobs.h"
#include "downloads/DownloadLayers.h"
#include "downloads/MeteredDownloads.h"
#include "downloads/SourceCredits.h"
#include "net/DownloadEngine.h"
#include "net/DownloadRecords.h"
#include "net/TransferProgress.h"
#include "renderer/ConfigEditor.h"
#include "renderer/MarkerSatelliteFiles.h"
#include "renderer/RenderControl.h"
#include "settings/SettingNames.h"
#include "timesync/TimeSync.h"

#include "ui_MainWindow.h"

namespace gw {

void AppCore::wireDownloads()
{
    Ui::MainWindow* ui = m_window->ui();
    m_transferDisplay = std::make_unique<WindowTransferDisplay>(
        m_window->ProgressBar(), [this](const QString& text) { m_window->setStatusText(text); });
    // The records go to whichever settings file is current at the moment of each download.
    m_downloadRecords = std::make_unique<DownloadRecords>([this] { return m_settingsFile->ConfigFileName(); });
    m_downloadEngine = std::make_unique<DownloadEngine>(
        *m_settings, m_state, *m_transferLog, dialogs(), *m_clock, *m_downloadRecords);
    DownloadEngine* engine = m_downloadEngine.get();
    engine->setAnswerLimit(limits::maxBytesFor);
    showTransfers(*engine, *m_trayIcon, *m_transferDisplay, *m_settings);

    DownloadJobs::Actions actions;
    actions.startXPlanet = [this] { m_render->StartXPlanet(RenderControl::Trigger::Background); };
    actions.executeFile = [this](const QString& path) { m_render->ExecuteFile(path); };
    actions.generateSatFile = [this](const QString& tle) { m_markerSatelliteFiles->GenerateSatFile(tle); };
    actions.synchronizeTime = [this] { run([this] { m_timeSync->btnCheckTimeServerClick(); }); };
    actions.openBrowser = [this](const QString& url) { m_desktopUtility->openUrl(url); };
    actions.settingsLoaded = [this] { return m_settingsFile->SettingsLoaded(); };
    actions.timedRowWaits = [this](const QString& source, const QString& destination) {
        return m_meteredDownloads && m_meteredDownloads->rowWaits(source, destination);
    };
    actions.nameCloudMap = [this](const QString& file) {
        if (m_configEditor->nameCloudMapIfNone(QStringLiteral("earth"), file))
            logLine(QStringLiteral(" - ") + file + QStringLiteral(" is now the earth's cloud_map in the configuration ")
                + m_settings->text(ctl::ddbConfig));
    };
    m_downloadJobs = std::make_unique<DownloadJobs>(
        *m_settings, m_state, *m_transferLog, dialogs(), *m_clock, *engine, std::move(actions));
    DownloadJobs* jobs = m_downloadJobs.get();

    on(ui->btnCheckDownloads, &QPushButton::clicked, [jobs] { jobs->btnCheckDownloadsClick(); });
    on(ui->pmDownloadfromHTTPnow, &QAction::triggered, [jobs] { jobs->btnCheckDownloadsClick(); });
    on(ui->btnDownloadCloudNow, &QPushButton::clicked, [jobs] { jobs->btnDownloadCloudNowClick(); });
    on(ui->btnDownloadTleNow, &QPushButton::clicked, [jobs] { jobs->btnDownloadTleNowClick(); });
    on(ui->btnExecuteFileNow, &QPushButton::clicked, [jobs] { jobs->btnExecuteFileNowClick(); });
    on(ui->btnChooseExecuteFile, &QPushButton::clicked, [jobs] { jobs->btnChooseExecuteFileClick(); });
    on(ui->Label4, &LinkLabel::clicked, [jobs] { jobs->openCloudInfoPage(); });
    // Every change of the address, by code too; the jobs wait for the first settings load.
    on(ui->edtWebAdress, &QLineEdit::textChanged, [jobs] { jobs->edtWebAdressChange(); });

    // The live cloud sources: the drop-down shows what the address is, so it is never stored.
    QComboBox* sources = ui->ddbCloudSource;
    sources->addItems(cloudsources::captions());
    // The live maps' terms ask for their credit line wherever one of them is used.
    QLabel* credit = ui->lbCloudCredit;
    credit->setText(sources::liveCloudCredit());
    const auto showSource = [sources, credit](const QString& url) {
        sources->setCurrentIndex(cloudsources::indexOf(url));
        credit->setVisible(cloudsources::indexOf(url) != 0);
    };
    connect(ui->edtWebAdress, &QLineEdit::textChanged, sources, showSource);
    showSource(ui->edtWebAdress->text());
    on(sources, &QComboBox::activated, [ui, jobs, sources, showSource] {
        jobs->cloudSourcePicked(sources->currentIndex());
        showSource(ui->edtWebAdress->text()); // "own address" picked: the address stays as it is
    });

    wireLayers();
}

// The layer boxes show what the download list fetches, so they are never stored: they follow
// the rows however those change, and a click changes the rows.
void AppCore::wireLayers()
{
    Ui::MainWindow* ui = m_window->ui();
    DownloadJobs* jobs = m_downloadJobs.get();
    m_downloadLayers
        = std::make_unique<DownloadLayers>(*m_settings, *m_configEditor, [jobs](int row) { jobs->downloadRow(row); });
    DownloadLayers* layers = m_downloadLayers.get();
    const std::pair<DownloadLayers::Layer, QCheckBox*> boxes[] = {
        { DownloadLayers::Layer::Earthquakes, ui->cbLayerEarthquakes },
        { DownloadLayers::Layer::Aurora, ui->cbLayerAurora },
        { DownloadLayers::Layer::Storms, ui->cbLayerStorms },
        { DownloadLayers::Layer::Iss, ui->cbLayerIss },
        { DownloadLayers::Layer::Volcanoes, ui->cbLayerVolcanoes },
        { DownloadLayers::Layer::Wildfires, ui->cbLayerWildfires },
    };
    const auto follow = [layers, boxes] {
        for (const auto& [layer, box] : boxes) {
            const QSignalBlocker quiet(box);
            box->setChecked(layers->isOn(layer));
        }
    };
    for (const auto& [layer, box] : boxes) {
        const DownloadLayers::Layer which = layer;
        QCheckBox* const clicked = box;
        connect(box, &QCheckBox::clicked, this, [this, layers, which, clicked, follow] {
            run([layers, which, clicked] { layers->setOn(which, clicked->isChecked()); });
            follow();
        });
    }
    // Every change of a cell, typed or set, reaches the grid's model (its itemChanged comes from there).
    connect(ui->sgDownloadFiles->model(), &QAbstractItemModel::dataChanged, this, follow);
    connect(ui->PageControl, &QTabWidget::currentChanged, this, follow);
    follow();

    // The trail in the satellite files already written follows the box too.
    on(ui->cbIssTrail, &QCheckBox::clicked, [this, ui] {
        MarkerSatelliteFiles::setTrailInGeneratedFiles(
            m_configEditor->layout().satellitesFolder(), ui->cbIssTrail->isChecked());
    });
}

} // namespace gw
