// Process start: one instance per user, the three windows, and a clean end on window close,
// SIGTERM, SIGINT and the end of the desktop session.
#include "app/GlobewallApplication.h"
#include "app/ShutdownSignals.h"
#include "app/SingleInstance.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "desktop/ZavAduva.h"
#include "renderer/ProjectionPictures.h"
#include "update/TFormCheckForUpdate.h"

#include <QSessionManager>

int main(int argc, char** argv)
{
    // A second start ends at once, silently, before it touches the display or any file.
    gw::SingleInstance instance;
    if (!instance.acquire())
        return 0;

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

    const int code = app.exec();
    form2.close();
    return code;
}
