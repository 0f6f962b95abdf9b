// Process start: one instance per user, the three windows, and a clean end on window close,
// SIGTERM, SIGINT and the end of the desktop session.
#include "app/CommandLineOptions.h"
#include "app/FormNotifications.h"
#include "app/GlobewallApplication.h"
#include "app/RunningInstance.h"
#include "app/ShutdownSignals.h"
#include "app/SingleInstance.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "desktop/ZavAduva.h"
#include "renderer/ProjectionPictures.h"
#include "shared/Paths.h"
#include "update/TFormCheckForUpdate.h"

#include <QSessionManager>

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
    if (!instance.acquire())
        return gw::passToRunningInstance(instance.lockFile(), commandLine.options);

    GlobewallApplication app(argc, argv);
    gw::ShutdownSignals shutdown;
    gw::initProjectionPictures();

    TForm1 form1;
    app.errorReport().setDialogs(&form1.dialogs());
    gw::TFormCheckForUpdate formCheckForUpdate(form1.settings(), form1.dialogs(), form1.clock(), &form1);
    formCheckForUpdate.setFileVersion(form1.ZavAduva1().FileVersion());
    formCheckForUpdate.setErrorHandler([&app](const QString& text) { app.errorReport().show(text); });
    form1.setUpdateDialog(&formCheckForUpdate);
    TForm2 form2(&form1);
    form1.setMessageWindow(&form2);

    QObject::connect(&form1, &TForm1::closed, &app, &QCoreApplication::quit);
    QObject::connect(&shutdown, &gw::ShutdownSignals::requested, &form1, [&form1] { form1.close(); });
    // At the end of the desktop session the settings are saved; the session then ends the
    // process (SIGTERM, which closes the window the normal way) or quits the application.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form1,
        [&form1](QSessionManager&) { form1.errorReport().guard([&form1] { form1.btnIniSaveClick(); }); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form1, [&form1] {
        if (!form1.isClosed())
            form1.close();
    });

    gw::RunningInstance runningInstance(form1, instance.lockFile(), commandLine.options);
    gw::FormNotifications notifications(form1, &formCheckForUpdate);
    const int code = app.exec();
    form2.close();
    return code;
}
