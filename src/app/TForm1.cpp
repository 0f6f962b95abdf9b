#include "app/TForm1.h"

#include "app/AppIcon.h"
#include "app/KeyFilters.h"
#include "app/SpinEdit.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "app/WindowPlacement.h"
#include "desktop/Autostart.h"
#include "desktop/DesktopUtility.h"
#include "desktop/IconText.h"
#include "desktop/TrayHandlers.h"
#include "desktop/TrayIcon.h"
#include "downloads/DownloadEngine.h"
#include "downloads/DownloadJobs.h"
#include "downloads/DownloadRecords.h"
#include "downloads/TransferDisplay.h"
#include "renderer/ConfigEditor.h"
#include "renderer/MarkerSatelliteFiles.h"
#include "renderer/RenderControl.h"
#include "renderer/RendererLayout.h"
#include "scheduler/CentralScheduler.h"
#include "scheduler/ScreensaverQuery.h"
#include "scheduler/SystemState.h"
#include "settings/Defaults.h"
#include "settings/SecretServiceVault.h"
#include "settings/SettingNames.h"
#include "settings/SettingsTable.h"
#include "shared/DateTime.h"
#include "shared/Endpoints.h"
#include "shared/Error.h"
#include "shared/Paths.h"
#include "timesync/ClockSetter.h"
#include "timesync/TimeSync.h"
#include "timesync/ui/TimeServerEditor.h"

#include "ui_TForm1.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

namespace {
const QString Grid = gw::ctl::sgDownloadFiles;

// A fallback until main() attaches the real message window, so nothing dereferences null.
gw::MemoryMessageWindow& unattachedMessageWindow()
{
    static gw::MemoryMessageWindow w;
    return w;
}
} // namespace

TForm1::TForm1()
    : TForm1(Options())
{
}

TForm1::TForm1(Options options)
    : QMainWindow(nullptr)
    , m_ui(std::make_unique<Ui::TForm1>())
    , m_options(std::move(options))
    , m_clock(m_options.clock ? m_options.clock : &m_systemClock)
    , m_qtDialogs(this)
    , m_dialogs(m_options.dialogs ? m_options.dialogs : &m_qtDialogs)
    , m_errors(m_dialogs)
{
    m_ui->setupUi(this);
    formLoad();
    m_programDir = gw::programDir();
    m_settings = std::make_unique<gw::WidgetSettings>(this, m_ui->lbIconText);
    // The renderer's -center counts the screen's device pixels, not Qt's scaled ones.
    const QScreen* screen = QGuiApplication::primaryScreen();
    m_passwordVault = std::make_unique<gw::SecretServiceVault>();
    m_settingsFile = std::make_unique<gw::SettingsFile>(*m_settings, *this, m_programDir,
        screen ? screen->size() * screen->devicePixelRatio() : QSize(0, 0), m_passwordVault.get());
    if (!gw::settingsFileOverride().isEmpty())
        m_settingsFile->setBaseFile(gw::settingsFileOverride());

    m_centralTimer = new QTimer(this);
    m_centralTimer->setObjectName(QStringLiteral("CentralTimer"));
    m_centralTimer->setInterval(5000);
    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(200);
    m_timer2->setSingleShot(true);

    buildMenus();
    buildStatusBar();
    m_transferLog = std::make_unique<gw::TransferLog>(m_ui->mTransfer, m_statusPanel1);
    wireTray();
    wireDesktop();
    wireRender();
    wireBackground();
    wireConfig();
    wireTimeSync();
    wireDownloads();
    wireScheduler();
    wireUpdate();
    connectCommands();

    if (m_options.attach)
        m_options.attach(*this);
    if (m_options.runCreation) {
        FormShow();
        m_timer2->start();
    }
}

TForm1::~TForm1() = default;

