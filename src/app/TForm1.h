#pragma once
// The main window: every setting as a control, the commands, the timers and the tray menu.
// It is the composition root: creation, the start-up step, minimise/restore, shut-down and
// the settings commands live here; the logic of each subsystem lives in its own library, owned
// by the window and wired to its controls in TForm1<Subsystem>.cpp, and the steps of creation
// and shut-down reach it through the hooks below.
#include "app/ErrorReport.h"
#include "settings/SettingsFile.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/LogSink.h"
#include "shared/ui/QtDialogs.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QMouseEvent;
class QProgressBar;
class QTimer;

namespace Ui {
class TForm1;
}

namespace gw {
class Autostart;
class CentralScheduler;
class ClockSetter;
class ConfigEditor;
class DesktopLauncher;
class DownloadEngine;
class DownloadJobs;
class DownloadRecords;
class IconText;
class MarkerSatelliteFiles;
class PasswordVault;
class RenderControl;
class TrayIcon;
class ScreensaverMessageLog;
class SystemState;
class UpdateDialog;
class TimeServerEditor;
class TimeSync;
class TransferDisplay;
class TransferLog;
class TrayHandlers;
class TrayWindowControl;
class DesktopUtility;
class WidgetSettings;
} // namespace gw

// The steps of creation, start-up and shut-down that belong to other subsystems. The wiring
// fills them before `Options::attach` runs, so a test may replace one; an empty hook does
// nothing.
struct FormHooks
{
    std::function<void()> createConfigLines; // creation: the renderer configuration lines
    std::function<void()> resetTimeServerEditing; // creation: no time-server edit pending
    std::function<void()> setupTrayAnimation; // creation: the tray animation
    std::function<void()> getConfigs; // settings load
    std::function<void()> ddbConfigChange; // settings load, and the user's choice of ddbConfig
    std::function<void()> detectAutostart; // settings load
    std::function<void()> cbProjektionChange; // settings load, and the user's choice of cbProjektion
    std::function<void()> btnMakeBGTransparentClick; // settings load, start-up step
    std::function<void(bool)> trayIconCross; // the master switch changed (true: now off)
    std::function<void()> edtWebAdressChange; // start-up step, and every change of edtWebAdress
    std::function<void()> CentralTimerTimer; // every tick of CentralTimer
    std::function<void()> closeHttp; // shut-down step 3
    std::function<void()> pmKillNowClick; // shut-down step 4
};

class TForm1 : public QMainWindow, public gw::SettingsFileHooks
{
    Q_OBJECT

public:
    struct Options
    {
        const gw::Clock* clock = nullptr; // default: the system clock
        gw::Dialogs* dialogs = nullptr; // default: real dialogs over this window
        // Called after the controls exist and the subsystems are wired, before creation runs,
        // so a caller can replace a hook that the settings load calls.
        std::function<void(TForm1&)> attach;
        bool runCreation = true; // false: the window as designed, before FormShow
        bool showTray = true;
        std::optional<bool> trayAvailable; // default: ask the desktop at each minimise
        // The only way to the computer's clock; default: the real one (it needs the right to
        // set the time). Tests always hand in a fake.
        gw::ClockSetter* clockSetter = nullptr;
        // What opens web pages, mail and text files; default: the desktop's own defaults.
        gw::DesktopLauncher* launcher = nullptr;
        // The power-supply folder (default /sys/class/power_supply) and the screensaver
        // question (default: the session's screensaver service, else the X server).
        QString powerSupplyRoot;
        std::function<bool()> screensaverQuery;
    };

    TForm1();
    explicit TForm1(Options options);
    ~TForm1() override;

