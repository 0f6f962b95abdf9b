#include "DesktopRig.h"
#include "support/PrivateBus.h"
#include "support/WaitUntil.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <optional>

namespace backgroundtest {

namespace {

    // One bus for the test process: Qt keeps its session connection for the life of a process.
    // Its services (xfconfd, dconf) keep their files in folders of their own.
    class ProcessBus
    {
    public:
        static bool ensure()
        {
            static ProcessBus bus;
            return bus.m_bus->started();
        }
        ~ProcessBus()
        {
            m_bus.reset();
            // xfconfd saves its channels as the bus goes away: remove the folder after it did.
            QThread::msleep(300);
            gwtest::waitUntil([this] { return m_root.remove(); }, 2000, 100);
        }

    private:
        ProcessBus()
        {
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_root.filePath(QStringLiteral("config"))));
            qputenv("XDG_DATA_HOME", QFile::encodeName(m_root.filePath(QStringLiteral("data"))));
            const QString runtime = m_root.filePath(QStringLiteral("run"));
            QDir().mkpath(runtime);
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
            m_bus.emplace();
            qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->address().toLocal8Bit());
        }
        QTemporaryDir m_root;
        std::optional<gwtest::PrivateBus> m_bus;
    };

} // namespace

void DesktopRig::SetUp()
{
    RenderFixture::SetUp();
    if (!ProcessBus::ensure())
        GTEST_SKIP() << "dbus-daemon did not start";
    const QString xplanet = QStandardPaths::findExecutable(QStringLiteral("xplanet"));
    if (xplanet.isEmpty())
        GTEST_SKIP() << "xplanet is not installed";
    settings.setText(QStringLiteral("edtAppFile"), xplanet);
    settings.setChecked(QStringLiteral("cbHideApp"), true);
    settings.setText(QStringLiteral("ddbViewBody"), QStringLiteral("earth"));
    // Seen from the sun the globe is lit whatever the hour of the test.
    settings.setChecked(QStringLiteral("rbOrigin"), true);
    settings.setText(QStringLiteral("cbOrigin"), QStringLiteral("sun"));
    render.setPictureFolder(pictureFolder());
    render.setSessionEnvironment({});
}

void DesktopRig::TearDown()
{
    qunsetenv("DISPLAY");
    RenderFixture::TearDown();
}

bool DesktopRig::startDisplay(int width, int height)
{
    if (!xvfb.start(width, height))
        return false;
    qputenv("DISPLAY", xvfb.display().toLatin1());
    return true;
}

gw::MonitorList DesktopRig::splitDisplay()
{
    gw::MonitorList monitors;
    if (!startDisplay(800, 300)
        || QProcess::execute(QStringLiteral("xrandr"), { "--setmonitor", "left", "400/100x300/80+0+0", "screen" }) != 0
        || QProcess::execute(QStringLiteral("xrandr"), { "--setmonitor", "right", "400/100x300/80+400+0", "none" })
            != 0)
        return monitors;
    // "0: +*left 400/100x300/80+0+0  screen"
    static const QRegularExpression line(
        QStringLiteral("\\d+: \\+?\\*?(\\S+) (\\d+)/\\d+x(\\d+)/\\d+\\+(\\d+)\\+(\\d+)"));
    for (const QString& text : output(QStringLiteral("xrandr"), { QStringLiteral("--listmonitors") }).split('\n')) {
        const QRegularExpressionMatch m = line.match(text);
        if (m.hasMatch())
            monitors.push_back({ m.captured(1),
                QRect(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(2).toInt(), m.captured(3).toInt()) });
    }
    return monitors;
}

void DesktopRig::renderTo(const QString& choice, const gw::MonitorList& monitors)
{
    settings.setText(QStringLiteral("ddbDesktopBackground"), choice);
    render.setMonitorSource([monitors] { return monitors; });
    render.btnExecuteClick();
}

QStringList DesktopRig::pictures() const
{
    QStringList files;
    const QDir dir(pictureFolder());
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

QStringList DesktopRig::backgroundLog() const
{
    return log.lines.filter(QStringLiteral("Desktop background"));
}

QString DesktopRig::output(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
}

bool showsGlobeAt(const QImage& image, const QRect& monitor)
{
    if (image.isNull() || !image.rect().contains(monitor))
        return false;
    const QRgb centre = image.pixel(monitor.center());
    if (isRed(centre) || std::max({ qRed(centre), qGreen(centre), qBlue(centre) }) < 30)
        return false;
    // Space in each corner (a star or two allowed): the globe is whole, not cut by the edge.
    const QRect inner = monitor.adjusted(0, 0, -6, -6);
    for (const QPoint corner : { inner.topLeft(), inner.topRight(), inner.bottomLeft(), inner.bottomRight() }) {
        int dark = 0;
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x)
                dark += qGray(image.pixel(corner + QPoint(x, y))) <= 20;
        if (dark < 30)
            return false;
    }
    QSet<QRgb> colours;
    for (int y = monitor.top(); y <= monitor.bottom(); y += 2)
        for (int x = monitor.left(); x <= monitor.right(); x += 2)
            colours.insert(image.pixel(x, y));
    return colours.size() > 100;
}

} // namespace backgroundtest