// The state the designer cannot express: item lists from the one table of bodies and
// projections, the spin edits' ranges from the control table, the grid's shape.
void TForm1::formLoad()
{
    setWindowIcon(gw::globewallIcon());
    m_ui->ddbBodyTarget->addItems(gw::bodyList());
    m_ui->cbProjektion->addItems(gw::projectionList());
    gw::WidgetSettings::setComboText(m_ui->ddbBodyTarget, QStringLiteral("earth"));
    gw::WidgetSettings::setComboText(m_ui->cbProjektion, QStringLiteral("orthographic"));

    for (gw::SpinEdit* spin : findChildren<gw::SpinEdit*>())
        if (const gw::SettingRow* row = gw::findSetting(spin->objectName()))
            spin->setBounds(row->minValue, row->maxValue);

    auto* server = new QListWidgetItem(gw::defaults::TimeServer, m_ui->cbTimeServer);
    server->setFlags(server->flags() | Qt::ItemIsUserCheckable);
    server->setCheckState(Qt::Unchecked);

    QTableWidget* grid = m_ui->sgDownloadFiles;
    grid->setColumnCount(gw::GridColumns);
    grid->setRowCount(gw::GridRows - 1);
    for (int c = 0; c < gw::GridColumns; ++c)
        grid->setHorizontalHeaderItem(c, new QTableWidgetItem(QString()));
    grid->verticalHeader()->hide();
    grid->installEventFilter(this);

    m_ui->mTime->installEventFilter(new gw::KeyPressFilter(gw::mTimeKeyPress, m_ui->mTime));
    m_ui->edtProxyPort->installEventFilter(new gw::KeyPressFilter(gw::edtProxyPortKeyPress, m_ui->edtProxyPort));

    // The addresses live in one place; the labels show them as they are.
    m_ui->lbWWW->setText(gw::endpoints::programHome());
    m_ui->lbEMail->setText(gw::endpoints::programEmail());
    m_ui->lbXplanetHome->setText(gw::endpoints::rendererHome());
    m_ui->btnCheckForUpdate->setToolTip(QStringLiteral("visit \"") + gw::endpoints::programHome() + QLatin1Char('"'));

    m_ui->imgDesktopIcon->setPixmap(gw::globewallIcon().pixmap(24, 24));
    QPalette black = m_ui->pnIconPreview->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_ui->pnIconPreview->setPalette(black);
}

void TForm1::buildMenus()
{
    auto separator = [](QMenu* menu, const char* name) {
        QAction* a = menu->addSeparator();
        a->setObjectName(QString::fromLatin1(name));
    };
    m_popupMenu1 = new QMenu(this);
    m_popupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    m_popupMenu1->addAction(m_ui->pmRestoreWindow);
    separator(m_popupMenu1, "N4");
    m_popupMenu1->addAction(m_ui->pmStartNow);
    m_popupMenu1->addAction(m_ui->pmDownloadfromHTTPnow);
    separator(m_popupMenu1, "N5");
    m_popupMenu1->addAction(m_ui->pmKillNow);
    separator(m_popupMenu1, "N2");
    m_popupMenu1->addAction(m_ui->pmMakeDesktopIconBackgroundtransparent);
    separator(m_popupMenu1, "N3");
    m_popupMenu1->addAction(m_ui->Globewallenabled);
    separator(m_popupMenu1, "N1");
    m_popupMenu1->addAction(m_ui->pmClose);

    m_pmMarker = new QMenu(this);
    m_pmMarker->setObjectName(QStringLiteral("pmMarker"));
    m_pmMarker->addActions({ m_ui->Openineditor1, m_ui->Deletefromlist1 });
    m_pmSatellite = new QMenu(this);
    m_pmSatellite->setObjectName(QStringLiteral("pmSatellite"));
    m_pmSatellite->addActions({ m_ui->Openineditor2, m_ui->Deletefromlist2 });
    m_pmTimeServer = new QMenu(this);
    m_pmTimeServer->setObjectName(QStringLiteral("pmTimeServer"));
    m_pmTimeServer->addActions({ m_ui->Edit1, m_ui->Copy2, m_ui->Delete1 });
}

