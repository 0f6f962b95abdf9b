#pragma once
// One render of the outside renderer (StartXPlanet) and the operations around it: running a
// file after a download, stopping a running child, choosing the renderer and the file run
// before each render, and opening the renderer's readme. The main window owns one instance,
// forwards its buttons and tray entries here, and reads settings through SettingsAccess.
#include "background/DesktopBackend.h"
#include "background/DesktopDetection.h"
#include "background/Monitor.h"
#include "renderer/ProcessLauncher.h"
#include "renderer/RendererLayout.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace gw {

class Clock;
class Dialogs;
class LogSink;
class MessageWindowSink;
class PictureFiles;
class SettingsAccess;
class TrayImage;
struct AppState;

class RenderControl : public QObject
{
    Q_OBJECT

public:
    // Who asked for a render. A render the user asked for always asks for a missing renderer;
    // a render of the scheduler or a download job asks once, and after the user cancelled that
    // question stays quiet until another renderer is chosen, so timer ticks never pile up
    // dialogs in front of the user.
    enum class Trigger { Background, User };

    using Callback = std::function<void()>;
    using FileOpener = std::function<bool(const QString& path)>;

    RenderControl(SettingsAccess& settings, AppState& state, LogSink& log, MessageWindowSink& messages,
        Dialogs& dialogs, TrayImage& tray, const Clock& clock, Callback restoreTransparency = {},
        QObject* parent = nullptr);
    ~RenderControl() override;

    // One render; launcher errors (EAppExec...) reach the caller. Does nothing while a render
    // already runs.
    void StartXPlanet(Trigger trigger = Trigger::Background);
    // Runs `path` without arguments, hidden, and waits. While another launch waits, this one
    // gets a launcher of its own, so the waiting one is never disturbed.
    void ExecuteFile(const QString& path);

    // "Render now" and the tray's "render now": a render unless a download or render runs.
    void btnExecuteClick();
    void pmStartNowClick();
    // "kill XPlanet now": ends every child waited for, with its process group. The close
    // handler of the main window calls it too.
    void pmKillNowClick();
    bool killEnabled() const { return m_killEnabled; }

    // Choose the renderer; true when one was chosen. May propose a new cloud destination.
    bool btnAppFileClick();
    void btnExecuteBeforeClick();
    // Opens the renderer's readme with the desktop's default program (a compressed readme is
    // unpacked into the cache folder first). Nothing is tested or reported.
    void btnInfoClick();

    ProcessLauncher& launcher() { return m_exec; }
    RendererLayout layout() const;

    // Seams: the home folder of the renderer folders, the program's own file, the cache
    // folder for the unpacked readme, the way a file is opened.
    void setHome(const QString& home) { m_home = home; }
    void setProgramFile(const QString& path) { m_programFile = path; }
    void setCacheFolder(const QString& folder) { m_cacheFolder = folder; }
    void setFileOpener(FileOpener opener) { m_opener = std::move(opener); }
    // Seams of the desktop background: the session's variables (default: this process's),
    // the monitors at the moment of a render (default: none known), the pictures' folder
    // (default: the user's cache folder) and the time limit of one switch.
    void setSessionEnvironment(const SessionEnvironment& env)
    {
        m_session = env;
        m_hasSession = true;
    }
    void setMonitorSource(std::function<MonitorList()> source) { m_monitors = std::move(source); }
    void setPictureFolder(const QString& folder) { m_pictureFolder = folder; }
    void setApplyTimeLimit(int ms) { m_applyTimeLimit = ms; }
    // The desktop "automatic" finds in this session.
    DesktopKind detectedDesktop() const;

signals:
    // pmKillNow is enabled only while a render runs.
    void killEnabledChanged(bool enabled);
    // The hint of edtAppFile follows its text when a renderer is chosen.
    void appFileHintChanged(const QString& text);
    // Where the last picture went, e.g. "desktop: Xfce, 2 monitors".
    void backgroundShown(const QString& summary);
    // The files of the picture the desktop shows now, the kept copies first ("Save the output
    // image file"); empty when the renderer painted the root window itself.
    void pictureFilesChanged(const QStringList& files);
    // True while any launch of this control waits for its child (the window shows a busy cursor).
    void waitingChanged(bool waiting);

private:
    class RenderScope;
    class LaunchScope;

