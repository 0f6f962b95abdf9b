// The user's command gets one picture per monitor; a desktop that fails leaves one log line,
// the picture shown before, and no new file.
#include "DesktopRig.h"

#include <QElapsedTimer>

namespace backgroundtest {
namespace {

    class CommandAndFault : public DesktopRig
    {
    protected:
        // The most memory this process has held so far.
        static qint64 peakMemoryKiB()
        {
            QFile status(QStringLiteral("/proc/self/status"));
            status.open(QIODevice::ReadOnly);
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("VmHWM:"))
                    return line.mid(6).trimmed().split(' ').first().toLongLong();
            return 0;
        }
    };

    TEST_F(CommandAndFault, TheCommandGetsOneWholePicturePerMonitor)
    {
        const QString shown = tmp.file(QStringLiteral("shown"));
        QDir().mkpath(shown);
        const QString script
            = launchtest::writeScript(tmp.file(QStringLiteral("show")), "cp \"$1\" \"" + shown.toUtf8() + "/$2.png\"");
        settings.setText(QStringLiteral("edtBackgroundCommand"), script + QStringLiteral(" {file} {monitor}"));
        renderTo(QStringLiteral("command"),
            { { QStringLiteral("DP-1"), QRect(0, 0, 400, 300) },
                { QStringLiteral("HDMI-1"), QRect(400, 0, 300, 200) } });
        EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(QImage(shown + QStringLiteral("/DP-1.png")).size(), QSize(400, 300));
        EXPECT_EQ(QImage(shown + QStringLiteral("/HDMI-1.png")).size(), QSize(300, 200));
        EXPECT_TRUE(showsGlobeAt(QImage(shown + QStringLiteral("/HDMI-1.png")), QRect(0, 0, 300, 200)));
        EXPECT_EQ(pictures().size(), 2) << "one picture per monitor stays, the one shown";
    }

    TEST_F(CommandAndFault, APictureFolderWithQuotesAndBlanksInItsPathGetsItsPicture)
    {
        const QString shown = tmp.file(QStringLiteral("shown.png"));
        const QString script
            = launchtest::writeScript(tmp.file(QStringLiteral("show")), "cp \"$1\" \"" + shown.toUtf8() + "\"");
        settings.setText(QStringLiteral("edtBackgroundCommand"), script + QStringLiteral(" {file}"));
        // Home too: -tmpdir names the renderer folder under it.
        render.setHome(tmp.file(QStringLiteral("h\"o me\\")));
        settings.setChecked(QStringLiteral("cbUseTempDir"), true);
        render.setPictureFolder(tmp.file(QStringLiteral("ca\"che \"x\\/Glo\\\"bewall")));
        renderTo(QStringLiteral("command"), { { QStringLiteral("M"), QRect(0, 0, 300, 200) } });
        EXPECT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(showsGlobeAt(QImage(shown), QRect(0, 0, 300, 200)));
    }

    TEST_F(CommandAndFault, AFailureIsOneLogLineAndLeavesThePreviousPicture)
    {
        struct Row
        {
            const char* name;
            const char* choice;
            QString command;
            const char* reason; // in the log line
            bool folderUnwritable = false;
        };
        const Row rows[] = {
            { "service missing", "KDE Plasma", {}, "org.kde.plasmashell is not running on the session bus" },
            { "command exits 1", "command", QStringLiteral("false {file}"), "false exited with code 1" },
            { "command hangs past its limit", "command", QStringLiteral("sleep 30"),
                "sleep did not finish within 1 s" },
            { "no command given", "command", {}, "no command given" },
            { "command prints without end", "command", QStringLiteral("yes {file}"), "yes did not finish within 1 s" },
            { "command says why on its last line", "command",
                QStringLiteral("sh -c \"seq 100000 >&2; echo 'the last word' >&2; exit 3\""),
                "sh exited with code 3: the last word" },
            { "cache folder cannot be written", "Xfce", {}, "cannot create the folder", true },
        };
        render.setApplyTimeLimit(1000);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            log.lines.clear();
            QDir(pictureFolder()).removeRecursively();
            QDir().mkpath(pictureFolder());
            const QString previous
                = tmp.write(QStringLiteral("cache/Globewall/globe_desktop_20260101-000000-000-1.png"), "x");
            if (row.folderUnwritable)
                render.setPictureFolder(
                    tmp.write(QStringLiteral("plain"), "a file, not a folder") + QStringLiteral("/Globewall"));
            settings.setText(QStringLiteral("edtBackgroundCommand"), row.command);

            QElapsedTimer took;
            took.start();
            [[maybe_unused]] const qint64 peakBefore = peakMemoryKiB();
            renderTo(QString::fromLatin1(row.choice), { { QStringLiteral("M"), QRect(0, 0, 320, 200) } });
            EXPECT_LT(took.elapsed(), 8000);
#ifndef __SANITIZE_ADDRESS__ // its quarantine keeps freed memory, so the peak says nothing there
            EXPECT_LT(peakMemoryKiB() - peakBefore, 64 * 1024) << "what the command prints is not all kept";
#endif
            ASSERT_EQ(backgroundLog().size(), 1) << log.lines.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(backgroundLog().first().contains(QString::fromLatin1(row.reason)))
                << backgroundLog().first().toStdString();
            EXPECT_TRUE(backgroundLog().first().contains(QStringLiteral("(") + QString::fromLatin1(row.choice) + ")"));
            EXPECT_EQ(pictures(), QStringList { previous }) << "the picture shown before stays, no new one is left";
            EXPECT_FALSE(state.RenderBusy);
            render.setPictureFolder(pictureFolder());
        }
    }

    TEST_F(CommandAndFault, TheUsersOwnOutputWinsAndIsLoggedOnce)
    {
        settings.setChecked(QStringLiteral("rbStringParameter"), true);
        settings.setText(
            QStringLiteral("edtParameter"), QStringLiteral("-output ") + tmp.file(QStringLiteral("mine.png")));
        renderTo(QStringLiteral("Xfce"), {});
        renderTo(QStringLiteral("Xfce"), {});
        EXPECT_EQ(backgroundLog().size(), 1) << log.lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(QFile::exists(tmp.file(QStringLiteral("mine.png"))));
        EXPECT_FALSE(messages.lines.join(' ').contains(QStringLiteral("-geometry"))) << "nothing appended";
        EXPECT_TRUE(pictures().isEmpty());
    }

} // namespace
} // namespace backgroundtest
