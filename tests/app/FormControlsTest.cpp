// The main window as designed, before creation runs: every setting control of the control
// table exists with its widget kind and window default, and the captions that are easy to
// get wrong (two or three blanks, a star) are exact.
#include "AppRig.h"
#include "app/SpinEdit.h"
#include "app/WidgetSettings.h"
#include "desktop/TrayHandlers.h"
#include "settings/SettingsTable.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>

using gw::ControlKind;

namespace {

bool hasKind(QObject* o, ControlKind kind)
{
    switch (kind) {
    case ControlKind::CheckBox:
        return qobject_cast<QCheckBox*>(o);
    case ControlKind::RadioButton:
        return qobject_cast<QRadioButton*>(o);
    case ControlKind::Edit:
        return qobject_cast<QLineEdit*>(o);
    case ControlKind::SpinEdit:
        return qobject_cast<gw::SpinEdit*>(o);
    case ControlKind::ComboBox: {
        auto* c = qobject_cast<QComboBox*>(o);
        // A combo box's text may be any text; the one drop-down keeps a stored text it does not
        // offer as an entry of its own.
        return c && (c->isEditable() || c->objectName() == QLatin1String("ddbDesktopBackground"));
    }
    case ControlKind::Memo:
        return qobject_cast<QPlainTextEdit*>(o);
    case ControlKind::ListBox:
    case ControlKind::CheckListBox:
        return qobject_cast<QListWidget*>(o);
    case ControlKind::StringGrid:
        return qobject_cast<QTableWidget*>(o);
    case ControlKind::MenuCheck: {
        auto* a = qobject_cast<QAction*>(o);
        return a && a->isCheckable();
    }
    default:
        return false;
    }
}

bool isHiddenKind(ControlKind k)
{
    return k == ControlKind::HiddenText || k == ControlKind::HiddenInteger || k == ControlKind::HiddenBool
        || k == ControlKind::Colour;
}

} // namespace

TEST(FormControls, EveryTableControlExistsWithItsKindAndWindowDefault)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create(false);
    gw::SettingsAccess& s = app.settings();
    gw::WidgetSettings& ws = static_cast<gw::WidgetSettings&>(s);

    for (const gw::SettingRow& row : gw::settingsTable()) {
        SCOPED_TRACE(row.name.toStdString());
        if (!isHiddenKind(row.kind)) {
            QObject* o = nullptr;
            ASSERT_NO_THROW(o = ws.control(row.name));
            EXPECT_TRUE(hasKind(o, row.kind)) << "widget class " << o->metaObject()->className();
        }
        switch (row.kind) {
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
        case ControlKind::MenuCheck:
        case ControlKind::HiddenBool:
            EXPECT_EQ(s.checked(row.name), row.windowDefault.toBool());
            break;
        case ControlKind::Edit:
        case ControlKind::ComboBox:
        case ControlKind::HiddenText:
            EXPECT_EQ(s.text(row.name), row.windowDefault.toString());
            break;
        case ControlKind::SpinEdit:
        case ControlKind::Colour:
        case ControlKind::HiddenInteger:
            EXPECT_EQ(s.integer(row.name), row.windowDefault.toInt());
            break;
        case ControlKind::Memo:
        case ControlKind::ListBox:
            EXPECT_EQ(s.lines(row.name), row.windowDefault.toStringList());
            break;
        case ControlKind::CheckListBox: {
            QVector<gw::CheckItem> expected;
            for (const QString& t : row.windowDefault.toStringList())
                expected.push_back({ t, false });
            EXPECT_EQ(s.checkItems(row.name), expected);
            break;
        }
        case ControlKind::StringGrid:
            EXPECT_EQ(s.rowCount(row.name), gw::GridRows);
            for (int r = 0; r < gw::GridRows; ++r)
                for (int col = 0; col < gw::GridColumns; ++col)
                    EXPECT_EQ(s.cell(row.name, col, r), QString()) << "cell " << col << "," << r;
            break;
        }
    }
}

TEST(FormControls, WindowShapeAndPages)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create(false);
    MainWindow& form = app.window();
    Ui::MainWindow* ui = form.ui();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Globewall by Quillmoor"));
    EXPECT_EQ(form.size(), QSize(481, 582));
    // Every page's content fits: the window never has to grow beyond its designed size.
    const QSize need = form.minimumSizeHint();
    EXPECT_LE(need.width(), 481) << "layout wider than the window";
    EXPECT_LE(need.height(), 582) << "layout taller than the window";

    const QStringList pages = { "General", "Parameter", "Download settings", "Time Sync" };
    ASSERT_EQ(ui->PageControl->count(), pages.size());
    for (int i = 0; i < pages.size(); ++i)
        EXPECT_EQ(ui->PageControl->tabText(i), pages[i]) << "page " << i;
    const QStringList inner = { "Settings", "XPlanet Configuration", "Additional command line parameter" };
    ASSERT_EQ(ui->PageControlParameter->count(), inner.size());
    for (int i = 0; i < inner.size(); ++i)
        EXPECT_EQ(ui->PageControlParameter->tabText(i), inner[i]) << "sub-page " << i;

    EXPECT_EQ(form.ProgressBar()->parentWidget()->width(), 120) << "status bar panel 0";
    EXPECT_FALSE(ui->cbUseMD5ForCloudDownload->isVisibleTo(&form)) << "the MD5 switch is not shown";
    EXPECT_TRUE(ui->edtAppFile->isReadOnly()) << "the renderer is chosen with its button only";
    EXPECT_EQ(ui->edtProxyPasswd->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(ui->mTransfer->isReadOnly());
    EXPECT_EQ(ui->lbConfigFileName->text(), QStringLiteral("Current config file : Globewall.ini"));
    // The icon's pictures are built into the program: each size is there, none scaled up.
    const QIcon icon = form.windowIcon();
    for (int size : { 16, 22, 24, 32, 48, 64 })
        EXPECT_EQ(icon.actualSize(QSize(size, size)), QSize(size, size)) << "window icon at " << size;
    EXPECT_FALSE(ui->imgDesktopIcon->pixmap().isNull());
}