// Panel 0, 120 pixels, holds the download progress bar; panel 1 the last log line.
void TForm1::buildStatusBar()
{
    auto* panel0 = new QWidget(m_ui->StatusBar1);
    panel0->setObjectName(QStringLiteral("StatusPanel0"));
    panel0->setFixedWidth(120);
    auto* layout = new QHBoxLayout(panel0);
    layout->setContentsMargins(1, 2, 1, 1);
    m_progressBar = new QProgressBar(panel0);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setMaximumHeight(14);
    layout->addWidget(m_progressBar);
    m_statusPanel1 = new QLabel(m_ui->StatusBar1);
    m_statusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    m_ui->StatusBar1->addWidget(panel0);
    m_ui->StatusBar1->addWidget(m_statusPanel1, 1);
}

void TForm1::connectCommands()
{
    auto on = [this](auto* sender, auto signal, void (TForm1::*handler)()) {
        connect(sender, signal, this, [this, handler] { run([this, handler] { (this->*handler)(); }); });
    };
    on(m_ui->btnMinimize, &QPushButton::clicked, &TForm1::btnMinimizeClick);
    on(m_ui->btnClose, &QPushButton::clicked, &TForm1::btnCloseClick);
    on(m_ui->pmClose, &QAction::triggered, &TForm1::btnCloseClick);
    on(m_ui->pmRestoreWindow, &QAction::triggered, &TForm1::pmRestoreWindowClick);
    on(m_ui->btnIniSave, &QPushButton::clicked, &TForm1::btnIniSaveClick);
    on(m_ui->btnIniSave2, &QPushButton::clicked, &TForm1::btnIniSaveClick);
    on(m_ui->btIniSaveAs, &QPushButton::clicked, &TForm1::btIniSaveAsClick);
    on(m_ui->btnIniSaveAs2, &QPushButton::clicked, &TForm1::btIniSaveAsClick);
    on(m_ui->btnIniLoad, &QPushButton::clicked, &TForm1::btnIniLoadClick);
    on(m_ui->btnIniLoad2, &QPushButton::clicked, &TForm1::btnIniLoadClick);
    on(m_ui->btnMakeBGTransparent, &QPushButton::clicked, &TForm1::btnMakeBGTransparentClick);
    on(m_ui->pmMakeDesktopIconBackgroundtransparent, &QAction::triggered, &TForm1::btnMakeBGTransparentClick);
    on(m_timer2, &QTimer::timeout, &TForm1::Timer2Timer);
    connect(m_centralTimer, &QTimer::timeout, this, [this] { run([this] { call(m_hooks.CentralTimerTimer); }); });

    // The menu item checks itself when chosen; only the consequences remain to be done.
    connect(m_ui->Globewallenabled, &QAction::triggered, this, [this](bool enabled) {
        run([this, enabled] {
            if (m_hooks.trayIconCross)
                m_hooks.trayIconCross(!enabled);
        });
    });

    // An edit field's change event fires on every change, also by code; a combo box's only
    // when the user changes it.
    on(m_ui->edtParameter, &QLineEdit::textChanged, &TForm1::edtParameterChange);
    connect(m_ui->edtWebAdress, &QLineEdit::textChanged, this,
        [this] { run([this] { call(m_hooks.edtWebAdressChange); }); });
    onUserChange(m_ui->cbProjektion, [this] { cbProjektionChange(); });
    onUserChange(m_ui->ddbConfig, [this] { ddbConfigChange(); });
}

void TForm1::onUserChange(QComboBox* combo, std::function<void()> handler)
{
    on(combo, &QComboBox::activated, handler);
    if (combo->lineEdit())
        on(combo->lineEdit(), &QLineEdit::textEdited, handler);
}

gw::SettingsAccess& TForm1::settings()
{
    return *m_settings;
}

