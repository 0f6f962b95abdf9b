// LXQt: pcmanfm-qt draws the desktop, here with a red wallpaper over the whole screen; after a
// render the screen shows the globe.
#include "DesktopRig.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace backgroundtest {
namespace {

    class LxqtDesktop : public DesktopRig
    {
    protected:
        void SetUp() override
        {
            DesktopRig::SetUp();
            if (IsSkipped())
                return;
            if (QStandardPaths::findExecutable(QStringLiteral("pcmanfm-qt")).isEmpty())
                GTEST_SKIP() << "pcmanfm-qt is not installed";
            ASSERT_TRUE(startDisplay(640, 480)) << xvfb.error().toStdString();
            const QString red = tmp.file(QStringLiteral("red.png"));
            QImage backdrop(64, 64, QImage::Format_RGB32);
            backdrop.fill(Qt::red);
            ASSERT_TRUE(backdrop.save(red));
            // Its own profile, so the test's settings do not depend on what ran before on the bus.
            const QString config = tmp.file(QStringLiteral("config"));
            gwtest::writeFile(config + QStringLiteral("/pcmanfm-qt/globewall-test/settings.conf"),
                "[Desktop]\nWallpaper=" + QFile::encodeName(red) + "\nWallpaperMode=stretch\n");
            m_desktop.setProcessEnvironment([&] {
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
                env.insert(QStringLiteral("XDG_CACHE_HOME"), tmp.file(QStringLiteral("desktop-cache")));
                env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")); // the tests' own is offscreen
                return env;
            }());
            m_desktop.start(QStringLiteral("pcmanfm-qt"),
                { QStringLiteral("--desktop"), QStringLiteral("--profile=globewall-test") });
            ASSERT_TRUE(waitFor([](const QImage& shot) { return isRed(shot.pixel(320, 240)); }))
                << "pcmanfm-qt did not cover the screen with its red wallpaper";
        }
        void TearDown() override
        {
            m_desktop.kill();
            m_desktop.waitForFinished(5000);
            DesktopRig::TearDown();
        }

        // Polls the screen for up to 15 s.
        bool waitFor(const std::function<bool(const QImage&)>& test)
        {
            return gwtest::waitUntil(
                [&] {
                    const QImage shot = xvfb.grabRoot();
                    return !shot.isNull() && test(shot);
                },
                15000, 200);
        }

        QProcess m_desktop;
    };

    TEST_F(LxqtDesktop, TheGlobeReplacesTheWallpaperOnTheScreen)
    {
        const gw::MonitorList screen = { { QStringLiteral("screen"), QRect(0, 0, 640, 480) } };
        render.setSessionEnvironment({ QStringLiteral("LXQt"), QStringLiteral("x11"), {}, {}, {} });
        renderTo(QStringLiteral("automatic"), screen);
        EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(waitFor([](const QImage& shot) { return showsGlobeAt(shot, QRect(0, 0, 640, 480)); }))
            << "the screen still shows the red wallpaper";
        ASSERT_EQ(pictures().size(), 1);

        // The next render is a new file; the one shown before goes once the desktop took the new one.
        const QString first = pictures().first();
        renderTo(QStringLiteral("LXQt"), screen);
        EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pictures().size(), 1);
        EXPECT_NE(pictures().first(), first);
    }

} // namespace
} // namespace backgroundtest
