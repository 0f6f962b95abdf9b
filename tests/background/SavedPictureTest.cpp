// "Save the output image file": each rendered picture is kept as xplanet.png (one per monitor
// where there are several) in the folder xplanet would have used, and the tray is told which
// file the desktop shows.
#include "DesktopRig.h"

#include <QSignalSpy>

namespace backgroundtest {
namespace {

    class SavedPicture : public DesktopRig
    {
    protected:
        void SetUp() override
        {
            DesktopRig::SetUp();
            settings.setChecked(QStringLiteral("cbSaveDesktopFile"), true);
            settings.setText(QStringLiteral("edtBackgroundCommand"),
                launchtest::writeScript(tmp.file(QStringLiteral("show")), "exit 0") + QStringLiteral(" {file}"));
        }
    };

    TEST_F(SavedPicture, EachPictureIsKeptWhereTheRendererWouldHaveLeftIt)
    {
        const QString mine = tmp.file(QStringLiteral("my pictures"));
        struct Row
        {
            const char* name;
            gw::MonitorList monitors;
            QString ownParameters;
            QStringList kept; // relative to the renderer folder, or absolute
        };
        const Row rows[] = {
            { "one monitor", { { QStringLiteral("DP-1"), QRect(0, 0, 320, 200) } }, {}, { "xplanet.png" } },
            { "two monitors, one each",
                { { QStringLiteral("DP-1"), QRect(0, 0, 320, 200) },
                    { QStringLiteral("HDMI-1"), QRect(320, 0, 200, 160) } },
                {}, { "xplanet-DP-1.png", "xplanet-HDMI-1.png" } },
            { "the user's own -tmpdir", { { QStringLiteral("DP-1"), QRect(0, 0, 320, 200) } },
                QStringLiteral("-tmpdir \"") + mine + QLatin1Char('"'), { mine + QStringLiteral("/xplanet.png") } },
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            settings.setChecked(QStringLiteral("rbStringParameter"), !row.ownParameters.isEmpty());
            settings.setText(QStringLiteral("edtParameter"), row.ownParameters);
            QSignalSpy told(&render, &gw::RenderControl::pictureFilesChanged);
            renderTo(QStringLiteral("command"), row.monitors);
            EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
            QStringList expected;
            for (const QString& k : row.kept)
                expected << (k.startsWith(QLatin1Char('/')) ? k : rendererFolder() + k);
            for (qsizetype i = 0; i < expected.size(); ++i)
                EXPECT_EQ(QImage(expected[i]).size(), row.monitors[i].geometry.size()) << expected[i].toStdString();
            ASSERT_EQ(told.size(), 1);
            EXPECT_EQ(told.first().first().toStringList(), expected) << "the tray opens the kept copies";
        }
    }

    TEST_F(SavedPicture, OnBareXTheRootWindowIsSetFromTheKeptPicture)
    {
        ASSERT_TRUE(startDisplay(480, 360)) << xvfb.error().toStdString();
        renderTo(QStringLiteral("X root window"), { { QStringLiteral("screen"), QRect(0, 0, 480, 360) } });
        EXPECT_EQ(QImage(rendererFolder() + QStringLiteral("xplanet.png")).size(), QSize(480, 360));
        EXPECT_TRUE(showsGlobeAt(xvfb.grabRoot(), QRect(0, 0, 480, 360)));
        EXPECT_TRUE(pictures().isEmpty()) << "the root pixmap holds the picture; the cache keeps none";
    }

} // namespace
} // namespace backgroundtest