gw::LogSink& TForm1::transferLog()
{
    return *m_transferLog;
}

gw::MessageWindowSink& TForm1::messageWindow()
{
    return m_messageWindow ? *m_messageWindow : unattachedMessageWindow();
}

void TForm1::setStatusText(const QString& text)
{
    m_statusPanel1->setText(text);
}

QString TForm1::statusText() const
{
    return m_statusPanel1->text();
}

// ---------------------------------------------------------------------------------------
// Creation, in the order the later steps rely on: the settings are loaded before the renderer
// path and the first-start entries are filled in, and those use the renderer path.
void TForm1::FormShow()
{
    // Nothing runs yet.
    m_state.DownloadBusy = false;
    m_state.RenderBusy = false;
    m_state.TimedDownloadBusy = false;
    m_state.PingBusy = false;
    // The renderer configuration's line lists.
    call(m_hooks.createConfigLines);
    // The view body can be any body but "default".
    m_settings->setLines(gw::ctl::ddbViewBody, m_settings->lines(gw::ctl::ddbBodyTarget).mid(1));
    // No settings file until the load settles it.
    m_programDir = gw::programDir();
    m_settingsFile->setConfigFileName(QString());
    m_transferLog->setLogFile(m_programDir + QStringLiteral("Globewall.log"));
    // Minimise and restore reach Minimieren and RestoreWindow through changeEvent().
    // The version the program was built as.
    m_ui->lbVersion->setText(m_desktopUtility->versionText());
    // The settings file may replace it.
    m_settings->setText(gw::ctl::UserAgent,
        QStringLiteral("Mozilla/3.0 (Globewall v") + m_desktopUtility->FileVersion() + QStringLiteral(" )"));
    // The tray icon, unless the command line asked for none.
    if (m_options.showTray)
        m_trayHandlers->showTrayIcon();
    // An error while loading is shown and creation goes on, so the window is complete.
    run([this] { m_settingsFile->IniLoad(QString()); });
    settleRenderer();
    // The window cannot be made smaller than it is now.
    m_minWindowWidth = width();
    m_minWindowHeight = height();
    setMinimumSize(m_minWindowWidth, m_minWindowHeight);
    // The progress bar sits in panel 0 (buildStatusBar).
    // Both page controls open on their first page.
    m_ui->PageControl->setCurrentIndex(0);
    m_ui->PageControlParameter->setCurrentIndex(0);
    // Parked below the desktop until the start-up step places it.
    move(x(), gw::ParkedTop);
    m_parked = true;
    // No time-server edit is pending, and no MD5 retry has been made.
    call(m_hooks.resetTimeServerEditing);
    m_state.MD5RetryCount = 0;
    prepareDownloadGrid();
    // Looks at the base file, not at the current settings file.
    m_firstStart = !QFileInfo::exists(m_settingsFile->baseFile());
    if (m_firstStart)
        firstStartEntries();
    // Nothing has run yet, so every timed job is due at its first tick.
    m_state.LastRenderTime = 0;
    m_state.LastCloudCheckTime = 0;
    m_state.LastFileCheckTime = 0;
    // The tray animation, its frames at the tray's size.
    call(m_hooks.setupTrayAnimation);
}

// The renderer: one beside the program, else the one on PATH; and its own folders, so the
// first render and the default downloads need no question.
void TForm1::settleRenderer()
{
    if (m_settings->text(gw::ctl::edtAppFile).isEmpty()) {
        const QString beside = m_programDir + QStringLiteral("xplanet");
        const QFileInfo info(beside);
        QString app = beside;
        if (!(info.isFile() && info.isExecutable())) {
            const QString onPath = QStandardPaths::findExecutable(QStringLiteral("xplanet"));
            if (!onPath.isEmpty())
                app = onPath;
        }
        m_settings->setText(gw::ctl::edtAppFile, app);
    }
    QString folderError;
    if (!gw::RendererLayout(m_settings->text(gw::ctl::edtAppFile)).ensureFolders(&folderError))
        run([&] {
            m_transferLog->appendLine(gw::DateTimeToStr(m_clock->now()) + QStringLiteral(" - Error. ") + folderError);
        });
}