    // What the other subsystems' wiring needs.
    gw::SettingsAccess& settings();
    gw::AppState& state() { return m_state; }
    gw::LogSink& transferLog();
    gw::MessageWindowSink& messageWindow();
    void setMessageWindow(gw::MessageWindowSink* window) { m_messageWindow = window; }
    gw::Dialogs& dialogs() { return *m_dialogs; }
    const gw::Clock& clock() const { return *m_clock; }
    gw::ErrorReport& errorReport() { return m_errors; }
    gw::SettingsFile& settingsFile() { return *m_settingsFile; }
    Ui::TForm1* ui() { return m_ui.get(); }
    FormHooks& hooks() { return m_hooks; }
    QTimer* CentralTimer() const { return m_centralTimer; }
    QTimer* Timer2() const { return m_timer2; }
    QTimer* TimerDoubleClick() const;
    QMenu* PopupMenu1() const { return m_popupMenu1; }
    QMenu* pmMarker() const { return m_pmMarker; }
    QMenu* pmSatellite() const { return m_pmSatellite; }
    QMenu* pmTimeServer() const { return m_pmTimeServer; }
    QProgressBar* ProgressBar() const { return m_progressBar; }
    // Panel 1 of the status bar: the last log line, or a download's progress.
    void setStatusText(const QString& text);
    QString statusText() const;
    const QString& ProgramDir() const { return m_programDir; }
    int MinWindowWidth() const { return m_minWindowWidth; }
    int MinWindowHeight() const { return m_minWindowHeight; }
    bool isClosed() const { return m_closed; }

    // The subsystems the window owns, each wired to its controls by a TForm1<Subsystem>.cpp.
    gw::TrayIcon& TrayIcon() { return *m_trayIcon; }
    gw::TrayHandlers& trayHandlers() { return *m_trayHandlers; }
    gw::DesktopUtility& desktopUtility() { return *m_desktopUtility; }
    gw::RenderControl& render() { return *m_render; }
    gw::Autostart& autostart() { return *m_autostart; }
    gw::IconText& iconText() { return *m_iconText; }
    gw::ConfigEditor& configEditor() { return *m_configEditor; }
    gw::MarkerSatelliteFiles& markerSatelliteFiles() { return *m_markerSatelliteFiles; }
    gw::TimeSync& timeSync() { return *m_timeSync; }
    gw::TimeServerEditor& timeServerEditor() { return *m_timeServerEditor; }
    gw::DownloadEngine& downloadEngine() { return *m_downloadEngine; }
    gw::DownloadJobs& downloadJobs() { return *m_downloadJobs; }
    gw::SystemState& systemState() { return *m_systemState; }
    gw::CentralScheduler& scheduler() { return *m_scheduler; }
    // The update dialog is a window of its own, created after this one: given, or made by
    // `source` when "Check for Update" is first clicked.
    void setUpdateDialog(gw::UpdateDialog* dialog) { m_updateDialog = dialog; }
    void setUpdateDialogSource(std::function<gw::UpdateDialog*()> source) { m_updateDialogSource = std::move(source); }

    // Creation (runs from the constructor), the start-up step and the window commands.
    void FormShow();
    void Timer2Timer();
    void btnMinimizeClick();
    void Minimieren();
    void RestoreWindow();
    void pmRestoreWindowClick();
    bool inTray() const; // minimised to the notification area
    bool isParked() const;
    void FormResize();
    void btnCloseClick();
    // Closes for a termination signal or the end of the session. Nobody is there to answer
    // a box: a failed save is reported on standard error and in the log, and the window
    // closes all the same.
    void shutDown();
    // Saves the settings the same unattended way; false when the save failed.
    bool saveUnattended();
    void btnCheckForUpdateClick();

    // The link labels.
    void lbWWWClick();
    void lbEMailClick();
    void lbXplanetHomeClick();

    // Settings commands.
    void btnIniSaveClick();
    void btIniSaveAsClick();
    void btnIniLoadClick();

    // gw::SettingsFileHooks
    void configFileLabelChanged(const QString& caption) override;
    void GlobewallenabledClick() override;
    void getConfigs() override;
    void ddbConfigChange() override;
    void detectAutostart() override;
    void btnMakeBGTransparentClick() override;
    void edtParameterChange() override;
    void cbProjektionChange() override;
    void iconFontColorChanged(int colour) override;
    QString defaultCloudDestination() override;
    void logLine(const QString& line) override;

signals:
    // The window has closed for good (settings saved); the event loop should end.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void formLoad();
    void buildMenus();
    void buildStatusBar();
    void connectCommands();
    void settleRenderer();
    void prepareDownloadGrid();
    void firstStartEntries();
    QRect desktop() const;
    void centreOnDesktop(bool clampToZero);
    bool trayAvailable() const;
    static bool displayReachable();
    // The tray tooltip's and the idle status bar's lines, after each tick.
    void showStatus();
    // The wiring of each subsystem, in the order the later ones need the earlier.
    void wireTray();
    void wireDesktop();
    void showProjectionPicture();
    void wireRender();
    void wireBackground();
    void wireConfig();
    void wireTimeSync();
    void wireDownloads();
    void wireScheduler();
    void wireUpdate();
    // Runs `handler` for every `signal` of `sender`; what it throws goes to the error report.
    template <class Sender, class Signal, class Handler> void on(Sender* sender, Signal signal, Handler handler)
    {
        connect(sender, signal, this, [this, handler] { run(handler); });
    }
    // The same for a combo box changed by the user (a choice or typing), not by code.
    void onUserChange(QComboBox* combo, std::function<void()> handler);
    // A mouse press on the marker or satellite list; true when the press is used up here.
    bool listMouseDown(QListWidget* list, QMenu* menu, QMouseEvent* event);
    // Runs a handler; what it throws is shown by the general error handler.
    template <class F> void run(F&& f) { m_errors.guard(std::forward<F>(f)); }
    static void call(const std::function<void()>& hook)
    {
        if (hook)
            hook();
    }

