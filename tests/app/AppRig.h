#pragma once
// The program's composition root on a private program folder and private home, configuration
// and data folders, with scripted dialogs, a manual clock, a clock setter and desktop launcher
// that only record, the renderer's lines kept in memory, no screensaver, no battery, and every
// built-in address on a loopback port where nothing listens.
#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "desktop/DefaultApplication.h"
#include "renderer/ui/ProjectionPictures.h"
#include "settings/IniFile.h"
#include "shared/Endpoints.h"
#include "shared/Paths.h"
#include "support/ManualClock.h"
#include "support/MemorySinks.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "timesync/FakeSntpServer.h"

#include <QByteArray>
#include <QDir>
#include <QUrl>
#include <memory>
#include <vector>

namespace gwtest {

// One value of a settings file as it is on disk; "<missing>" where there is none.
inline QString readIni(const QString& file, const char* section, const char* key)
{
    gw::IniFile ini(file);
    ini.load();
    return ini.readString(QString::fromLatin1(section), QString::fromLatin1(key), QStringLiteral("<missing>"));
}

// One application for every MIME type, "testapp.desktop" in the private data folder; starts
// are recorded instead of run.
class RecordingLauncher : public gw::DesktopLauncher
{
public:
    QString defaultApplication(const QString&) override { return QStringLiteral("testapp.desktop"); }
    bool startDetached(const QString& program, const QStringList& arguments) override
    {
        started << (QStringList { program } + arguments);
        return true;
    }
    void openUrl(const QUrl& url) override { opened << url.toString(); }

    QList<QStringList> started;
    QStringList opened;
};

class AppRig
{
public:
    AppRig()
    {
        setEnv("HOME", home());
        setEnv("XDG_CONFIG_HOME", homeDir.file(QStringLiteral(".config")));
        setEnv("XDG_DATA_HOME", homeDir.file(QStringLiteral(".local/share")));
        QDir().mkpath(homeDir.file(QStringLiteral(".local/share/applications")));
        writeFile(homeDir.file(QStringLiteral(".local/share/applications/testapp.desktop")),
            "[Desktop Entry]\nType=Application\nName=Test\nExec=testapp %u\n");
        gw::setProgramDir(program.path());
        m_hosts = gw::endpoints::hosts();
        const QString nowhere = QStringLiteral("http://127.0.0.1:9");
        gw::endpoints::hosts()
            = { nowhere, nowhere, nowhere, nowhere, nowhere, nowhere, nowhere, nowhere, nowhere, nowhere };
        gw::initProjectionPictures();
    }
    ~AppRig()
    {
        app.reset();
        gw::endpoints::hosts() = m_hosts;
        for (auto it = m_env.rbegin(); it != m_env.rend(); ++it) {
            if (it->wasSet)
                qputenv(it->name.constData(), it->value);
            else
                qunsetenv(it->name.constData());
        }
        gw::setProgramDir(QString());
    }
    AppRig(const AppRig&) = delete;
    AppRig& operator=(const AppRig&) = delete;

    QString home() const { return homeDir.path(); }
    QString programFile(const QString& name) const { return program.file(name); }
    QString autostartEntry() const { return homeDir.file(QStringLiteral(".config/autostart/Globewall.desktop")); }

    gw::AppCore::Options options(bool runCreation = true)
    {
        gw::AppCore::Options o;
        o.clock = &clock;
        o.dialogs = &dialogs;
        o.runCreation = runCreation;
        o.showTray = false;
        o.trayAvailable = true;
        o.clockSetter = &clockSetter;
        o.launcher = &launcher;
        o.powerSupplyRoot = powerSupply.path();
        o.screensaverQuery = [this] { return screensaverRunning; };
        o.messageWindow = &messages;
        return o;
    }

    gw::AppCore& create(bool runCreation = true) { return create(options(runCreation)); }
    gw::AppCore& create(gw::AppCore::Options o)
    {
        app = std::make_unique<gw::AppCore>(std::move(o));
        form = &app->window();
        return *app;
    }

    TempDir program;
    TempDir homeDir;
    TempDir powerSupply; // empty: no battery, so on mains
    gw::ScriptedDialogs dialogs;
    gw::ManualClock clock { 46000.5 };
    RecordingClockSetter clockSetter;
    RecordingLauncher launcher;
    gw::MemoryMessageWindow messages; // the renderer's lines
    bool screensaverRunning = false;
    std::unique_ptr<gw::AppCore> app;
    MainWindow* form = nullptr; // the window of `app`

private:
    struct Saved
    {
        QByteArray name;
        QByteArray value;
        bool wasSet;
    };
    void setEnv(const char* name, const QString& value)
    {
        m_env.push_back({ QByteArray(name), qgetenv(name), qEnvironmentVariableIsSet(name) });
        qputenv(name, value.toLocal8Bit());
    }

    std::vector<Saved> m_env;
    gw::endpoints::Hosts m_hosts;
};

} // namespace gwtest
