#include "app/AppCore.h"

#include "app/MainWindow.h"
#include "app/MessageWindow.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "app/WindowPlacement.h"
#include "desktop/Autostart.h"
#include "desktop/DesktopUtility.h"
#include "desktop/IconText.h"
#include "desktop/TrayHandlers.h"
#include "desktop/TrayIcon.h"
#include "downloads/DownloadJobs.h"
#include "downloads/DownloadLayers.h"
#include "downloads/MeteredDownloads.h"
#include "net/DownloadEngine.h"
#include "net/DownloadRecords.h"
#include "net/TransferDisplay.h"
#include "renderer/ConfigEditor.h"
#include "renderer/MarkerSatelliteFiles.h"
#include "renderer/RenderControl.h"
#include "renderer/RendererLayout.h"
#include "scheduler/CentralScheduler.h"
#include "scheduler/ClockChangeWatch.h"
#include "scheduler/ScreensaverQuery.h"
#include "scheduler/SessionNetwork.h"
#include "scheduler/SystemState.h"
#include "settings/SecretServiceVault.h"
#include "settings/SettingNames.h"
#include "shared/DateTime.h"
#include "shared/Endpoints.h"
#include "shared/Paths.h"
#include "timesync/ClockSetter.h"
#include "timesync/TimeSync.h"
#include "timesync/ui/TimeServerEditor.h"
#include "update/ui/UpdateDialog.h"

#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace gw {

namespace {
    const QString Grid = ctl::sgDownloadFiles;

    MainWindow::ViewOptions viewOptions(const AppCore::Options& options)
    {
        MainWindow::ViewOptions v;
        v.dialogs = options.dialogs;
        v.showTray = options.showTray;
        v.trayAvailable = options.trayAvailable;
        return v;
    }
} // namespace

AppCore::AppCore()
    : AppCore(Options())
{
}

AppCore::AppCore(Options options)
    : m_options(std::move(options))
    , m_clock(m_options.clock ? m_options.clock : &m_systemClock)
    , m_window(std::make_unique<MainWindow>(viewOptions(m_options)))
{
    Ui::MainWindow* ui = m_window->ui();
    m_programDir = programDir();
    m_settings = std::make_unique<WidgetSettings>(m_window.get(), ui->lbIconText);
    // The renderer's -center counts the screen's device pixels, not Qt's scaled ones.
    const QScreen* screen = QGuiApplication::primaryScreen();
    m_passwordVault = std::make_unique<SecretServiceVault>();
    m_settingsFile = std::make_unique<SettingsFile>(*m_settings, static_cast<SettingsFileHooks&>(*this), m_programDir,
        screen ? screen->size() * screen->devicePixelRatio() : QSize(0, 0), m_passwordVault.get());
    if (!settingsFileOverride().isEmpty())
        m_settingsFile->setBaseFile(settingsFileOverride());
    m_transferLog = std::make_unique<TransferLog>(ui->mTransfer, m_window->statusPanel());
    m_messageWindow = std::make_unique<MessageWindowOnDemand>(m_window.get());

    wireTray();
    wireDesktop();
    wireRender();
    wireBackground();
    wirePictureItems();
    wireHiddenWithoutTray();
    wireConfig();
    wireTimeSync();
    wireDownloads();
    wireScheduler();
    wireCommands();
    m_window->installEventFilter(this);

    if (m_options.runCreation) {
        FormShow();
        m_window->Timer2()->start();
    }
}

AppCore::~AppCore()
{
    // The dialog is a child of the window; it goes first so the window never deletes it.
    m_updateDialog.reset();
}

SettingsAccess& AppCore::settings()
{
    return *m_settings;
}

TransferLog& AppCore::transferLog()
{
    return *m_transferLog;
}

Dialogs& AppCore::dialogs()
{
    return m_window->dialogs();
}

ErrorReport& AppCore::errorReport()
{
    return m_window->errorReport();
}

