// Process start: one instance per user, the three windows, and a clean end on window close,
// SIGTERM, SIGINT and the end of the desktop session.
#include "app/CommandLineOptions.h"
#include "app/FormNotifications.h"
#include "app/GlobewallApplication.h"
#include "app/MessageWindow.h"
#include "app/RunningInstance.h"
#include "app/ShutdownSignals.h"
#include "app/SingleInstance.h"
#include "app/TForm1.h"
#include "desktop/DesktopUtility.h"
#include "renderer/ui/ProjectionPictures.h"
#include "shared/Paths.h"
#include "update/ui/UpdateDialog.h"

#include <QSessionManager>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    // The command line first: --help, --version and a wrong option end here, before the display
    // or any file is touched.
    const gw::CommandLine commandLine = gw::CommandLine::read(argc, argv);
    if (commandLine.endsNow)
        return commandLine.finish();
    gw::setSettingsFileOverride(commandLine.options.settingsFile);

    // A second start ends at once, before it touches the display or any file: silently, or
    // after passing its requests to the running one.
    gw::SingleInstance instance;
    switch (instance.acquire()) {
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
    TForm1* window = nullptr;
    bool shutdownAsked = false;
    QObject::connect(&shutdown, &gw::ShutdownSignals::requested, &app, [&window, &shutdownAsked] {
        gw::ErrorReport::setUnattended(true);
        if (window) {
            window->shutDown();
        } else {
            shutdownAsked = true;
            GlobewallApplication::endModalDialogs();
        }
    });
    gw::initProjectionPictures();

    TForm1 form1;
    app.errorReport().setDialogs(&form1.dialogs());
    // The update dialog and the message window are made when first asked for: a start shows
    // neither.
    gw::FormNotifications notifications(form1, nullptr);
    std::unique_ptr<gw::UpdateDialog> formCheckForUpdate;
    form1.setUpdateDialogSource([&] {
        formCheckForUpdate
            = std::make_unique<gw::UpdateDialog>(form1.settings(), form1.dialogs(), form1.clock(), &form1);
        formCheckForUpdate->setFileVersion(form1.desktopUtility().FileVersion());
        formCheckForUpdate->setErrorHandler([&app](const QString& text) { app.errorReport().show(text); });
        notifications.watchUpdateDialog(formCheckForUpdate.get());
        return formCheckForUpdate.get();
    });
    MessageWindowOnDemand form2(&form1);
    form1.setMessageWindow(&form2);

    QObject::connect(&form1, &TForm1::closed, &app, &QCoreApplication::quit);
    window = &form1;
    // Asked while the window was being made: done once the event loop runs, as quitting
    // before it would be forgotten.
    if (shutdownAsked)
        QMetaObject::invokeMethod(
            &form1, [&form1] { form1.shutDown(); }, Qt::QueuedConnection);
    // At the end of the desktop session the settings are saved; the session then ends the
    // process (SIGTERM, which closes the window the normal way) or quits the application.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &form1, [&form1](QSessionManager&) { form1.saveUnattended(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form1, [&form1] {
        if (!form1.isClosed())
            form1.shutDown();
    });

    gw::RunningInstance runningInstance(form1, instance.lockFile(), commandLine.options);
    const int code = app.exec();
    window = nullptr;
    form2.close();
    return code;
}