// The download grid: rows as high as their text, and the column headers.
void TForm1::prepareDownloadGrid()
{
    QTableWidget* grid = m_ui->sgDownloadFiles;
    const int rowHeight = grid->fontMetrics().height() + 4;
    grid->verticalHeader()->setMinimumSectionSize(rowHeight);
    grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_settings->setCell(Grid, 0, 0, QStringLiteral("HTTP Address (Source)"));
    m_settings->setCell(Grid, 1, 0, QStringLiteral("Filename and path (Destination)"));
}

void TForm1::firstStartEntries()
{
    const gw::RendererLayout layout(m_settings->text(gw::ctl::edtAppFile));
    m_settings->setCell(Grid, 0, 1, gw::endpoints::quakeFeed());
    m_settings->setCell(Grid, 1, 1, layout.markersFolder() + QStringLiteral("quake.csv"));
    m_settings->setCell(Grid, 0, 2, gw::endpoints::issElements());
    m_settings->setCell(Grid, 1, 2, layout.satellitesFolder() + QStringLiteral("iss.tle"));
    // Into the lists and the chosen configuration too, or the renderer would never draw them.
    // An entry the configuration has already is left alone; a configuration unchanged is not
    // written, so a user's own file stays as it is.
    run([this] {
        gw::MarkerSatelliteFiles& lists = *m_markerSatelliteFiles;
        bool changed = lists.addSatelliteFile(QStringLiteral("iss"));
        changed |= lists.addMarkerFile(QStringLiteral("earth"));
        changed |= lists.addMarkerFile(QStringLiteral("quake.marker"));
        changed |= lists.addNightMapWhenMissing();
        if (changed)
            m_configEditor->btnApplyChangesClick();
    });
}

// The start-up step, once, 200 ms after the event loop started.
void TForm1::Timer2Timer()
{
    m_timer2->stop();
    const bool minimised = m_settings->checked(gw::ctl::cbStartMinimized);
    // The window is first shown here, still parked below the desktop, and centred once its
    // frame is known; a minimised start never shows it at all.
    if (minimised)
        Minimieren();
    else
        RestoreWindow();
    centreOnDesktop(true);
    call(m_hooks.edtWebAdressChange);

    m_scheduler->seedStartTimes();

    m_centralTimer->start();
    if (m_settings->checked(gw::ctl::cbMakeTransAtStart))
        btnMakeBGTransparentClick();
    // A new user sees the globe at once rather than after the first interval; later starts
    // render at start only when "start XPlanet at program start" says so.
    if (m_firstStart && displayReachable())
        run([this] { m_render->StartXPlanet(); });
}

// A render needs a desktop to show on: a connection to a window system, not the offscreen or
// minimal platform of a session without one.
bool TForm1::displayReachable()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

// ---------------------------------------------------------------------------------------
// Placement, minimise and restore.
QRect TForm1::desktop() const
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry() : QRect(0, 0, 0, 0);
}

void TForm1::centreOnDesktop(bool clampToZero)
{
    const QRect d = desktop();
    move(d.topLeft() + gw::centredPosition(d.size(), frameGeometry().size(), clampToZero));
    m_parked = false;
}

bool TForm1::isParked() const
{
    const QRect d = desktop();
    return m_parked || frameGeometry().top() > d.y() + d.height();
}

bool TForm1::trayAvailable() const
{
    return m_options.trayAvailable ? *m_options.trayAvailable
                                   : (m_options.showTray && QSystemTrayIcon::isSystemTrayAvailable());
}

bool TForm1::inTray() const
{
    return m_inTray || isHidden() || isMinimized();
}