void AppCore::wireCommands()
{
    MainWindow* w = m_window.get();
    Ui::MainWindow* ui = w->ui();
    on(ui->btnIniSave, &QPushButton::clicked, [this] { btnIniSaveClick(); });
    on(ui->btnIniSave2, &QPushButton::clicked, [this] { btnIniSaveClick(); });
    on(ui->btIniSaveAs, &QPushButton::clicked, [this] { btIniSaveAsClick(); });
    on(ui->btnIniSaveAs2, &QPushButton::clicked, [this] { btIniSaveAsClick(); });
    on(ui->btnIniLoad, &QPushButton::clicked, [this] { btnIniLoadClick(); });
    on(ui->btnIniLoad2, &QPushButton::clicked, [this] { btnIniLoadClick(); });
    on(ui->btnMakeBGTransparent, &QPushButton::clicked, [this] { btnMakeBGTransparentClick(); });
    on(ui->pmMakeDesktopIconBackgroundtransparent, &QAction::triggered, [this] { btnMakeBGTransparentClick(); });
    on(ui->btnCheckForUpdate, &QPushButton::clicked, [this] { btnCheckForUpdateClick(); });
    on(w->Timer2(), &QTimer::timeout, [this] { Timer2Timer(); });
    on(w->CentralTimer(), &QTimer::timeout, [this] { CentralTimerTimer(); });
    onUserChange(ui->cbProjektion, [this] { cbProjektionChange(); });
    onUserChange(ui->ddbConfig, [this] { ddbConfigChange(); });
}

void AppCore::onUserChange(QComboBox* combo, std::function<void()> handler)
{
    on(combo, &QComboBox::activated, handler);
    if (combo->lineEdit())
        on(combo->lineEdit(), &QLineEdit::textEdited, handler);
}

// ---------------------------------------------------------------------------------------
// Creation, in the order the later steps rely on: the settings are loaded before the renderer
// path and the first-start entries are filled in, and those use the renderer path.
void AppCore::FormShow()
{
    // Nothing runs yet.
    m_state.DownloadBusy = false;
    m_state.RenderBusy = false;
    m_state.TimedDownloadBusy = false;
    m_state.PingBusy = false;
    // The view body can be any body but "default".
    m_settings->setLines(ctl::ddbViewBody, m_settings->lines(ctl::ddbBodyTarget).mid(1));
    // No settings file until the load settles it.
    m_programDir = programDir();
    m_settingsFile->setConfigFileName(QString());
    m_transferLog->setLogFile(m_programDir + QStringLiteral("Globewall.log"));
    m_window->ui()->lbVersion->setText(m_desktopUtility->versionText());
    // The settings file may replace it.
    m_settings->setText(ctl::UserAgent,
        QStringLiteral("Mozilla/3.0 (Globewall v") + m_desktopUtility->FileVersion() + QStringLiteral(" )"));
    // The tray icon, unless the command line asked for none.
    if (m_options.showTray)
        m_trayHandlers->showTrayIcon();
    // An error while loading is shown and creation goes on, so the window is complete.
    run([this] { m_settingsFile->IniLoad(QString()); });
    settleRenderer();
    m_window->openFirstPages();
    m_window->park();
    // No time-server edit is pending, and no MD5 retry has been made.
    m_timeServerEditor->resetEditing();
    m_state.MD5RetryCount = 0;
    m_window->prepareDownloadGrid();
    m_settings->setCell(Grid, 0, 0, QStringLiteral("HTTP Address (Source)"));
    m_settings->setCell(Grid, 1, 0, QStringLiteral("Filename and path (Destination)"));
    // Looks at the base file, not at the current settings file.
    m_firstStart = !QFileInfo::exists(m_settingsFile->baseFile());
    if (m_firstStart)
        firstStartEntries();
    // Measured once every text it shows is in place.
    m_window->fitContents();
    m_window->fixMinimumSize();
    // Nothing has run yet, so every timed job is due at its first tick.
    m_state.LastRenderTime = 0;
    m_state.LastCloudCheckTime = 0;
    m_state.LastFileCheckTime = 0;
    // The tray animation, its frames at the tray's size.
    m_trayHandlers->setUpAnimation();
}

// The renderer: one beside the program, else the one on PATH; and its own folders, so the
// first render and the default downloads need no question.
void AppCore::settleRenderer()
{
    if (m_settings->text(ctl::edtAppFile).isEmpty()) {
        const QString beside = m_programDir + QStringLiteral("xplanet");
        const QFileInfo info(beside);
        QString app = beside;
        if (!(info.isFile() && info.isExecutable())) {
            const QString onPath = QStandardPaths::findExecutable(QStringLiteral("xplanet"));
            if (!onPath.isEmpty())
                app = onPath;
        }
        m_settings->setText(ctl::edtAppFile, app);
    }
    QString folderError;
    if (!RendererLayout(m_settings->text(ctl::edtAppFile)).ensureFolders(&folderError))
        run([&] {
            m_transferLog->appendLine(DateTimeToStr(m_clock->now()) + QStringLiteral(" - Error. ") + folderError);
        });
}

