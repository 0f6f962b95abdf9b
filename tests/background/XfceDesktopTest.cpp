// Xfce: xfdesktop covers the root window with its own backdrop. With "X root window" the
// render stays hidden behind it; with the automatic choice in an Xfce session the globe is
// what the screen shows.
#include "DesktopRig.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

namespace backgroundtest {
namespace {

    class XfceDesktop : public DesktopRig
    {
    protected:
        void SetUp() override
        {
            DesktopRig::SetUp();
            if (IsSkipped())
                return;
            if (QStandardPaths::findExecutable(QStringLiteral("xfdesktop")).isEmpty())
                GTEST_SKIP() << "xfdesktop4 is not installed";
            ASSERT_TRUE(startDisplay(640, 480)) << xvfb.error().toStdString();
            const QString red = tmp.file(QStringLiteral("red.png"));
            QImage backdrop(64, 64, QImage::Format_RGB32);
            backdrop.fill(Qt::red);
            ASSERT_TRUE(backdrop.save(red));
            ASSERT_EQ(QProcess::execute(QStringLiteral("xfconf-query"),
                          { "-c", "xfce4-desktop", "-p", "/backdrop/screen0/monitorscreen/workspace0/last-image", "-n",
                              "-t", "string", "-s", red }),
                0);
        }
        // xfdesktop with its red backdrop over the whole screen. It maps its desktop window only
        // once a window manager runs (without one the window stays unmapped at 200x200), so
        // xfwm4 comes first, as in a real session.
        void startDesktop()
        {
            if (QStandardPaths::findExecutable(QStringLiteral("xfwm4")).isEmpty())
                GTEST_SKIP() << "xfwm4 is not installed: xfdesktop shows no backdrop without a window manager";
            m_windowManager.start(QStringLiteral("xfwm4"), { QStringLiteral("--compositor=off") });
            ASSERT_TRUE(m_windowManager.waitForStarted(5000));
            m_desktop.start(QStringLiteral("xfdesktop"), {});
            ASSERT_TRUE(waitFor([](const QImage& shot) { return isRed(shot.pixel(320, 240)); }))
                << "xfdesktop did not cover the screen with its red backdrop";
        }
        void TearDown() override
        {
            for (QProcess* p : { &m_desktop, &m_windowManager }) {
                p->kill();
                p->waitForFinished(5000);
            }
            DesktopRig::TearDown();
        }

        // Polls the screen for up to 15 s.
        bool waitFor(const std::function<bool(const QImage&)>& test)
        {
            return gwtest::waitUntil(
                [&] {
                    m_lastShot = xvfb.grabRoot();
                    return !m_lastShot.isNull() && test(m_lastShot);
                },
                15000, 200);
        }
        QString lastImage() const
        {
            return output(QStringLiteral("xfconf-query"),
                { "-c", "xfce4-desktop", "-p", "/backdrop/screen0/monitorscreen/workspace0/last-image" });
        }

        QProcess m_windowManager;
        QProcess m_desktop;
        QImage m_lastShot;
        const gw::MonitorList m_screen = { { QStringLiteral("screen"), QRect(0, 0, 640, 480) } };
    };

    TEST_F(XfceDesktop, AutomaticInAnXfceSessionNamesEachNewPictureInXfconf)
    {
        render.setSessionEnvironment({ QStringLiteral("XFCE"), QStringLiteral("x11"), {}, {}, {} });
        renderTo(QStringLiteral("automatic"), m_screen);
        EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pictures().size(), 1);
        const QString first = pictures().first();
        EXPECT_EQ(lastImage(), first);
        EXPECT_EQ(QImage(first).size(), QSize(640, 480));

        // The next render switches to a new name; the one shown before goes only then.
        renderTo(QStringLiteral("automatic"), m_screen);
        ASSERT_EQ(pictures().size(), 1);
        EXPECT_NE(pictures().first(), first);
        EXPECT_EQ(lastImage(), pictures().first());
    }

    TEST_F(XfceDesktop, TheGlobeReplacesTheBackdropOnTheScreen)
    {
        startDesktop();
        if (IsSkipped() || HasFatalFailure())
            return;
        render.setSessionEnvironment({ QStringLiteral("XFCE"), QStringLiteral("x11"), {}, {}, {} });
        renderTo(QStringLiteral("automatic"), m_screen);
        EXPECT_TRUE(waitFor([](const QImage& shot) { return showsGlobeAt(shot, QRect(0, 0, 640, 480)); }))
            << "the screen still shows the backdrop";
        if (const QString shots = qEnvironmentVariable("GLOBEWALL_SCREENSHOTS"); !shots.isEmpty())
            m_lastShot.save(QDir(shots).filePath(QStringLiteral("xfce.png")));
    }

    TEST_F(XfceDesktop, TheRootWindowStaysHiddenBehindTheBackdrop)
    {
        startDesktop();
        if (IsSkipped() || HasFatalFailure())
            return;
        // What every version before this one did on Xfce: the render succeeds and nobody sees it.
        renderTo(QStringLiteral("X root window"), m_screen);
        QThread::msleep(1000);
        const QImage shot = xvfb.grabRoot();
        EXPECT_TRUE(isRed(shot.pixel(320, 240))) << "xfdesktop's window covers the root window";
        EXPECT_TRUE(pictures().isEmpty());
    }

} // namespace
} // namespace backgroundtest