    std::unique_ptr<Ui::TForm1> m_ui;
    Options m_options;
    gw::SystemClock m_systemClock;
    const gw::Clock* m_clock;
    gw::QtDialogs m_qtDialogs;
    gw::Dialogs* m_dialogs;
    gw::ErrorReport m_errors;
    gw::AppState m_state;
    FormHooks m_hooks;
    std::unique_ptr<gw::WidgetSettings> m_settings;
    std::unique_ptr<gw::PasswordVault> m_passwordVault; // outlives the settings file using it
    std::unique_ptr<gw::SettingsFile> m_settingsFile;
    std::unique_ptr<gw::TransferLog> m_transferLog;
    gw::MessageWindowSink* m_messageWindow = nullptr;
    QTimer* m_centralTimer = nullptr;
    QTimer* m_timer2 = nullptr;
    QMenu* m_popupMenu1 = nullptr;
    QMenu* m_pmMarker = nullptr;
    QMenu* m_pmSatellite = nullptr;
    QMenu* m_pmTimeServer = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_statusPanel1 = nullptr;
    QString m_programDir;

    gw::TrayIcon* m_trayIcon = nullptr;
    std::unique_ptr<gw::TrayWindowControl> m_trayWindow;
    std::unique_ptr<gw::TrayHandlers> m_trayHandlers;
    std::unique_ptr<gw::DesktopUtility> m_desktopUtility;
    std::unique_ptr<gw::Autostart> m_autostart;
    std::unique_ptr<gw::IconText> m_iconText;
    std::unique_ptr<gw::MessageWindowSink> m_messageForward;
    std::unique_ptr<gw::RenderControl> m_render;
    std::unique_ptr<gw::ConfigEditor> m_configEditor;
    std::unique_ptr<gw::MarkerSatelliteFiles> m_markerSatelliteFiles;
    std::unique_ptr<gw::LogSink> m_timeLog;
    std::unique_ptr<gw::ClockSetter> m_systemClockSetter;
    std::unique_ptr<gw::TimeSync> m_timeSync;
    std::unique_ptr<gw::TimeServerEditor> m_timeServerEditor;
    std::unique_ptr<gw::TransferDisplay> m_transferDisplay;
    std::unique_ptr<gw::DownloadRecords> m_downloadRecords;
    std::unique_ptr<gw::DownloadEngine> m_downloadEngine;
    std::unique_ptr<gw::DownloadJobs> m_downloadJobs;
    std::unique_ptr<gw::SystemState> m_systemState;
    std::unique_ptr<gw::ScreensaverMessageLog> m_screensaverLog;
    std::unique_ptr<gw::CentralScheduler> m_scheduler;
    gw::UpdateDialog* m_updateDialog = nullptr;
    std::function<gw::UpdateDialog*()> m_updateDialogSource;
    int m_projectionToShow = -1; // the entry whose picture waits for the preview to be seen

    int m_minWindowWidth = 0;
    int m_minWindowHeight = 0;
    bool m_parked = false;
    bool m_inTray = false;
    bool m_closed = false;
    bool m_unattended = false;
    bool m_toldWithoutTray = false;
    bool m_firstStart = false; // no settings file at creation
    QString m_statusShown; // what showStatus put into panel 1 last
    QString m_logLineSeen; // the log line panel 1 held at a tick, and since when
    gw::TDateTime m_logLineSeenAt = 0;
};