void AppCore::firstStartEntries()
{
    const RendererLayout layout(m_settings->text(ctl::edtAppFile));
    m_settings->setCell(Grid, 0, 1, endpoints::quakeFeed());
    m_settings->setCell(Grid, 1, 1, layout.markersFolder() + QStringLiteral("quake.csv"));
    m_settings->setCell(Grid, 0, 2, endpoints::issElements());
    m_settings->setCell(Grid, 1, 2, layout.satellitesFolder() + QStringLiteral("iss.tle"));
    // Into the lists and the chosen configuration too, or the renderer would never draw them.
    // An entry the configuration has already is left alone; a configuration unchanged is not
    // written, so a user's own file stays as it is.
    run([this] {
        MarkerSatelliteFiles& lists = *m_markerSatelliteFiles;
        bool changed = lists.addSatelliteFile(QStringLiteral("iss"));
        changed |= lists.addMarkerFile(QStringLiteral("earth"));
        changed |= lists.addMarkerFile(QStringLiteral("quake.marker"));
        changed |= lists.addNightMapWhenMissing();
        if (changed)
            m_configEditor->btnApplyChangesClick();
    });
}

// The start-up step, once, 200 ms after the event loop started.
void AppCore::Timer2Timer()
{
    m_window->Timer2()->stop();
    // The window is first shown here, still parked below the desktop, and centred once its
    // frame is known; a minimised start never shows it at all.
    if (m_settings->checked(ctl::cbStartMinimized))
        m_window->Minimieren();
    else
        m_window->RestoreWindow();
    m_window->placeAtStart(savedPlacement());
    m_downloadJobs->edtWebAdressChange();

    m_scheduler->seedStartTimes();

    m_window->CentralTimer()->start();
    if (m_settings->checked(ctl::cbMakeTransAtStart))
        btnMakeBGTransparentClick();
    // A new user sees the globe at once rather than after the first interval; later starts
    // render at start only when "start XPlanet at program start" says so.
    if (m_firstStart && displayReachable())
        run([this] { m_render->StartXPlanet(); });
}

// A render needs a desktop to show on: a connection to a window system, not the offscreen or
// minimal platform of a session without one.
bool AppCore::displayReachable()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

// ---------------------------------------------------------------------------------------
// Shut-down.
void AppCore::shutDown()
{
    m_unattended = true;
    ErrorReport::setUnattended(true);
    m_window->close();
}

bool AppCore::saveUnattended()
{
    auto report = [] {
        const QString text = ErrorReport::currentExceptionText();
        std::fprintf(stderr, "Globewall: %s\n", text.toLocal8Bit().constData());
        return text;
    };
    try {
        m_settingsFile->IniSave(m_settingsFile->ConfigFileName());
        return true;
    } catch (...) {
        const QString text = report();
        try {
            m_transferLog->appendLine(DateTimeToStr(m_clock->now()) + QStringLiteral(" - Error. ") + text);
        } catch (...) {
            report();
        }
        return false;
    }
}

bool AppCore::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window.get() && event->type() == QEvent::Close && !m_closed) {
        // The close box is the window system's close; "Close", the tray's "close" and the end
        // of the session close the window from here.
        bool ends = true;
        if (event->spontaneous() && !m_unattended)
            run([&] { ends = closeBoxEndsProgram(); });
        if (!ends || !closeWindow()) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool AppCore::closeWindow()
{
    // A failed save is shown and the window stays open; the user can close it again. A close
    // asked by a signal or the session reports it without a box and goes on.
    if (m_unattended)
        saveUnattended();
    else if (!errorReport().guard([this] { m_settingsFile->IniSave(m_settingsFile->ConfigFileName()); }))
        return false;
    // Then no transfer and no renderer outlive the window, and no timer ticks again.
    run([this] { m_downloadEngine->abort(); });
    run([this] { m_render->pmKillNowClick(); });
    m_window->CentralTimer()->stop();
    m_window->Timer2()->stop();
    m_trayIcon->setIconsShown({});
    m_closed = true;
    emit closed();
    return true;
}

} // namespace gw
