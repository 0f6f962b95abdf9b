#include "TestDesktop.h"
#include "support/WaitUntil.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>

#include <cmath>

// Xlib's macros clash with Qt's names: included last.
#include <X11/Xlib.h>

namespace gwe2e {

namespace {
    constexpr int kToolMs = 30000;
} // namespace

TestDesktop::~TestDesktop()
{
    if (m_trayer.state() != QProcess::NotRunning) {
        m_trayer.kill();
        m_trayer.waitForFinished(5000);
    }
    m_xvfb.stop();
}

bool TestDesktop::start()
{
    if (!m_xvfb.start(Width, Height)) {
        m_error = m_xvfb.error();
        return false;
    }
    m_trayer.setProcessEnvironment(environment());
    m_trayer.setStandardOutputFile(QProcess::nullDevice());
    m_trayer.setStandardErrorFile(QProcess::nullDevice());
    m_trayer.start(QStringLiteral("trayer"),
        { QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
            QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--height"), QStringLiteral("24"),
            QStringLiteral("--transparent"), QStringLiteral("false") });
    if (!m_trayer.waitForStarted(kToolMs)) {
        m_error = QStringLiteral("trayer did not start: ") + m_trayer.errorString();
        return false;
    }
    // The notification area is there once someone owns the tray selection of screen 0.
    Display* display = XOpenDisplay(m_xvfb.display().toLatin1().constData());
    if (!display) {
        m_error = QStringLiteral("cannot open the test display");
        return false;
    }
    const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    const bool owned = gwtest::waitUntil([&] { return XGetSelectionOwner(display, selection) != 0; }, kToolMs);
    XCloseDisplay(display);
    if (!owned)
        m_error = QStringLiteral("trayer did not take the tray selection");
    return owned;
}

QProcessEnvironment TestDesktop::environment() const
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("DISPLAY"), m_xvfb.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

bool TestDesktop::run(const QString& program, const QStringList& arguments, QByteArray* output) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(environment());
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, arguments);
    const bool ok = p.waitForFinished(kToolMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output)
        *output = p.readAllStandardOutput();
    return ok;
}

QList<DesktopWindow> TestDesktop::windows(const QString& className) const
{
    QList<DesktopWindow> result;
    QByteArray ids;
    // No match is exit status 1 with no output: an empty list.
    run(QStringLiteral("xdotool"), { QStringLiteral("search"), QStringLiteral("--class"), className }, &ids);
    static const QRegularExpression nameLine(QStringLiteral(R"re(Window id: \S+ "(.*)")re"));
    static const QRegularExpression field(QStringLiteral(R"(^\s*([^:]+):\s*(.*)$)"));
    for (const QByteArray& id : ids.split('\n')) {
        if (id.trimmed().isEmpty())
            continue;
        QByteArray info;
        if (!run(QStringLiteral("xwininfo"), { QStringLiteral("-id"), QString::fromLatin1(id.trimmed()) }, &info))
            continue;
        DesktopWindow w;
        w.id = QString::fromLatin1(id.trimmed());
        int x = 0, y = 0, width = 0, height = 0;
        for (const QString& line : QString::fromUtf8(info).split(QLatin1Char('\n'))) {
            const auto n = nameLine.match(line);
            if (n.hasMatch())
                w.name = n.captured(1);
            const auto f = field.match(line);
            if (!f.hasMatch())
                continue;
            const QString key = f.captured(1).trimmed();
            const QString value = f.captured(2).trimmed();
            if (key == QLatin1String("Absolute upper-left X"))
                x = value.toInt();
            else if (key == QLatin1String("Absolute upper-left Y"))
                y = value.toInt();
            else if (key == QLatin1String("Width"))
                width = value.toInt();
            else if (key == QLatin1String("Height"))
                height = value.toInt();
            else if (key == QLatin1String("Map State"))
                w.viewable = value == QLatin1String("IsViewable");
        }
        w.geometry = QRect(x, y, width, height);
        result << w;
    }
    return result;
}

void TestDesktop::click(const QPoint& at, int button, int repeat) const
{
    QStringList args
        = { QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click") };
    if (repeat > 1)
        args << QStringLiteral("--repeat") << QString::number(repeat) << QStringLiteral("--delay")
             << QStringLiteral("80");
    args << QString::number(button);
    xdotool(args);
}

void TestDesktop::key(const QPoint& pointerAt, const QString& keyName) const
{
    // Without a window manager the keyboard follows the pointer.
    xdotool({ QStringLiteral("mousemove"), QString::number(pointerAt.x()), QString::number(pointerAt.y()),
        QStringLiteral("key"), keyName });
}

bool TestDesktop::blankRoot() const
{
    return run(QStringLiteral("xsetroot"), { QStringLiteral("-solid"), QStringLiteral("black") });
}

namespace pixels {

    namespace {
        template <typename Test> int count(const QImage& image, Test test)
        {
            const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
            int n = 0;
            for (int y = 0; y < rgb.height(); ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
                for (int x = 0; x < rgb.width(); ++x)
                    n += test(qRed(line[x]), qGreen(line[x]), qBlue(line[x])) ? 1 : 0;
            }
            return n;
        }
    } // namespace

    int colours(const QImage& image)
    {
        return gwtest::XvfbServer::colourCount(image);
    }

    int green(const QImage& image)
    {
        return count(image, [](int r, int g, int b) { return g > 180 && r < 90 && b < 90; });
    }

    int red(const QImage& image)
    {
        return count(image, [](int r, int g, int b) { return r > 170 && g < 70 && b < 70; });
    }

    int blue(const QImage& image)
    {
        return count(image, [](int r, int g, int b) { return b > r + 25 && b > g && b > 50; });
    }

    int white(const QImage& image)
    {
        return count(image, [](int r, int g, int b) {
            return r > 170 && g > 170 && b > 170 && std::abs(r - g) < 40 && std::abs(g - b) < 40;
        });
    }

} // namespace pixels

int roundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

} // namespace gwe2e
