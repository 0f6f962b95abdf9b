// Every page of the window at the scales and screens users have: at each, the test runs itself
// again under that scale (Qt reads it once, at start) on an offscreen screen of that size.
// With GW_SCREENSHOT_DIR set, the pages are also saved as pictures there (docs/screenshots).
#include "AppRig.h"
#include "app/MessageWindow.h"
#include "app/TransferLog.h"
#include "support/TempDir.h"
#include "ui_MainWindow.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <map>

namespace {

// The controls a user sees on `page`: named by the form, not Qt's own inner parts.
QList<QWidget*> visibleControls(QWidget* page)
{
    QList<QWidget*> out;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (w->isVisible() && !name.isEmpty() && !name.startsWith(QLatin1String("qt_")))
            out << w;
    }
    return out;
}

// What is wrong with the page as shown: controls on top of each other, below their least size
// or reaching out of what holds them. A scroll area's contents reach beyond its view by design.
QStringList layoutFaults(QWidget* page)
{
    QStringList faults;
    const QList<QWidget*> controls = visibleControls(page);
    std::map<QWidget*, QList<QWidget*>> byParent;
    for (QWidget* c : controls) {
        byParent[c->parentWidget()] << c;
        // As a layout counts it: a minimum the form sets replaces the control's own hint, and the
        // form's maximum (a "..." button, a two-line field) wins.
        const QSize hint = c->minimumSizeHint();
        const QSize set = c->minimumSize();
        const QSize least
            = QSize(set.width() > 0 ? set.width() : hint.width(), set.height() > 0 ? set.height() : hint.height())
                  .boundedTo(c->maximumSize());
        const int height
            = c->hasHeightForWidth() ? qMax(least.height(), c->heightForWidth(c->width())) : least.height();
        if (least.isValid() && (c->width() < least.width() || c->height() < height))
            faults << QStringLiteral("%1 is %2x%3, less than its least %4x%5")
                          .arg(c->objectName())
                          .arg(c->width())
                          .arg(c->height())
                          .arg(least.width())
                          .arg(height);
        const QWidget* holder = c->parentWidget();
        if (holder->objectName() != QLatin1String("qt_scrollarea_viewport") && !holder->rect().contains(c->geometry()))
            faults << c->objectName() + QStringLiteral(" is cut by ") + holder->objectName();
    }
    for (const auto& [parent, siblings] : byParent)
        for (int i = 0; i < siblings.size(); ++i)
            for (int j = i + 1; j < siblings.size(); ++j)
                if (siblings[i]->geometry().intersects(siblings[j]->geometry()))
                    faults << siblings[i]->objectName() + QStringLiteral(" overlaps ") + siblings[j]->objectName();
    return faults;
}

bool atNewestLine(QPlainTextEdit* memo)
{
    const QScrollBar* bar = memo->verticalScrollBar();
    return bar->maximum() > 0 && bar->value() == bar->maximum();
}

} // namespace

