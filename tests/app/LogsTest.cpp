// The transfer log and its file, the message window, and the key filters of the time list
// and the proxy port.
#include "AppRig.h"
#include "app/KeyFilters.h"
#include "app/MessageWindow.h"
#include "app/TransferLog.h"
#include "shared/Error.h"
#include "ui_MainWindow.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct TransferLogFile : ::testing::Test
{
    gwtest::TempDir dir;
    QPlainTextEdit memo;
    QLabel panel;
    gw::TransferLog log { &memo, &panel };
    QString file = dir.file(QStringLiteral("Globewall.log"));

    TransferLogFile() { log.setLogFile(file); }
};

} // namespace

TEST_F(TransferLogFile, FirstLineCreatesTheFileThenLinesAreAppended)
{
    log.setLogFile(QString());
    log.appendLine(QStringLiteral("earlier line")); // logged before the program's folder was known
    log.setLogFile(file);
    log.appendLine(QStringLiteral("07.12.2026 10:00:00 - first"));
    EXPECT_EQ(gwtest::readFile(file), QByteArray("earlier line\n07.12.2026 10:00:00 - first\n"))
        << "a new file gets the whole of this run's log";
    log.appendLine(QStringLiteral("07.12.2026 10:00:05 - second"));
    EXPECT_EQ(gwtest::readFile(file),
        QByteArray("earlier line\n07.12.2026 10:00:00 - first\n07.12.2026 10:00:05 - second\n"));
    EXPECT_EQ(panel.text(), QStringLiteral("07.12.2026 10:00:05 - second")) << "panel 1 shows the last line";
}

TEST_F(TransferLogFile, DeletedFileGetsTheWholeMemoAgain)
{
    log.appendLine(QStringLiteral("one"));
    log.appendLine(QStringLiteral("two"));
    ASSERT_TRUE(QFile::remove(file));
    log.appendLine(QStringLiteral("three"));
    EXPECT_EQ(gwtest::readFile(file), QByteArray("one\ntwo\nthree\n"));
}

TEST_F(TransferLogFile, ExistingFileFromAnEarlierRunIsNeverTruncated)
{
    gwtest::writeFile(file, "yesterday\n");
    log.appendLine(QStringLiteral("today"));
    EXPECT_EQ(gwtest::readFile(file), QByteArray("yesterday\ntoday\n"));
}

TEST_F(TransferLogFile, AMessageWithALineBreakReachesTheFileWhole)
{
    log.appendLine(QStringLiteral("first"));
    log.appendLine(QStringLiteral("status: 404\nNot Found"));
    EXPECT_EQ(gwtest::readFile(file), QByteArray("first\nstatus: 404\nNot Found\n"));
    EXPECT_EQ(panel.text(), QStringLiteral("Not Found"));
}

TEST_F(TransferLogFile, UnwritableFileIsAnErrorNamingItAndTheLineStays)
{
    const QString blocked = dir.write(QStringLiteral("plain"), "not a folder") + QStringLiteral("/Globewall.log");
    log.setLogFile(blocked);
    try {
        log.appendLine(QStringLiteral("kept in the memo"));
        ADD_FAILURE() << "no error raised";
    } catch (const gw::Error& e) {
        EXPECT_TRUE(e.message().contains(blocked)) << e.message().toStdString();
    }
    EXPECT_EQ(log.text(), QStringLiteral("kept in the memo"));
    EXPECT_EQ(panel.text(), QStringLiteral("kept in the memo"));
}

TEST_F(TransferLogFile, TheMemoGetsEachLineOnceWhileItIsOnScreen)
{
    QStringList announced;
    QObject::connect(&log, &gw::TransferLog::lineAppended, [&](const QString& line) { announced << line; });
    struct Step
    {
        const char* append; // null: show or hide the memo instead
        bool visible;
        const char* memoAfter;
    };
    const Step steps[] = {
        { "one", false, "" },
        { "two\r\nthree\rfour", false, "" },
        { nullptr, true, "one\ntwo\nthree\nfour" },
        { "five", true, "one\ntwo\nthree\nfour\nfive" },
        { nullptr, false, "one\ntwo\nthree\nfour\nfive" },
        { "six\nseven", false, "one\ntwo\nthree\nfour\nfive" },
        { nullptr, true, "one\ntwo\nthree\nfour\nfive\nsix\nseven" },
    };
    for (const Step& step : steps) {
        if (step.append)
            log.appendLine(QString::fromUtf8(step.append));
        else
            memo.setVisible(step.visible);
        EXPECT_EQ(memo.toPlainText(), QString::fromUtf8(step.memoAfter)) << (step.append ? step.append : "show/hide");
    }
    EXPECT_EQ(log.text(), QStringLiteral("one\ntwo\nthree\nfour\nfive\nsix\nseven"));
    EXPECT_EQ(gwtest::readFile(file), QByteArray("one\ntwo\nthree\nfour\nfive\nsix\nseven\n"))
        << "the file and the memo hold the same lines";
    EXPECT_EQ(panel.text(), QStringLiteral("seven"));
    EXPECT_EQ(announced, (QStringList { "one", "two\r\nthree\rfour", "five", "six\nseven" })) << "each message whole";
}

TEST(TransferLogOfTheWindow, WritesBesideTheProgram)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    app.transferLog().appendLine(
        QStringLiteral("07.12.2026 10:00:00 - Error. Can not connect to the internet. Waiting for next try."));
    EXPECT_EQ(gwtest::readFile(rig.programFile(QStringLiteral("Globewall.log"))),
        QByteArray("07.12.2026 10:00:00 - Error. Can not connect to the internet. Waiting for next try.\n"));
    EXPECT_TRUE(form.statusText().endsWith(QStringLiteral("Waiting for next try.")));
    EXPECT_TRUE(form.ui()->mTransfer->toPlainText().isEmpty()) << "the page was never opened";
    form.show();
    form.ui()->PageControl->setCurrentWidget(form.ui()->tsDownload);
    EXPECT_TRUE(form.ui()->mTransfer->toPlainText().endsWith(QStringLiteral("Waiting for next try.")));
}

