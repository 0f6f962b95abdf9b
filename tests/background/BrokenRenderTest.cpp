// A render that failed never reaches the desktop: the desktop's command is not run, the
// picture shown before stays, and one log line says why. The full disk is a real one: the
// real xplanet writing into a tiny tmpfs.
#include "DesktopRig.h"

#include <QProcess>

namespace backgroundtest {
namespace {

    class BrokenRender : public DesktopRig
    {
    protected:
        void TearDown() override
        {
            if (!m_mounted.isEmpty())
                QProcess::execute(QStringLiteral("umount"), { m_mounted });
            DesktopRig::TearDown();
        }
        // A tmpfs of `size` over the picture folder; false when the system refuses.
        bool mountTiny(const QString& size)
        {
            QDir().mkpath(pictureFolder());
            if (QProcess::execute(QStringLiteral("mount"),
                    { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                        QStringLiteral("size=") + size, QStringLiteral("tmpfs"), pictureFolder() })
                != 0)
                return false;
            m_mounted = pictureFolder();
            return true;
        }
        QString m_mounted;
    };

    TEST_F(BrokenRender, IsNotHandedToTheDesktopAndThePreviousPictureStays)
    {
        struct Row
        {
            const char* name;
            const char* reason; // in the log line
            const char* projection = "orthographic";
            bool fullDisk = false;
            QByteArray fake; // a stand-in renderer: the shell lines that write "$out"
        };
        const QString small = tmp.file(QStringLiteral("small.png"));
        QImage(32, 16, QImage::Format_RGB32).save(small);
        const QString whole = tmp.file(QStringLiteral("whole.png"));
        QImage(640, 480, QImage::Format_RGB32).save(whole);
        const Row rows[] = {
            { "the renderer exits 1", "the renderer exited with code 1", "nonesuch", false, {} },
            // xplanet aborts when libpng cannot write, leaving the first 64 KiB.
            { "the disk is full", "the renderer ended abnormally", "orthographic", true, {} },
            { "a picture cut short", "not whole: cut short after 100 bytes", "orthographic", false,
                "head -c 100 \"" + whole.toUtf8() + "\" > \"$out\"" },
            { "a picture of another size", "not whole: 32x16 pixels instead of 640x480", "orthographic", false,
                "cp \"" + small.toUtf8() + "\" \"$out\"" },
            { "a picture with something after its end", "not whole: data after the picture's end", "orthographic",
                false, "cat \"" + whole.toUtf8() + "\" \"" + whole.toUtf8() + "\" > \"$out\"" },
        };
        const QString shown = tmp.file(QStringLiteral("shown"));
        settings.setText(QStringLiteral("edtBackgroundCommand"),
            launchtest::writeScript(tmp.file(QStringLiteral("show")), "echo \"$1\" >> \"" + shown.toUtf8() + "\"")
                + QStringLiteral(" {file}"));
        const QString xplanet = settings.text(QStringLiteral("edtAppFile"));
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            if (row.fullDisk && !mountTiny(QStringLiteral("64k"))) {
                std::cout << "tmpfs cannot be mounted here; the full disk is not tried\n";
                continue;
            }
            log.lines.clear();
            QDir().mkpath(pictureFolder());
            const QString previous
                = tmp.write(QStringLiteral("cache/Globewall/globe_M_20260101-000000-000-1.png"), "x");
            settings.setText(QStringLiteral("cbProjektion"), QString::fromLatin1(row.projection));
            settings.setText(QStringLiteral("edtAppFile"),
                row.fake.isEmpty()
                    ? xplanet
                    : launchtest::writeScript(tmp.file(QStringLiteral("bin/xplanet")),
                        "while [ $# -gt 1 ]; do [ \"$1\" = -output ] && out=$2; shift; done\n" + row.fake));
            renderTo(QStringLiteral("command"), { { QStringLiteral("M"), QRect(0, 0, 640, 480) } });
            ASSERT_EQ(backgroundLog().size(), 1) << log.lines.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(backgroundLog().first().contains(QString::fromLatin1(row.reason)))
                << backgroundLog().first().toStdString();
            EXPECT_FALSE(QFile::exists(shown)) << "the desktop got no picture";
            EXPECT_EQ(pictures(), QStringList { previous }) << "the picture shown before stays, the broken one goes";
            if (!m_mounted.isEmpty()) {
                QProcess::execute(QStringLiteral("umount"), { m_mounted });
                m_mounted.clear();
            }
        }
    }

} // namespace
} // namespace backgroundtest