// One scale, as run by the test below; skipped when run on its own.
TEST(PageLayoutAtOneScale, EveryPageIsReadable)
{
    const QString scale = qEnvironmentVariable("GW_LAYOUT_SCALE");
    if (scale.isEmpty())
        GTEST_SKIP() << "run at each scale by PageLayout.EveryPageIsReadableAtEveryScale";
    const QString shots = qEnvironmentVariable("GW_SCREENSHOT_DIR");
    gwtest::AppRig rig;
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    for (int i = 1; i <= 200; ++i)
        app.transferLog().appendLine(QStringLiteral("line %1").arg(i));
    app.Timer2Timer();
    QCoreApplication::processEvents();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(form.frameGeometry()))
        << "window " << form.width() << "x" << form.height() << " on " << screen.width() << "x" << screen.height();

    Ui::MainWindow* ui = form.ui();
    std::vector<std::pair<QTabWidget*, int>> pages;
    for (int i = 0; i < ui->PageControl->count(); ++i)
        if (ui->PageControl->widget(i) != ui->tsParameter)
            pages.emplace_back(ui->PageControl, i);
    for (int i = 0; i < ui->PageControlParameter->count(); ++i)
        pages.emplace_back(ui->PageControlParameter, i);
    for (const auto& [tabs, index] : pages) {
        ui->PageControl->setCurrentWidget(tabs == ui->PageControl ? tabs->widget(index) : ui->tsParameter);
        tabs->setCurrentIndex(index);
        QCoreApplication::processEvents();
        QWidget* page = tabs->currentWidget();
        const QStringList faults = layoutFaults(page);
        EXPECT_TRUE(faults.isEmpty()) << page->objectName().toStdString() << ":\n"
                                      << faults.join(QLatin1Char('\n')).toStdString();
        if (!shots.isEmpty()) {
            QDir().mkpath(shots);
            form.grab().save(shots + QStringLiteral("/%1-%2.png").arg(page->objectName(), scale));
        }
    }

    ui->PageControl->setCurrentWidget(ui->tsDownload);
    QCoreApplication::processEvents();
    QTableWidget* grid = ui->sgDownloadFiles;
    EXPECT_GE(grid->viewport()->height(), 4 * grid->verticalHeader()->defaultSectionSize())
        << "four whole rows of the download table";
    EXPECT_TRUE(atNewestLine(ui->mTransfer)) << "the download log at its newest line";

    QStringList block;
    for (int i = 1; i <= 200; ++i)
        block << QStringLiteral("renderer line %1").arg(i);
    app.messageWindow().appendLines(block);
    app.messageWindow().showWindow();
    QCoreApplication::processEvents();
    ASSERT_NE(app.messageWindow().window(), nullptr);
    auto* messages = app.messageWindow().window()->findChild<QPlainTextEdit*>(QStringLiteral("mDebugOutput"));
    ASSERT_NE(messages, nullptr);
    EXPECT_TRUE(atNewestLine(messages)) << "the message window at its newest line";
}

TEST(PageLayout, EveryPageIsReadableAtEveryScale)
{
    struct Case
    {
        const char* label;
        QSize screen;
        const char* factor;
        const char* scale; // names the screenshots
        bool screenshot;
    };
    const Case cases[] = {
        { "1920x1080 at 100 %", { 1920, 1080 }, "1", "100", true },
        { "1920x1080 at 125 %", { 1920, 1080 }, "1.25", "125", false },
        { "1920x1080 at 150 %", { 1920, 1080 }, "1.5", "150", false },
        { "1920x1080 at 200 %", { 1920, 1080 }, "2", "200", true },
        { "1024x768 at 100 %", { 1024, 768 }, "1", "100-small", false },
    };
    gwtest::TempDir dir;
    for (const Case& c : cases) {
        const QString screens = dir.write(QStringLiteral("%1.json").arg(QString::fromLatin1(c.scale)),
            QStringLiteral("{ \"screens\": [ { \"name\": \"DP-1\", \"x\": 0, \"y\": 0, \"width\": %1, \"height\": %2, "
                           "\"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1 } ] }")
                .arg(c.screen.width())
                .arg(c.screen.height())
                .toUtf8());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + screens);
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(c.factor));
        env.insert(QStringLiteral("GW_LAYOUT_SCALE"), QString::fromLatin1(c.scale));
        if (!c.screenshot)
            env.remove(QStringLiteral("GW_SCREENSHOT_DIR"));
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--gtest_filter=PageLayoutAtOneScale.EveryPageIsReadable") });
        ASSERT_TRUE(child.waitForFinished(120000)) << c.label;
        const QByteArray out = child.readAll();
        EXPECT_EQ(child.exitCode(), 0) << c.label << "\n" << out.toStdString();
        EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << c.label << "\n" << out.toStdString();
    }
}