TEST(FormControls, CaptionsWithExactSpacingAndHints)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create(false);
    MainWindow& form = app.window();
    struct Case
    {
        const char* name;
        const char* property;
        const char* expected;
    };
    const Case cases[] = {
        { "btnDownloadCloudNow", "text", "Download now   *" },
        { "btnDownloadTleNow", "text", "Download now   *" },
        { "cbDownload", "text", "download cloud file timer  *" },
        { "rbLatLon", "text", "Latitude  /  Longitude" },
        { "btIniSaveAs", "text", "Save config as ..." },
        { "btnIniSaveAs2", "text", "Save config as ..." },
        { "btnAppFile", "text", ">>" },
        { "lbForceDownload", "text", "* = Force download" },
        { "gbStartup", "title", "Globewall at Startup" },
        { "gbPriority", "title", "Process priority" },
        { "gbDownloadFiles", "title", "TLE Files (and other files)" },
        { "lbTimeServerCaption", "text", "TimeServer (only the first checked Server will be used)" },
        { "btnIniSave", "toolTip", "Save you configuration right now. Normaly it will be saved at program end." },
        { "btnIniSave2", "toolTip", "Save you configuration right now. Normaly it will be saved at program end." },
        { "mTime", "toolTip", "You must enter the time in 24 Hour format with hh:mm" },
        { "edtFileDestination", "toolTip", "Path and Filename for the downloaded File" },
        { "btnCheckDownloads", "toolTip", "Download the File from the web." },
        { "btnMakeBGTransparent", "toolTip", "make the Desktop Icon Text transparent" },
        { "btnIconTextColor", "toolTip", "select the textcolor for the transparent desktop icons" },
        { "gbStartup", "toolTip", "launch Globewall at log-in" },
        { "gbPriority", "toolTip", "set the priority of the Application from low to high" },
        { "lbWWW", "toolTip", "visit the Globewall Homepage" },
        { "lbEMail", "toolTip", "send Email" },
        { "lbXplanetHome", "toolTip", "visit the XPlanet Homepage" },
    };
    for (const Case& c : cases) {
        QObject* o = form.findChild<QObject*>(QString::fromLatin1(c.name));
        ASSERT_NE(o, nullptr) << c.name;
        EXPECT_EQ(o->property(c.property).toString(), QString::fromUtf8(c.expected)) << c.name << "." << c.property;
    }
}

TEST(FormControls, TrayMenuHoldsItsItemsInOrder)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create(false);
    MainWindow& form = app.window();
    const QList<QAction*> items = form.PopupMenu1()->actions();
    const QStringList names = { "pmRestoreWindow", "pmOpenPicture", "pmOpenPictureFolder", "N4", "pmStartNow",
        "pmDownloadfromHTTPnow", "N5", "pmKillNow", "N2", "pmMakeDesktopIconBackgroundtransparent", "N3",
        "Globewallenabled", "N1", "pmClose" };
    const QStringList captions
        = { "show Window", "Open current picture", "Open picture folder", "", "render now", "check all downloads", "",
              "kill XPlanet now", "", "make Icontext transparent", "", "Globewall enabled", "", "close" };
    ASSERT_EQ(items.size(), names.size());
    for (int i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i]->objectName(), names[i]) << "item " << i;
        EXPECT_EQ(items[i]->isSeparator(), captions[i].isEmpty()) << names[i].toStdString();
        EXPECT_EQ(items[i]->text(), captions[i]) << names[i].toStdString();
    }
    EXPECT_FALSE(form.ui()->pmKillNow->isEnabled()) << "enabled only while a render runs";
    EXPECT_TRUE(form.ui()->Globewallenabled->isChecked());

    EXPECT_EQ(form.pmTimeServer()->actions().size(), 3);
    EXPECT_EQ(form.pmMarker()->actions().at(0)->text(), QStringLiteral("edit file"));
    EXPECT_EQ(form.pmSatellite()->actions().at(1)->text(), QStringLiteral("delete from list"));
}

TEST(FormControls, TimersAsDesigned)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create(true);
    MainWindow& form = app.window();
    EXPECT_EQ(form.CentralTimer()->interval(), 5000);
    EXPECT_FALSE(form.CentralTimer()->isActive()) << "enabled by the start-up step only";
    EXPECT_EQ(form.Timer2()->interval(), 200);
    EXPECT_TRUE(form.Timer2()->isActive()) << "enabled at creation";
    EXPECT_TRUE(form.Timer2()->isSingleShot());
    EXPECT_EQ(app.trayHandlers().TimerDoubleClick().interval(), 500);
    EXPECT_FALSE(app.trayHandlers().TimerDoubleClick().isActive());
}
