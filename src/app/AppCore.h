#pragma once
// The composition root: makes the main window, the settings over its controls, every
// subsystem, the message window and, when first asked for, the update dialog, and connects
// them. Creation, the start-up step, the central timer's tick, the settings commands and
// shut-down live here; what each control starts is wired in <Subsystem>Wiring.cpp. The settings
// load reaches the subsystems through the one interface it calls, `SettingsFileHooks`.
#include "app/ErrorReport.h"
#include "scheduler/Plan.h"
#include "settings/SettingsFile.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/LogSink.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class MessageWindowOnDemand;
class QComboBox;
class QSocketNotifier;
class MainWindow;

namespace gw {

class Autostart;
class CentralScheduler;
class ClockChangeWatch;
class ClockSetter;
class ConfigEditor;
class DesktopLauncher;
class DesktopUtility;
class Dialogs;
class DownloadEngine;
class DownloadJobs;
class DownloadLayers;
class DownloadRecords;
class IconText;
class MarkerSatelliteFiles;
class MeteredDownloads;
class PasswordVault;
class PlatformScreensaver;
class RenderControl;
struct SavedPlacement;
class ScreensaverMessageLog;
class SessionNetwork;
class SystemState;
class TimeServerEditor;
class TimeSync;
class TransferDisplay;
class TransferLog;
class TrayHandlers;
class TrayIcon;
class TrayWindowControl;
class UpdateDialog;
class WidgetSettings;

class AppCore : public QObject, private SettingsFileHooks
{
    Q_OBJECT

public:
    // The line that says, once ever, how a window hidden without a notification area comes back.
    static const QString WithoutTrayHint;

    struct Options
    {
        const Clock* clock = nullptr; // default: the system clock
        Dialogs* dialogs = nullptr; // default: real dialogs over the main window
        bool runCreation = true; // false: the window as designed, before FormShow
        bool showTray = true;
        std::optional<bool> trayAvailable; // default: ask the desktop at each minimise
        // The only way to the computer's clock; default: the real one (it needs the right to
        // set the time). Tests always hand in a fake.
        ClockSetter* clockSetter = nullptr;
        // What opens web pages, mail and text files; default: the desktop's own defaults.
        DesktopLauncher* launcher = nullptr;
        // The power-supply folder (default /sys/class/power_supply) and the screensaver
        // question (default: the session's screensaver service, else the X server).
        QString powerSupplyRoot;
        std::function<bool()> screensaverQuery;
        // Where the renderer's lines go; default: the message window, made on first show.
        MessageWindowSink* messageWindow = nullptr;
    };

    AppCore();
    explicit AppCore(Options options);
    ~AppCore() override;

    MainWindow& window() { return *m_window; }
    SettingsAccess& settings();
    AppState& state() { return m_state; }
    TransferLog& transferLog();
    Dialogs& dialogs();
    ErrorReport& errorReport();
    const Clock& clock() const { return *m_clock; }
    SettingsFile& settingsFile() { return *m_settingsFile; }
    // Made when first shown: a start shows only the tray.
    MessageWindowOnDemand& messageWindow() { return *m_messageWindow; }
    // Null until "Check for Update" is first clicked.
    UpdateDialog* updateDialog() const { return m_updateDialog.get(); }

    TrayIcon& trayIcon() { return *m_trayIcon; }
    TrayHandlers& trayHandlers() { return *m_trayHandlers; }
    DesktopUtility& desktopUtility() { return *m_desktopUtility; }
    RenderControl& render() { return *m_render; }
    Autostart& autostart() { return *m_autostart; }
    IconText& iconText() { return *m_iconText; }
    ConfigEditor& configEditor() { return *m_configEditor; }
    MarkerSatelliteFiles& markerSatelliteFiles() { return *m_markerSatelliteFiles; }
    TimeSync& timeSync() { return *m_timeSync; }
    TimeServerEditor& timeServerEditor() { return *m_timeServerEditor; }
    DownloadEngine& downloadEngine() { return *m_downloadEngine; }
    DownloadJobs& downloadJobs() { return *m_downloadJobs; }
    SystemState& systemState() { return *m_systemState; }
    CentralScheduler& scheduler() { return *m_scheduler; }
    // What happens next, as the timer was last armed by it: the timed jobs and every download.
    const Plan& plan() const { return m_plan; }

    // Creation (runs from the constructor), the start-up step 200 ms after the event loop
    // started, and each tick of the central timer.
    void FormShow();
    void Timer2Timer();
    void CentralTimerTimer();

    // Settings commands.
    void btnIniSaveClick();
    void btIniSaveAsClick();
    void btnIniLoadClick();
    void btnCheckForUpdateClick();
    void btnMakeBGTransparentClick() override;

