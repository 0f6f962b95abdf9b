// The autostart entry behind "Globewall at Startup": writing, removing and the detection that
// runs after every settings load.
#include "desktop/Autostart.h"

#include "settings/MemorySettings.h"
#include "shared/Error.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

using gw::Autostart;

namespace {

class AutostartTest : public ::testing::Test
{
protected:
    QString folder() const { return tmp.file("config/autostart"); }
    QString entry() const { return folder() + "/Globewall.desktop"; }
    QByteArray entryText() const { return gwtest::readFile(entry()); }
    void writeEntry(const QByteArray& exec)
    {
        QDir().mkpath(folder());
        gwtest::writeFile(entry(), "[Desktop Entry]\nType=Application\nName=Globewall\n" + exec + "\n");
    }

    gwtest::TempDir tmp;
    gw::MemorySettings settings;
};

TEST_F(AutostartTest, YesWritesTheEntryAndNoRemovesIt)
{
    Autostart autostart(settings, "/opt/Globe Wall/Globewall", folder());
    autostart.rbYesClick();
    EXPECT_EQ(entryText(),
        QByteArray("[Desktop Entry]\nType=Application\nName=Globewall\n"
                   "Exec=\"/opt/Globe Wall/Globewall\"\n"))
        << "the folder is created; the quoted path and no arguments";
    autostart.rbYesClick();
    EXPECT_TRUE(QFileInfo::exists(entry())) << "writing twice is harmless";

    autostart.rbNoClick();
    EXPECT_FALSE(QFileInfo::exists(entry()));
    EXPECT_NO_THROW(autostart.rbNoClick()) << "a missing entry is no error";
}

TEST_F(AutostartTest, YesOverAnEntrySwitchedOffByTheDesktopSwitchesItOn)
{
    writeEntry("Exec=/opt/globewall/Globewall\nHidden=true\nX-GNOME-Autostart-enabled=false");
    Autostart autostart(settings, "/opt/globewall/Globewall", folder());
    autostart.rbYesClick();
    EXPECT_FALSE(entryText().contains("Hidden")) << entryText().toStdString();
    EXPECT_FALSE(entryText().contains("X-GNOME-Autostart-enabled")) << entryText().toStdString();
    settings.setChecked("rbNo", true);
    autostart.detect();
    EXPECT_TRUE(settings.checked("rbYes"));
}

TEST_F(AutostartTest, EntryIsAValidDesktopFileForAnyPath)
{
    const char* paths[] = { "/usr/bin/Globewall", "/home/u/my apps/Globewall", "/home/u/$HOME`x`/Globe\"wall",
        "/home/u/back\\slash/100%/Globewall" };
    for (const char* p : paths) {
        Autostart autostart(settings, QString::fromUtf8(p), folder());
        autostart.rbYesClick();
        settings.setChecked("rbNo", true);
        autostart.detect();
        EXPECT_TRUE(settings.checked("rbYes")) << p << ": detection finds what was written";
        EXPECT_TRUE(QFileInfo::exists(entry())) << p;
        const QString exec = QString::fromUtf8(entryText()).section("Exec=", 1).trimmed();
        EXPECT_EQ(Autostart::unescapeExec(exec), QString::fromUtf8(p)) << p;
        // The desktop's own validator, where installed, agrees.
        QProcess validate;
        validate.start("desktop-file-validate", { entry() });
        if (validate.waitForFinished(10000) && validate.exitStatus() == QProcess::NormalExit) {
            EXPECT_EQ(validate.exitCode(), 0) << p << validate.readAll().toStdString();
        }
    }
}

TEST_F(AutostartTest, DetectionAfterASettingsLoad)
{
    const QString program = "/opt/globewall/Globewall";
    const struct
    {
        const char* label;
        const char* exec; // nullptr: no entry
        const char* selected; // button selected before the load
        bool yes;
        const char* afterwards; // nullptr: no entry afterwards
    } cases[] = {
        { "no entry, default Yes: No, nothing to delete", nullptr, "rbYes", false, nullptr },
        { "own entry, Yes already selected: left unchanged", "Exec=\"/opt/globewall/Globewall\" --keep", "rbYes", true,
            "Exec=\"/opt/globewall/Globewall\" --keep" },
        { "own entry while No selected: Yes, rewritten", "Exec=/opt/globewall/Globewall --old", "rbNo", true,
            "Exec=\"/opt/globewall/Globewall\"" },
        { "other letter case counts as Yes", "Exec=\"/OPT/GlobeWall/globewall\"", "rbYes", true,
            "Exec=\"/OPT/GlobeWall/globewall\"" },
        { "without quotes counts as Yes", "Exec = /opt/globewall/Globewall", "rbYes", true,
            "Exec = /opt/globewall/Globewall" },
        { "moved program: stale entry removed", "Exec=\"/home/u/old/Globewall\"", "rbYes", false, nullptr },
        { "entry without Exec line counts as No", "Name=Other", "rbYes", false, nullptr },
        { "switched off by the session settings (Hidden)", "Exec=/opt/globewall/Globewall\nHidden=true", "rbNo", false,
            "Hidden=true" },
        { "switched off by GNOME", "Exec=/opt/globewall/Globewall\nX-GNOME-Autostart-enabled=false", "rbNo", false,
            "X-GNOME-Autostart-enabled=false" },
        { "switched off while Yes selected: removed", "Exec=/opt/globewall/Globewall\nHidden=true", "rbYes", false,
            nullptr },
        { "switched on again by GNOME counts as Yes", "Exec=/opt/globewall/Globewall\nX-GNOME-Autostart-enabled=true",
            "rbYes", true, "X-GNOME-Autostart-enabled=true" },
        { "Hidden of another group does not count", "Exec=/opt/globewall/Globewall\n[Desktop Action x]\nHidden=true",
            "rbYes", true, "Hidden=true" },
    };
    for (const auto& c : cases) {
        QFile::remove(entry());
        if (c.exec)
            writeEntry(c.exec);
        settings.setChecked(c.selected, true);
        Autostart(settings, program, folder()).detect();
        EXPECT_EQ(settings.checked("rbYes"), c.yes) << c.label;
        EXPECT_EQ(settings.checked("rbNo"), !c.yes) << c.label;
        if (c.afterwards) {
            EXPECT_TRUE(entryText().contains(c.afterwards)) << c.label << ": " << entryText().toStdString();
        } else {
            EXPECT_FALSE(QFileInfo::exists(entry())) << c.label;
        }
    }
}

TEST_F(AutostartTest, FolderProblems)
{
    // A file where the autostart folder should be: the entry cannot be made, nothing happens.
    gwtest::writeFile(tmp.file("blocked"), "x");
    Autostart blocked(settings, "/opt/g/Globewall", tmp.file("blocked"));
    EXPECT_NO_THROW(blocked.rbYesClick());
    EXPECT_EQ(gwtest::readFile(tmp.file("blocked")), QByteArray("x"));

    // A folder where the entry should be is reported, not treated as "No".
    QDir().mkpath(entry());
    settings.setChecked("rbYes", true);
    EXPECT_THROW(Autostart(settings, "/opt/g/Globewall", folder()).detect(), gw::Error);
    EXPECT_TRUE(QFileInfo(entry()).isDir()) << "left as it was";
}

TEST_F(AutostartTest, DefaultFolderFollowsXdgConfigHome)
{
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", tmp.file("xdg").toLocal8Bit());
    Autostart autostart(settings);
    EXPECT_EQ(autostart.entryFile(), tmp.file("xdg") + "/autostart/Globewall.desktop");
    EXPECT_EQ(autostart.programFile(), QCoreApplication::applicationFilePath());
    if (old.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
}

} // namespace