void TForm1::btnMinimizeClick()
{
    Minimieren();
}

// Minimised, the program lives in the notification area only. Without a notification area
// the window is minimised as usual, so it can always come back; the first time it says so, or
// the program would seem to have ended.
void TForm1::Minimieren()
{
    m_inTray = true;
    if (trayAvailable()) {
        hide();
        return;
    }
    if (!m_toldWithoutTray) {
        m_toldWithoutTray = true;
        m_dialogs->message(gw::MessageKind::Information,
            QStringLiteral("Globewall keeps running: this desktop has no notification area, so its window "
                           "is only minimised.\n\nTo get the window back, choose Globewall in the menu again, "
                           "or run \"Globewall --show\"."));
    }
    showMinimized();
}

void TForm1::RestoreWindow()
{
    m_inTray = false;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

// Shown first (a parked window is below the desktop, so nothing flashes), then centred with
// its frame known.
void TForm1::pmRestoreWindowClick()
{
    const bool parked = isParked();
    RestoreWindow();
    if (parked)
        centreOnDesktop(false);
}

// Escape minimises, as the "Minimize" button does, unless the focused control used the key.
void TForm1::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        run([this] { btnMinimizeClick(); });
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // The window's own minimise box goes to the tray too; after the state change has settled.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && !m_inTray)
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && !m_inTray)
                run([this] { Minimieren(); });
        });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->sgDownloadFiles && event->type() == QEvent::Resize)
        FormResize();
    if (watched == m_ui->imgProjection && event->type() == QEvent::Show)
        showProjectionPicture();
    if (event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        bool used = false;
        if (watched == m_ui->mMarkerfiles->viewport())
            run([&] { used = listMouseDown(m_ui->mMarkerfiles, m_pmMarker, press); });
        else if (watched == m_ui->mSatfiles->viewport())
            run([&] { used = listMouseDown(m_ui->mSatfiles, m_pmSatellite, press); });
        if (used)
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormResize()
{
    QTableWidget* grid = m_ui->sgDownloadFiles;
    const int w = qMax(0, (grid->width() - 24) / 2);
    grid->horizontalHeader()->setDefaultSectionSize(w);
    for (int c = 0; c < grid->columnCount(); ++c)
        grid->setColumnWidth(c, w);
}

// ---------------------------------------------------------------------------------------
// Shut-down.
void TForm1::btnCloseClick()
{
    close();
}

void TForm1::shutDown()
{
    m_unattended = true;
    gw::ErrorReport::setUnattended(true);
    close();
}

bool TForm1::saveUnattended()
{
    auto report = [] {
        const QString text = gw::ErrorReport::currentExceptionText();
        std::fprintf(stderr, "Globewall: %s\n", text.toLocal8Bit().constData());
        return text;
    };
    try {
        m_settingsFile->IniSave(m_settingsFile->ConfigFileName());
        return true;
    } catch (...) {
        const QString text = report();
        try {
            m_transferLog->appendLine(gw::DateTimeToStr(m_clock->now()) + QStringLiteral(" - Error. ") + text);
        } catch (...) {
            report();
        }
        return false;
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    // 1. A failed save is shown and the window stays open; the user can close it again. A
    // close asked by a signal or the session reports it without a box and goes on.
    if (m_unattended) {
        saveUnattended();
    } else if (!m_errors.guard([this] { m_settingsFile->IniSave(m_settingsFile->ConfigFileName()); })) {
        event->ignore();
        return;
    }
    // 2. The taskbar entry comes back with the next window; nothing to do here.
    m_inTray = false;
    // 3, 4.
    run([this] { call(m_hooks.closeHttp); });
    run([this] { call(m_hooks.pmKillNowClick); });
    m_centralTimer->stop();
    m_timer2->stop();
    m_trayIcon->setIconsShown({});
    m_closed = true;
    event->accept();
    emit closed();
}