TEST(MessageWindow, KeepsItsContentWhenClosedAndShownAgain)
{
    QWidget main;
    main.setGeometry(100, 100, 481, 582);
    MessageWindow window(&main);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("XPlanet messages"));
    EXPECT_EQ(window.size(), QSize(311, 283));
    window.appendLines({ QStringLiteral("Parameter:"), QStringLiteral("-body earth") });
    window.showWindow();
    EXPECT_TRUE(window.isVisible());
    // Placed before its first show, when its frame is not yet known: within the frame's width.
    EXPECT_LE((window.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(), 8)
        << "centred over the main window";

    window.findChild<QPushButton*>(QStringLiteral("btnCloseDebugWindow"))->click();
    EXPECT_FALSE(window.isVisible());
    window.appendLines({ QStringLiteral("Output:") });
    window.showWindow();
    EXPECT_EQ(window.mDebugOutput()->toPlainText(), QStringLiteral("Parameter:\n-body earth\nOutput:"));
    EXPECT_TRUE(window.mDebugOutput()->isReadOnly());
}

TEST(MessageWindow, MadeAtItsFirstShowWithTheLinesThatCameBefore)
{
    QWidget main;
    MessageWindowOnDemand onDemand(&main);
    onDemand.appendLines({ QStringLiteral("Parameter:") });
    onDemand.appendLines({ QStringLiteral("-body earth") });
    EXPECT_EQ(onDemand.window(), nullptr) << "no window before it is shown";
    onDemand.showWindow();
    ASSERT_NE(onDemand.window(), nullptr);
    EXPECT_TRUE(onDemand.window()->isVisible());
    onDemand.appendLines({ QStringLiteral("Output:") });
    EXPECT_EQ(onDemand.window()->mDebugOutput()->toPlainText(), QStringLiteral("Parameter:\n-body earth\nOutput:"))
        << "the waiting lines first, then the new ones, each once";
    onDemand.close();
    EXPECT_FALSE(onDemand.window()->isVisible());
}

TEST(MessageWindow, RepeatedBlocksWaitingKeepTheirOrderAndEmptyLines)
{
    QWidget main;
    MessageWindowOnDemand onDemand(&main);
    const QStringList a { QStringLiteral("Parameter:"), QStringLiteral("-body earth"), QString() };
    const QStringList b { QStringLiteral("Parameter:"), QStringLiteral("-body mars"), QString() };
    for (const QStringList& block : { a, a, b, a, b, b })
        onDemand.appendLines(block);
    onDemand.showWindow();
    const QString aText = QStringLiteral("Parameter:\n-body earth\n\n");
    const QString bText = QStringLiteral("Parameter:\n-body mars\n\n");
    EXPECT_EQ(onDemand.window()->mDebugOutput()->toPlainText() + QLatin1Char('\n'),
        aText + aText + bText + aText + bText + bText);
}

TEST(MessageWindow, ParkedMainWindowCentresOnTheDesktop)
{
    QWidget main;
    main.setGeometry(100, 2000, 481, 582);
    MessageWindow window(&main);
    window.showWindow();
    EXPECT_TRUE(window.screen()->availableGeometry().contains(window.frameGeometry().center()))
        << "not below the desktop with the parked window";
}

TEST(KeyFilters, TypedCharactersOnly)
{
    struct Case
    {
        const char* label;
        QString typed;
        bool time;
        bool port;
    };
    const Case cases[] = {
        { "digit", QStringLiteral("7"), true, true },
        { "colon", QStringLiteral(":"), true, false },
        { "letter", QStringLiteral("a"), false, false },
        { "minus", QStringLiteral("-"), false, false },
        { "blank", QStringLiteral(" "), false, false },
        { "hash", QStringLiteral("#"), false, false },
        { "backspace", QString(QChar(8)), true, true },
        { "Enter", QString(QChar(13)), true, false },
        { "no text (arrow keys)", QString(), true, true },
        { "Ctrl+V is a command, not text", QString(QChar(22)), true, true },
        { "Escape", QString(QChar(27)), true, true },
        { "non-ASCII digit", QString(QChar(0x0663)), false, false },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gw::mTimeKeyPress(c.typed), c.time) << "time list: " << c.label;
        EXPECT_EQ(gw::edtProxyPortKeyPress(c.typed), c.port) << "proxy port: " << c.label;
    }
}

TEST(KeyFilters, OnTheWindowControls)
{
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    QLineEdit* port = form.ui()->edtProxyPort;
    QTest::keyClicks(port, QStringLiteral("80a8:0"));
    EXPECT_EQ(port->text(), QStringLiteral("8080"));
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(port->text(), QStringLiteral("808"));

    QPlainTextEdit* time = form.ui()->mTime;
    QTest::keyClicks(time, QStringLiteral("07:30x"));
    QTest::keyClick(time, Qt::Key_Return);
    QTest::keyClicks(time, QStringLiteral("19-30"));
    EXPECT_EQ(time->toPlainText(), QStringLiteral("07:30\n1930"));

    app.settings().setText(QStringLiteral("edtProxyPort"), QStringLiteral("http"));
    EXPECT_EQ(port->text(), QStringLiteral("http")) << "text put in by code is not checked";
}