    bool renderOnce(Trigger trigger);
    ProcessLauncher& freeLauncher(std::unique_ptr<ProcessLauncher>& spare);
    void applyPriority(ProcessLauncher& exec) const;
    void setKillEnabled(bool on);
    void stopAnimationUnlessOthersWait();
    void launcherWaiting(bool waiting);
    QString unpackedReadme(const QString& gzFile) const;
    // DesktopRender.cpp: the renders of one StartXPlanet and the switch of the background.
    struct DesktopTarget;
    void renderForDesktop(ProcessLauncher& exec, bool hideApp);
    // True (and logged once) when the user's own parameters already say where the picture goes.
    bool userParametersChooseOutput();
    DesktopTarget desktopTarget();
    MonitorList desktopMonitors(const DesktopTarget& target);
    void renderToRootWindow(ProcessLauncher& exec, bool hideApp, DesktopTarget& target);
    void renderToFiles(ProcessLauncher& exec, bool hideApp, DesktopTarget& target);
    // One render per planned picture; false when the sequence ended early (its files are gone).
    bool renderPictures(ProcessLauncher& exec, bool hideApp, DesktopTarget& target, PictureFiles& files);
    bool composeSpanned(DesktopTarget& target, PictureFiles& files);
    void showOnLockScreen(const DesktopTarget& target);
    // The desktop may show pictures whose switch it did not confirm: they and the ones shown
    // before stay, with one log line a spell.
    void keepUnconfirmed(DesktopTarget& target, PictureFiles& files, const QString& error);
    void runRenderer(ProcessLauncher& exec, bool hideApp);
    void logBackground(DesktopKind kind, const QString& text);
    // ShownPictures.cpp: after a switch, the copies to keep and the files the tray opens;
    // `filesStay` is false where the pictures go once shown (the root window holds them).
    void keepPictures(DesktopKind kind, const QVector<Picture>& pictures, bool filesStay);

    SettingsAccess& m_settings;
    AppState& m_state;
    LogSink& m_log;
    MessageWindowSink& m_messages;
    Dialogs& m_dialogs;
    TrayImage& m_tray;
    const Clock& m_clock;
    Callback m_restoreTransparency;

    ProcessLauncher m_exec; // the render's own launcher
    int m_waitingLaunchers = 0;
    QList<ProcessLauncher*> m_launching; // every launcher in a launch now (the render's own or a spare)
    bool m_killEnabled = false;
    QString m_declinedAppFile; // renderer path the user declined to replace
    bool m_hasDeclined = false;

    QString m_home;
    QString m_programFile;
    QString m_cacheFolder;
    FileOpener m_opener;

    SessionEnvironment m_session;
    bool m_hasSession = false;
    std::function<MonitorList()> m_monitors;
    QString m_pictureFolder;
    int m_applyTimeLimit = 10000;
    bool m_sequenceKilled = false; // "kill XPlanet now" during a render ends the sequence
    bool m_ownOutputLogged = false; // the user's own -output etc. is logged once
    bool m_monitorsLogged = false; // monitors that cannot be found are logged once
    bool m_composeLimitLogged = false; // monitors too far apart to compose are logged once
    std::atomic<bool> m_composeStop { false }; // ends a composition at the kill or the end
    bool m_lockScreenLogged = false; // a desktop without a lock screen picture is logged once
    QVector<Picture> m_confirmedPictures; // the last pictures the desktop confirmed it shows
    bool m_unconfirmedLogged = false; // switches the desktop did not confirm, logged once a spell
};

} // namespace gw
