// The rules of the settings on the real widgets: spin-edit bounds and the non-number rule,
// radio groups, memo lines, combo texts, the grid's header row, the colour, bad names.
#include "app/WidgetSettings.h"
#include "AppRig.h"
#include "app/SpinEdit.h"
#include "settings/SettingsTable.h"
#include "shared/Error.h"
#include "ui_MainWindow.h"

#include <QLineEdit>
#include <QTest>
#include <climits>
#include <gtest/gtest.h>

namespace {

struct Fixture : ::testing::Test
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create(false);
    MainWindow& form = app.window();
    gw::SettingsAccess& s = app.settings();
};

using SpinEditRules = Fixture;
using RadioGroups = Fixture;
using SettingValues = Fixture;

} // namespace

TEST_F(SpinEditRules, SetValuesGoToTheNearestBoundUnlessUnbounded)
{
    struct Case
    {
        const char* label;
        const char* control;
        int set;
        int reads;
    };
    const Case cases[] = {
        { "stored 3 is used as 5", "seCheckForNewFiles", 3, 5 },
        { "stored 2000 is used as 1000", "seCheckForNewFiles", 2000, 1000 },
        { "lower bound kept", "seCheckForNewFiles", 5, 5 },
        { "upper bound kept", "seCheckForNewFiles", 1000, 1000 },
        { "unbounded zero", "SpinEdit", 0, 0 },
        { "unbounded negative", "SpinEdit", -7, -7 },
        { "unbounded int minimum", "SpinEdit", INT_MIN, INT_MIN },
        { "unbounded int maximum", "SpinEdit", INT_MAX, INT_MAX },
        { "checks per day above range", "seDownloadChecksPerDay", 3000, 2880 },
        { "checks per day zero", "seDownloadChecksPerDay", 0, 0 },
        { "rotate below range", "seRotate", -1, 0 },
        { "rotate above range", "seRotate", 361, 360 },
        { "latitude unbounded", "seLat", -95, -95 },
    };
    for (const Case& c : cases) {
        s.setInteger(QString::fromLatin1(c.control), c.set);
        EXPECT_EQ(s.integer(QString::fromLatin1(c.control)), c.reads) << c.label;
    }
}

TEST_F(SpinEditRules, TextThatIsNotAWholeNumberReadsAsMinValue)
{
    struct Case
    {
        const char* label;
        const char* control;
        const char* text;
        int reads;
    };
    const Case cases[] = {
        { "empty", "SpinEdit", "", 0 },
        { "lone minus", "SpinEdit", "-", 0 },
        { "letters", "SpinEdit", "abc", 0 },
        { "number with trailing letters", "SpinEdit", "12x", 0 },
        { "fraction", "SpinEdit", "1.5", 0 },
        { "beyond 32 bits", "SpinEdit", "99999999999", 0 },
        { "blanks around a number", "SpinEdit", " 42 ", 42 },
        { "negative number", "SpinEdit", "-42", -42 },
        { "empty, minimum 5", "seCheckForNewFiles", "", 5 },
        { "lone minus, minimum 5", "seCheckForNewFiles", "-", 5 },
        { "typed 3 while the minimum is 5", "seCheckForNewFiles", "3", 5 },
    };
    for (const Case& c : cases) {
        s.setText(QString::fromLatin1(c.control), QString::fromLatin1(c.text));
        EXPECT_EQ(s.integer(QString::fromLatin1(c.control)), c.reads) << c.label;
    }
}

TEST_F(SpinEditRules, TypedLoneMinusReadsAsMinValue)
{
    gw::SpinEdit* spin = form.ui()->SpinEdit;
    s.setInteger(QStringLiteral("SpinEdit"), 600);
    QLineEdit* edit = spin->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Minus);
    EXPECT_EQ(edit->text(), QStringLiteral("-")) << "the widget accepts the start of a negative number";
    EXPECT_EQ(s.integer(QStringLiteral("SpinEdit")), 0);
    QTest::keyClicks(edit, QStringLiteral("15"));
    EXPECT_EQ(s.integer(QStringLiteral("SpinEdit")), -15);
}

