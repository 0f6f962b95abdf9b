// The main window as a user meets it: it opens wide enough for what it shows, comes back where
// it was, its close box asks before it stops the wallpaper, it hides where no notification
// area exists, and it shows no control a Linux desktop has no use for.
#include "AppRig.h"
#include "app/TransferLog.h"
#include "renderer/RenderControl.h"
#include "settings/IniFile.h"
#include "shared/ui/QtDialogs.h"
#include "support/WaitUntil.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using gwtest::readIni;

// The window system's close box: a close that Qt did not start itself.
void closeBox(MainWindow& form)
{
    QCloseEvent close;
    QCoreApplication::sendEvent(form.windowHandle(), &close);
    QCoreApplication::processEvents();
}

} // namespace

TEST(WindowFit, EveryTextIsWholeOnEveryPage)
{
    gwtest::AppRig rig;
    rig.program.write(QStringLiteral("Globewall.ini"),
        "[Config]\nWeb Adress=https://clouds.matteason.co.uk/images/8192x4096/clouds.jpg\n"
        "[Download]\n0,1=https://earthquake.usgs.gov/earthquakes/feed/v1.0/summary/2.5_week.csv\n"
        "1,1=/home/someone/.xplanet/markers/quake.csv\n");
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    EXPECT_EQ(form.minimumSize(), form.size()) << "the size at creation is the minimum";
    EXPECT_GE(form.width(), 481);
    app.Timer2Timer();
    for (QTabWidget* pages : form.findChildren<QTabWidget*>())
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            QCoreApplication::processEvents();
            EXPECT_GE(pages->tabBar()->width(), pages->tabBar()->sizeHint().width())
                << "no scroll arrows in " << pages->objectName().toStdString();
            for (QLineEdit* field : pages->currentWidget()->findChildren<QLineEdit*>()) {
                if (!field->isVisible() || field->text().isEmpty()
                    || field->parentWidget()->inherits("QAbstractSpinBox")
                    || field->parentWidget()->inherits("QComboBox"))
                    continue;
                EXPECT_GT(field->width(), field->fontMetrics().horizontalAdvance(field->text()))
                    << field->objectName().toStdString() << ": " << field->text().toStdString();
            }
        }
    form.ui()->PageControl->setCurrentWidget(form.ui()->tsDownload);
    QCoreApplication::processEvents();
    QTableWidget* grid = form.ui()->sgDownloadFiles;
    for (int column = 0; column < 2; ++column)
        EXPECT_GE(grid->columnWidth(column), grid->fontMetrics().horizontalAdvance(grid->item(0, column)->text()))
            << grid->item(0, column)->text().toStdString();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(form.width(), screen.width());
    EXPECT_LE(form.height(), screen.height());
}

