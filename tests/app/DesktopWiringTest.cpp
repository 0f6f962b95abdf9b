// The desktop controls of the window: "Globewall at Startup" writes and removes the autostart
// entry in a private configuration folder, the link labels reach the desktop's default
// applications (recorded, never started), and the projection choice shows its picture.
#include "AppRig.h"
#include "renderer/ui/ProjectionPictures.h"
#include "settings/SettingsTable.h"
#include "ui_MainWindow.h"

#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QImage shown(const MainWindow& form)
{
    return const_cast<MainWindow&>(form).ui()->imgProjection->pixmap().toImage();
}

TEST(AutostartWiring, YesWritesTheEntryNoRemovesItAndALoadDropsAStaleOne)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    EXPECT_TRUE(form.ui()->rbNo->isChecked()) << "no entry at the first load";
    EXPECT_FALSE(QFileInfo::exists(rig.autostartEntry()));

    form.ui()->rbYes->click();
    ASSERT_TRUE(QFileInfo::exists(rig.autostartEntry())) << "Yes writes the entry";
    EXPECT_TRUE(gwtest::readFile(rig.autostartEntry()).contains(QCoreApplication::applicationFilePath().toUtf8()));

    form.ui()->rbNo->click();
    EXPECT_FALSE(QFileInfo::exists(rig.autostartEntry())) << "No removes it";

    // An entry of a copy of the program that lies elsewhere.
    gwtest::writeFile(rig.autostartEntry(), "[Desktop Entry]\nType=Application\nExec=\"/elsewhere/Globewall\"\n");
    form.ui()->rbYes->setChecked(true);
    app.settingsFile().IniLoad(QString());
    EXPECT_TRUE(form.ui()->rbNo->isChecked()) << "the load reads the entry back";
    EXPECT_FALSE(QFileInfo::exists(rig.autostartEntry())) << "the stale entry is removed";
}

TEST(LinkLabels, OpenTheirOwnTextWithTheDesktopsDefaults)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    QTest::mouseClick(form.ui()->lbWWW, Qt::LeftButton);
    QTest::mouseClick(form.ui()->lbXplanetHome, Qt::LeftButton);
    QTest::mouseClick(form.ui()->lbEMail, Qt::LeftButton);
    EXPECT_EQ(rig.launcher.started,
        (QList<QStringList> {
            { "testapp", gw::endpoints::programHome() }, { "testapp", gw::endpoints::rendererHome() } }))
        << "the two web pages in the browser";
    EXPECT_EQ(rig.launcher.opened, QStringList { "mailto:" + gw::endpoints::programEmail() });
    EXPECT_TRUE(rig.dialogs.messages().isEmpty());
}

TEST(ProjectionPreview, FollowsTheUsersChoiceAndTyping)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    QComboBox* combo = form.ui()->cbProjektion;
    const int orthographic = gw::projectionList().indexOf("orthographic");
    const int mercator = gw::projectionList().indexOf("mercator");
    const int random = gw::projectionList().indexOf("random");
    ASSERT_GE(mercator, 0);
    ASSERT_GE(random, 0);
    EXPECT_TRUE(shown(form).isNull()) << "nothing decoded while the preview is not seen";
    form.ui()->PageControl->setCurrentWidget(form.ui()->tsParameter);
    form.ui()->PageControlParameter->setCurrentWidget(form.ui()->tsSettings);
    form.show();
    EXPECT_EQ(shown(form), gw::projectionPicture(orthographic).toImage()) << "the loaded setting's picture, once seen";

    // A choice from the list, as the user makes it.
    combo->setCurrentIndex(mercator);
    emit combo->activated(mercator);
    EXPECT_EQ(shown(form), gw::projectionPicture(mercator).toImage()) << "chosen";

    ASSERT_TRUE(combo->lineEdit());
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), "RANDOM");
    EXPECT_EQ(shown(form), gw::projectionPicture(random).toImage()) << "typed in other letter case";

    QTest::keyClicks(combo->lineEdit(), "x");
    EXPECT_EQ(shown(form), gw::projectionPicture(random).toImage()) << "no such entry: the picture stays";
}

} // namespace