TEST_F(RadioGroups, CheckingOneUnchecksItsGroupOnly)
{
    s.setChecked(QStringLiteral("rbOrigin"), true);
    EXPECT_TRUE(s.checked(QStringLiteral("rbOrigin")));
    EXPECT_FALSE(s.checked(QStringLiteral("rbLatLon"))) << "same group";
    EXPECT_FALSE(s.checked(QStringLiteral("rbRandomViewpoint"))) << "same group";
    EXPECT_TRUE(s.checked(QStringLiteral("rbOriginAbove"))) << "the origin side is a group of its own";

    s.setChecked(QStringLiteral("rbOriginBelow"), true);
    EXPECT_FALSE(s.checked(QStringLiteral("rbOriginAbove")));
    EXPECT_TRUE(s.checked(QStringLiteral("rbOrigin"))) << "other group untouched";

    s.setChecked(QStringLiteral("rbHigh"), true);
    EXPECT_FALSE(s.checked(QStringLiteral("rbNormal")));
    EXPECT_TRUE(s.checked(QStringLiteral("rbYes"))) << "autostart group untouched by priority";
}

TEST_F(RadioGroups, SettingFalseOnlyUnchecksThatButton)
{
    s.setChecked(QStringLiteral("rbLatLon"), false);
    EXPECT_FALSE(s.checked(QStringLiteral("rbLatLon"))) << "an auto-exclusive button can be unchecked in code";
    EXPECT_FALSE(s.checked(QStringLiteral("rbOrigin"))) << "nothing else gets checked";
    EXPECT_FALSE(s.checked(QStringLiteral("rbRandomViewpoint")));

    s.setChecked(QStringLiteral("rbIdle"), false);
    EXPECT_TRUE(s.checked(QStringLiteral("rbNormal"))) << "unchecking an unchecked button changes nothing";

    // The user's click still works the usual way afterwards.
    QTest::mouseClick(form.ui()->rbOrigin, Qt::LeftButton);
    EXPECT_TRUE(s.checked(QStringLiteral("rbOrigin")));
    QTest::mouseClick(form.ui()->rbRandomViewpoint, Qt::LeftButton);
    EXPECT_FALSE(s.checked(QStringLiteral("rbOrigin"))) << "still exclusive after being unchecked in code";
}

TEST_F(SettingValues, MemoLinesComeBackAsWritten)
{
    const QList<QStringList> cases = {
        {},
        { "07:30" },
        { "07:30", "19:30" },
        { "07:30", "" },
        { "" },
        { "", "07:30" },
        { "a", "", "b" },
    };
    for (const QStringList& lines : cases) {
        s.setLines(QStringLiteral("mTime"), lines);
        EXPECT_EQ(s.lines(QStringLiteral("mTime")), lines) << lines.join(QLatin1Char('|')).toStdString();
    }
    // What a user types: the break after the last line does not make a line.
    s.setText(QStringLiteral("mTime"), QStringLiteral("07:30\n19:30\n"));
    EXPECT_EQ(s.lines(QStringLiteral("mTime")), (QStringList { "07:30", "19:30" }));
}

TEST_F(SettingValues, ComboTextSelectsOnlyAnExactItem)
{
    s.setText(QStringLiteral("cbProjektion"), QStringLiteral("mercator"));
    EXPECT_EQ(form.ui()->cbProjektion->currentIndex(), 4);
    s.setText(QStringLiteral("cbProjektion"), QStringLiteral("Mercator"));
    EXPECT_EQ(s.text(QStringLiteral("cbProjektion")), QStringLiteral("Mercator")) << "any text is kept";
    EXPECT_EQ(form.ui()->cbProjektion->currentIndex(), -1) << "comparison with case";
    s.setText(QStringLiteral("cbProjektion"), QString());
    EXPECT_EQ(s.text(QStringLiteral("cbProjektion")), QString());

    s.setText(QStringLiteral("cbOrigin"), QStringLiteral("titan"));
    s.setLines(QStringLiteral("cbOrigin"), gw::bodyList());
    EXPECT_EQ(s.text(QStringLiteral("cbOrigin")), QStringLiteral("titan")) << "new items keep the text";
    EXPECT_EQ(s.lines(QStringLiteral("cbOrigin")).size(), 37);
}

TEST_F(SettingValues, CheckListAndListBox)
{
    const QVector<gw::CheckItem> servers
        = { { "a.example", false }, { "b.example", true }, { "", true }, { "a.example", false } };
    s.setCheckItems(QStringLiteral("cbTimeServer"), servers);
    EXPECT_EQ(s.checkItems(QStringLiteral("cbTimeServer")), servers) << "duplicates and empty texts are kept";
    s.setCheckItems(QStringLiteral("cbTimeServer"), {});
    EXPECT_TRUE(s.checkItems(QStringLiteral("cbTimeServer")).isEmpty());

    s.setLines(QStringLiteral("mSatfiles"), { "iss", "", "iss" });
    EXPECT_EQ(s.lines(QStringLiteral("mSatfiles")), (QStringList { "iss", "", "iss" }));
}