// The test's screens: DP-1 (1024x768) and HDMI-1 (1280x1024) to its right.
TEST(WindowMemory, PlaceAndSizeComeBackOntoTheirScreen)
{
    gwtest::AppRig rig;
    const QString base = rig.programFile(QStringLiteral("Globewall.ini"));
    QSize opened;
    {
        gw::AppCore& app = rig.create();
        app.Timer2Timer();
        opened = app.window().size();
        // The contents' corner: the offscreen platform draws a frame round it, as a window
        // manager does.
        app.window().setGeometry(QRect(QPoint(40, 30), opened));
        ASSERT_TRUE(app.window().close());
        gw::IniFile ini(base);
        ini.load();
        EXPECT_EQ(ini.sections().constLast(), QStringLiteral("Window")) << "written after the sections before it";
        EXPECT_EQ(readIni(base, "Window", "Screen"), QGuiApplication::primaryScreen()->name());
        EXPECT_EQ(readIni(base, "Window", "Left"), QStringLiteral("40"));
        EXPECT_EQ(readIni(base, "Window", "Top"), QStringLiteral("30"));
        EXPECT_EQ(readIni(base, "Window", "Width"), QString::number(opened.width()));
        rig.app.reset();
    }
    struct Case
    {
        const char* label;
        const char* screen;
        QPoint saved; // "Left", "Top"
        QPoint pos;
        QSize size;
    };
    const int far = 2147483600; // opened the window at 32767,32767, off the screen
    const Case cases[] = {
        { "back on the second screen", "HDMI-1", { 1100, 40 }, { 1100, 40 }, { 1100, 800 } },
        { "a screen unplugged: as at a first start", "VGA-1", { 1100, 40 }, { -1, -1 }, opened },
        { "a place near the int limit: onto its screen", "HDMI-1", { far, far }, { 1204, 224 }, { 1100, 800 } },
    };
    for (const Case& c : cases) {
        gw::IniFile ini(base);
        ini.load();
        const QString w = QStringLiteral("Window");
        ini.writeString(w, QStringLiteral("Screen"), QString::fromLatin1(c.screen));
        ini.writeInteger(w, QStringLiteral("Left"), c.saved.x());
        ini.writeInteger(w, QStringLiteral("Top"), c.saved.y());
        ini.writeInteger(w, QStringLiteral("Width"), 1100);
        ini.writeInteger(w, QStringLiteral("Height"), 800);
        ASSERT_TRUE(ini.save());
        gw::AppCore& app = rig.create();
        app.Timer2Timer();
        EXPECT_EQ(app.window().size(), c.size) << c.label;
        if (c.pos.x() >= 0)
            EXPECT_EQ(app.window().geometry().topLeft(), c.pos) << c.label;
        else
            EXPECT_LT(app.window().frameGeometry().right(), 1024) << c.label << ": on the primary screen";
        app.window().close();
        rig.app.reset();
    }
}

TEST(CloseBox, AsksOnceWhereTheNotificationAreaCanKeepTheProgram)
{
    using Button = gw::ChoiceAnswer::Button;
    struct Case
    {
        const char* label;
        bool tray;
        QByteArray ini;
        std::optional<gw::ChoiceAnswer> answer; // none: no question expected
        bool ends;
        const char* stored; // "Close box" after the program ended
    };
    const Case cases[] = {
        { "no notification area: ends at once", false, "", std::nullopt, true, "ask" },
        { "keep running, asked again next time", true, "", gw::ChoiceAnswer { Button::First, false }, false, "ask" },
        { "keep running for good", true, "", gw::ChoiceAnswer { Button::First, true }, false, "keep running" },
        { "quit for good", true, "", gw::ChoiceAnswer { Button::Second, true }, true, "quit" },
        { "question closed unanswered: keeps running, as Escape does", true, "",
            gw::ChoiceAnswer { Button::None, true }, false, "ask" },
        { "kept running before: not asked", true, "[Window]\nClose box=keep running\n", std::nullopt, false,
            "keep running" },
        { "quit before: not asked", true, "[Window]\nClose box=quit\n", std::nullopt, true, "quit" },
    };
    for (const Case& c : cases) {
        gwtest::AppRig rig;
        rig.program.write(QStringLiteral("Globewall.ini"), c.ini);
        gw::AppCore::Options o = rig.options();
        o.trayAvailable = c.tray;
        gw::AppCore& app = rig.create(std::move(o));
        app.Timer2Timer();
        if (c.answer)
            rig.dialogs.queueChoice(*c.answer);
        closeBox(app.window());
        EXPECT_EQ(app.isClosed(), c.ends) << c.label;
        EXPECT_FALSE(app.window().isVisible()) << c.label << ": ended or in the notification area";
        EXPECT_TRUE(rig.dialogs.allAnswersUsed()) << c.label;
        if (c.answer) {
            EXPECT_EQ(rig.dialogs.asked.back().text,
                QStringLiteral("Globewall keeps your desktop up to date only while it runs. Keep it running in the "
                               "notification area?"))
                << c.label;
        }
        if (!c.ends)
            app.window().ui()->btnClose->click();
        EXPECT_TRUE(app.isClosed()) << c.label << ": \"Close\" ends it without a question";
        EXPECT_EQ(readIni(rig.programFile(QStringLiteral("Globewall.ini")), "Window", "Close box"),
            QString::fromLatin1(c.stored))
            << c.label;
    }
}

