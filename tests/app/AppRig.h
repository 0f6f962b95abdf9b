#pragma once
// A main window on a private program folder and a private home folder, with scripted dialogs
// and a manual clock.
#include "app/TForm1.h"
#include "shared/Clock.h"
#include "shared/Dialogs.h"
#include "shared/Paths.h"
#include "support/TempDir.h"

#include <QByteArray>
#include <memory>

namespace gwtest {

class AppRig
{
public:
    AppRig()
    {
        m_oldHome = qgetenv("HOME");
        qputenv("HOME", home().toLocal8Bit());
        gw::setProgramDir(program.path());
    }
    ~AppRig()
    {
        form.reset();
        qputenv("HOME", m_oldHome);
        gw::setProgramDir(QString());
    }
    AppRig(const AppRig&) = delete;
    AppRig& operator=(const AppRig&) = delete;

    QString home() const { return homeDir.path(); }
    QString programFile(const QString& name) const { return program.file(name); }

    TForm1::Options options(bool runCreation = true)
    {
        TForm1::Options o;
        o.clock = &clock;
        o.dialogs = &dialogs;
        o.runCreation = runCreation;
        o.showTray = false;
        o.trayAvailable = true;
        return o;
    }

    TForm1& create(bool runCreation = true) { return create(options(runCreation)); }
    TForm1& create(TForm1::Options o)
    {
        form = std::make_unique<TForm1>(std::move(o));
        return *form;
    }

    TempDir program;
    TempDir homeDir;
    gw::ScriptedDialogs dialogs;
    gw::ManualClock clock { 46000.5 };
    std::unique_ptr<TForm1> form;

private:
    QByteArray m_oldHome;
};

} // namespace gwtest