TEST_F(SettingValues, GridRowZeroIsTheHeaderRow)
{
    const QString grid = QStringLiteral("sgDownloadFiles");
    EXPECT_EQ(s.rowCount(grid), 50);
    s.setCell(grid, 0, 0, QStringLiteral("Source"));
    EXPECT_EQ(form.ui()->sgDownloadFiles->horizontalHeaderItem(0)->text(), QStringLiteral("Source"));
    EXPECT_EQ(s.cell(grid, 0, 0), QStringLiteral("Source"));
    s.setCell(grid, 1, 49, QStringLiteral("/last"));
    EXPECT_EQ(form.ui()->sgDownloadFiles->item(48, 1)->text(), QStringLiteral("/last"))
        << "row 49 is the last table row";
    EXPECT_EQ(s.cell(grid, 1, 49), QStringLiteral("/last"));
    EXPECT_EQ(s.cell(grid, 1, 48), QString());
    EXPECT_EQ(s.cell(grid, 2, 1), QString()) << "reading outside the grid gives nothing";
    EXPECT_EQ(s.cell(grid, 0, 50), QString());
    EXPECT_THROW(s.setCell(grid, 0, 50, QStringLiteral("x")), gw::Error) << "row 50 does not exist";
    EXPECT_THROW(s.setCell(grid, 2, 1, QStringLiteral("x")), gw::Error) << "column 2 does not exist";
}

TEST_F(SettingValues, IconColourShowsInTheSampleLabel)
{
    s.setInteger(QStringLiteral("ColorDialog"), 0x0080FF); // red 255, green 128, blue 0
    EXPECT_EQ(s.integer(QStringLiteral("ColorDialog")), 0x0080FF);
    EXPECT_EQ(form.ui()->lbIconText->palette().color(QPalette::WindowText), QColor(255, 128, 0));
    s.setInteger(QStringLiteral("BodyColor"), 0xFF0000);
    EXPECT_EQ(form.ui()->lbIconText->palette().color(QPalette::WindowText), QColor(255, 128, 0))
        << "the other colours leave the sample alone";
}

TEST_F(SettingValues, UnknownNamesAndWrongKindsAreErrors)
{
    const QString none = QStringLiteral("cbNoSuchControl");
    EXPECT_THROW(s.checked(none), gw::Error);
    EXPECT_THROW(s.setChecked(none, true), gw::Error);
    EXPECT_THROW(s.text(none), gw::Error);
    EXPECT_THROW(s.setText(none, QString()), gw::Error);
    EXPECT_THROW(s.integer(none), gw::Error);
    EXPECT_THROW(s.setInteger(none, 1), gw::Error);
    EXPECT_THROW(s.lines(none), gw::Error);
    EXPECT_THROW(s.setLines(none, {}), gw::Error);
    EXPECT_THROW(s.checkItems(none), gw::Error);
    EXPECT_THROW(s.cell(none, 0, 1), gw::Error);
    EXPECT_THROW(s.rowCount(none), gw::Error);

    EXPECT_THROW(s.checked(QStringLiteral("edtProxy")), gw::Error) << "an edit field has no check mark";
    EXPECT_THROW(s.integer(QStringLiteral("edtProxyPort")), gw::Error) << "the port is text";
    EXPECT_THROW(s.cell(QStringLiteral("mTime"), 0, 1), gw::Error) << "a memo is no grid";
    try {
        s.text(none);
    } catch (const gw::Error& e) {
        EXPECT_TRUE(e.message().contains(none)) << "the message names the setting";
    }
}

TEST_F(SettingValues, HiddenSettingsHaveNoControl)
{
    s.setText(QStringLiteral("PingServer"), QStringLiteral("#off"));
    EXPECT_EQ(s.text(QStringLiteral("PingServer")), QStringLiteral("#off"));
    s.setInteger(QStringLiteral("DebugLevel"), 3);
    EXPECT_EQ(s.integer(QStringLiteral("DebugLevel")), 3);
    s.setChecked(QStringLiteral("BatteryDetection"), false);
    EXPECT_FALSE(s.checked(QStringLiteral("BatteryDetection")));
}