// Each row is one start on the same program folder, so what the settings file remembers
// carries to the next row. No row ever shows a box: one held up the first globe at a start
// from autostart until someone clicked it.
TEST(WithoutTray, HiddenWithoutABoxAndToldOnceEverHowToComeBack)
{
    gwtest::AppRig rig;
    struct Case
    {
        const char* label;
        QByteArray ini; // written before the start; empty: the file of the row before
        bool startMinimized;
        int hintLines; // in the log of this start
    };
    const Case cases[] = {
        { "started minimized: hidden, told in the log", "[Config]\nStart Minimized=1\n", true, 1 },
        { "told before: not again at the next start", {}, true, 0 },
        { "a settings file from before: told at Minimize", "[Config]\nStart Minimized=0\n", false, 1 },
    };
    for (const Case& c : cases) {
        if (!c.ini.isEmpty())
            rig.program.write(QStringLiteral("Globewall.ini"), c.ini);
        gw::AppCore::Options o = rig.options();
        o.trayAvailable = false;
        gw::AppCore& app = rig.create(std::move(o));
        MainWindow& form = app.window();
        app.Timer2Timer();
        EXPECT_EQ(form.isVisible(), !c.startMinimized) << c.label;
        form.pmRestoreWindowClick();
        EXPECT_TRUE(form.isVisible()) << c.label << ": --show";
        form.ui()->btnMinimize->click();
        EXPECT_FALSE(form.isVisible()) << c.label << ": Minimize";
        form.pmRestoreWindowClick();
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_FALSE(form.isVisible()) << c.label << ": Escape";
        EXPECT_TRUE(rig.dialogs.messages().isEmpty()) << c.label << ": no box";
        const QString log = app.transferLog().text();
        EXPECT_EQ(log.count(QStringLiteral("\"Globewall --show\"")), c.hintLines) << c.label << "\n"
                                                                                  << log.toStdString();
        form.ui()->btnClose->click();
        ASSERT_TRUE(app.isClosed()) << c.label;
        EXPECT_EQ(readIni(rig.programFile(QStringLiteral("Globewall.ini")), "Window", "Told how to come back"),
            QStringLiteral("1"))
            << c.label;
        rig.app.reset();
    }
}

// The keys a user tries first, and Escape on the close box's question.
TEST(Keyboard, TheUsualKeysWorkFromTheWindow)
{
    struct Case
    {
        const char* label;
        QKeySequence keys;
        bool ends;
        bool saved;
    };
    const Case cases[] = {
        { "Ctrl+Q quits, saving the settings", QKeySequence(QStringLiteral("Ctrl+Q")), true, true },
        { "Ctrl+S is \"Save config\"", QKeySequence(QStringLiteral("Ctrl+S")), false, true },
        { "a key of no meaning does nothing", QKeySequence(QStringLiteral("Ctrl+J")), false, false },
    };
    for (const Case& c : cases) {
        gwtest::AppRig rig;
        gw::AppCore& app = rig.create();
        MainWindow& form = app.window();
        app.Timer2Timer();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form)) << c.label;
        const QString file = rig.programFile(QStringLiteral("Globewall.ini"));
        QFile::remove(file);
        // Typed while a field has the focus: the window's keys still reach the window.
        form.ui()->PageControl->setCurrentWidget(form.ui()->tsDownload);
        if (auto* field = form.ui()->tsDownload->findChild<QLineEdit*>())
            field->setFocus();
        QTest::keySequence(form.windowHandle(), c.keys);
        QCoreApplication::processEvents();
        EXPECT_EQ(app.isClosed(), c.ends) << c.label;
        EXPECT_EQ(QFileInfo::exists(file), c.saved) << c.label;
        EXPECT_TRUE(rig.dialogs.asked.empty()) << c.label << ": no question";
        if (!app.isClosed())
            form.ui()->btnClose->click();
        rig.app.reset();
    }
}