    // Closes for a termination signal or the end of the session. Nobody is there to answer
    // a box: a failed save is reported on standard error and in the log, and the window
    // closes all the same.
    void shutDown();
    // Saves the settings the same unattended way; false when the save failed.
    bool saveUnattended();
    bool isClosed() const { return m_closed; }

signals:
    // The window has closed for good (settings saved); the event loop should end.
    void closed();
    // The update dialog now exists (it is made on the first check).
    void updateDialogMade(QWidget* dialog);

protected:
    // The window's close: the settings are saved before the subsystems stop.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The wiring of each subsystem, in the order the later ones need the earlier.
    void wireTray();
    void wireDesktop();
    void wireRender();
    void wireBackground();
    void wirePictureItems();
    void wireHiddenWithoutTray();
    void wireConfig();
    void wireTimeSync();
    void wireDownloads();
    void wireLayers();
    void wireScheduler();
    void wakeOnChanges();
    // Arms CentralTimer for the next moment something can be due.
    void armCentralTimer(bool afterTick);
    void wireCommands();
    void settleRenderer();
    void firstStartEntries();
    static bool displayReachable();
    bool closeWindow(); // false: the save failed and the window stays
    // WindowWiring.cpp: the window's place and size in the settings, and its close box, which
    // ends the program or keeps it in the notification area; false: it keeps running.
    SavedPlacement savedPlacement() const;
    bool closeBoxEndsProgram();
    // The tray tooltip's and the idle status bar's lines, after each tick.
    void showStatus();
    // The scheduler's plan with every download added.
    Plan currentPlan();

    // SettingsFileHooks: the steps of the settings load.
    void configFileLabelChanged(const QString& caption) override;
    void GlobewallenabledClick() override;
    void getConfigs() override;
    void ddbConfigChange() override;
    void detectAutostart() override;
    void edtParameterChange() override;
    void cbProjektionChange() override;
    void iconFontColorChanged(int colour) override;
    QString defaultCloudDestination() override;
    void logLine(const QString& line) override;
    void storeWindowState() override;
    void settingsRead() override;

    // Runs `handler` for every `signal` of `sender`; what it throws goes to the error report.
    template <class Sender, class Signal, class Handler> void on(Sender* sender, Signal signal, Handler handler)
    {
        connect(sender, signal, this, [this, handler] { run(handler); });
    }
    // The same for a combo box changed by the user (a choice or typing), not by code.
    void onUserChange(QComboBox* combo, std::function<void()> handler);
    // Runs a handler; what it throws is shown by the general error handler.
    template <class F> void run(F&& f) { errorReport().guard(std::forward<F>(f)); }

    Options m_options;
    SystemClock m_systemClock;
    const Clock* m_clock;
    AppState m_state;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<WidgetSettings> m_settings;
    std::unique_ptr<PasswordVault> m_passwordVault; // outlives the settings file using it
    std::unique_ptr<SettingsFile> m_settingsFile;
    std::unique_ptr<TransferLog> m_transferLog;
    std::unique_ptr<MessageWindowOnDemand> m_messageWindow;
    QString m_programDir;

    std::unique_ptr<TrayIcon> m_trayIcon;
    std::unique_ptr<TrayWindowControl> m_trayWindow;
    std::unique_ptr<TrayHandlers> m_trayHandlers;
    std::unique_ptr<DesktopUtility> m_desktopUtility;
    std::unique_ptr<Autostart> m_autostart;
    std::unique_ptr<IconText> m_iconText;
    std::unique_ptr<RenderControl> m_render;
    std::unique_ptr<ConfigEditor> m_configEditor;
    std::unique_ptr<MarkerSatelliteFiles> m_markerSatelliteFiles;
    std::unique_ptr<LogSink> m_timeLog;
    std::unique_ptr<ClockSetter> m_systemClockSetter;
    std::unique_ptr<TimeSync> m_timeSync;
    std::unique_ptr<TimeServerEditor> m_timeServerEditor;
    std::unique_ptr<TransferDisplay> m_transferDisplay;
    std::unique_ptr<DownloadRecords> m_downloadRecords;
    std::unique_ptr<DownloadEngine> m_downloadEngine;
    std::unique_ptr<DownloadJobs> m_downloadJobs;
    std::unique_ptr<DownloadLayers> m_downloadLayers;
    std::unique_ptr<SystemState> m_systemState;
    std::unique_ptr<ScreensaverMessageLog> m_screensaverLog;
    std::unique_ptr<CentralScheduler> m_scheduler;
    std::shared_ptr<PlatformScreensaver> m_screensaver; // null when the options bring their own
    std::unique_ptr<SessionNetwork> m_sessionNetwork;
    std::unique_ptr<MeteredDownloads> m_meteredDownloads;
    std::unique_ptr<ClockChangeWatch> m_clockChanges;
    std::unique_ptr<QSocketNotifier> m_powerChanges;
    std::unique_ptr<UpdateDialog> m_updateDialog;

    bool m_closed = false;
    bool m_unattended = false;
    bool m_firstStart = false; // no settings file at creation
    QString m_statusShown; // what showStatus put into panel 1 last
    Plan m_plan;
    QString m_logLineSeen; // the log line panel 1 held at a tick, and since when
    TDateTime m_logLineSeenAt = 0;
};

} // namespace gw
