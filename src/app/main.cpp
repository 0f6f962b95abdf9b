// Process start: one instance per user, the composition root, and a clean end on window close,
// SIGTERM, SIGINT and the end of the desktop session.
#include "app/AppCore.h"
#include "app/CommandLineOptions.h"
#include "app/FormNotifications.h"
#include "app/GlobewallApplication.h"
#include "app/MessageWindow.h"
#include "app/RunningInstance.h"
#include "app/ShutdownSignals.h"
#include "app/StatusChannel.h"
#include "app/StatusReport.h"
#include "instance/SingleInstance.h"
#include "renderer/ui/ProjectionPictures.h"
#include "shared/Paths.h"

#include <QSessionManager>

#include <cstdio>

#include <malloc.h>

namespace {

// The end of the session and the end of the event loop close the program the way its window
// does, with the settings saved.
void endWithTheSession(GlobewallApplication& app, gw::AppCore& globewall)
{
    QObject::connect(&globewall, &gw::AppCore::closed, &app, &QCoreApplication::quit);
    // At the end of the desktop session the settings are saved; the session then ends the
    // process (SIGTERM, which closes the window the normal way) or quits the application.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &globewall,
        [&globewall](QSessionManager&) { globewall.saveUnattended(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &globewall, [&globewall] {
        if (!globewall.isClosed())
            globewall.shutDown();
    });
}

} // namespace

int main(int argc, char** argv)
{
    // One malloc arena for every thread. The threads (the D-Bus connection, a download's worker)
    // allocate little and seldom at once, and the trim after each job gives back only what lies
    // in the main arena: a download worker's own arena kept its freed memory resident.
    mallopt(M_ARENA_MAX, 1);

    // The command line first: --help, --version and a wrong option end here, before the display
    // or any file is touched.
    const gw::CommandLine commandLine = gw::CommandLine::read(argc, argv);
    if (commandLine.endsNow)
        return commandLine.finish();
    gw::setSettingsFileOverride(commandLine.options.settingsFile);
    // Answered by the running Globewall, or read from the settings file: no lock, no window.
    if (commandLine.options.status) {
        QCoreApplication reader(argc, argv);
        return gw::printStatus(gw::SingleInstance::defaultLockFile());
    }

    // A second start ends at once, before it touches the display or any file: silently, or
    // after passing its requests to the running one.
    gw::SingleInstance instance;
    const gw::SingleInstance::Result guard = instance.acquire();
    for (const QString& warning : instance.warnings())
        std::fprintf(stderr, "Globewall: %s\n", warning.toLocal8Bit().constData());
    switch (guard) {
    case gw::SingleInstance::Result::Running:
        return gw::passToRunningInstance(instance.lockFile(), commandLine.options);
    case gw::SingleInstance::Result::Unguarded:
        std::fprintf(stderr, "Globewall: %s; starting without the single-instance lock\n",
            instance.error().toLocal8Bit().constData());
        break;
    case gw::SingleInstance::Result::Held:
        break;
    }

    GlobewallApplication app(argc, argv);
    // Connected before anything can wait for the user: the creation of the window may show an
    // error box, and a signal then must still end the program.
    gw::ShutdownSignals shutdown;
    gw::AppCore* core = nullptr;
    bool shutdownAsked = false;
    QObject::connect(&shutdown, &gw::ShutdownSignals::requested, &app, [&core, &shutdownAsked] {
        gw::ErrorReport::setUnattended(true);
        if (core) {
            core->shutDown();
        } else {
            shutdownAsked = true;
            GlobewallApplication::endModalDialogs();
        }
    });
    gw::initProjectionPictures();

    gw::AppCore globewall;
    app.errorReport().setDialogs(&globewall.dialogs());
    gw::FormNotifications notifications(globewall);

    endWithTheSession(app, globewall);
    core = &globewall;
    // Asked while the window was being made: done once the event loop runs, as quitting
    // before it would be forgotten.
    if (shutdownAsked)
        QMetaObject::invokeMethod(
            &globewall, [&globewall] { globewall.shutDown(); }, Qt::QueuedConnection);

    gw::RunningInstance runningInstance(globewall, instance.lockFile(), commandLine.options);
    gw::StatusChannel statusChannel(
        gw::StatusChannel::socketFileFor(instance.lockFile()), [&globewall] { return gw::runningStatus(globewall); });
    if (instance.held() && !statusChannel.listen())
        std::fprintf(stderr, "Globewall: --status cannot reach this one: %s\n", qPrintable(statusChannel.errorText()));
    const int code = app.exec();
    core = nullptr;
    globewall.messageWindow().close();
    return code;
}