// The real question box, answered with Escape: its default answer, "Keep running".
TEST(CloseBox, EscapeOnTheQuestionKeepsRunning)
{
    QWidget parent;
    gw::QtDialogs dialogs(&parent);
    gw::ChoiceRequest question;
    question.text = QStringLiteral("Keep it running?");
    question.first = QStringLiteral("Keep running");
    question.second = QStringLiteral("Quit");
    question.checkBox = QStringLiteral("Do not ask again");
    QTimer::singleShot(0, [] {
        gwtest::waitUntil([] { return QApplication::activeModalWidget() != nullptr; }, 10000);
        if (QWidget* box = QApplication::activeModalWidget())
            QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(dialogs.askChoice(question).button, gw::ChoiceAnswer::Button::First);
}

TEST(LinuxControls, CaptionControlsAreHiddenAndTheBackgroundIsAChoice)
{
    gwtest::AppRig rig;
    rig.program.write(QStringLiteral("Globewall.ini"),
        "[Config]\nRestore transparency=1\nTransparent at Start=0\nDesktop background=Xfce\n");
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    app.Timer2Timer();
    for (QWidget* w : std::initializer_list<QWidget*> { form.ui()->gbIconText, form.ui()->btnMakeBGTransparent,
             form.ui()->cbMakeTransAtStart, form.ui()->cbRestoreTrans })
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_FALSE(form.ui()->pmMakeDesktopIconBackgroundtransparent->isVisible());
    EXPECT_FALSE(form.ui()->ddbDesktopBackground->isEditable());
    EXPECT_EQ(app.settings().text(QStringLiteral("ddbDesktopBackground")), QStringLiteral("Xfce"));

    ASSERT_TRUE(form.close());
    const QString base = rig.programFile(QStringLiteral("Globewall.ini"));
    EXPECT_EQ(readIni(base, "Config", "Restore transparency"), QStringLiteral("1")) << "hidden, still saved";
    EXPECT_EQ(readIni(base, "Config", "Transparent at Start"), QStringLiteral("0"));
    EXPECT_EQ(readIni(base, "Config", "Desktop background"), QStringLiteral("Xfce"));
}

TEST(LinuxControls, AStoredBackgroundTheListDoesNotOfferIsKept)
{
    gwtest::AppRig rig;
    rig.program.write(QStringLiteral("Globewall.ini"), "[Config]\nDesktop background=Enlightenment\n");
    gw::AppCore& app = rig.create();
    QComboBox* choice = app.window().ui()->ddbDesktopBackground;
    EXPECT_EQ(choice->currentText(), QStringLiteral("Enlightenment")) << "shown as stored";
    app.settings().setText(QStringLiteral("ddbDesktopBackground"), QStringLiteral("sway"));
    EXPECT_EQ(choice->findText(QStringLiteral("Enlightenment")), -1) << "and gone once another is chosen";
    EXPECT_EQ(choice->count(), 12);
}

TEST(TrayPicture, ItemsOpenThePictureOnTheDesktopAndItsFolder)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    Ui::MainWindow* ui = app.window().ui();
    EXPECT_FALSE(ui->pmOpenPicture->isVisible()) << "no picture yet";
    const QString picture = rig.homeDir.write(QStringLiteral(".xplanet/xplanet.png"), "png");
    emit app.render().pictureFilesChanged({ picture });
    EXPECT_TRUE(ui->pmOpenPicture->isVisible());
    EXPECT_TRUE(ui->pmOpenPictureFolder->isVisible());
    ui->pmOpenPicture->trigger();
    ui->pmOpenPictureFolder->trigger();
    ASSERT_EQ(rig.launcher.started.size(), 2);
    EXPECT_EQ(rig.launcher.started[0], (QStringList { "testapp", picture }));
    EXPECT_EQ(rig.launcher.started[1], (QStringList { "testapp", rig.home() + QStringLiteral("/.xplanet") }));
    emit app.render().pictureFilesChanged({});
    EXPECT_FALSE(ui->pmOpenPicture->isVisible()) << "the renderer painted the root window itself";
}
