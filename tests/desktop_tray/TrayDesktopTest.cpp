// The real tray icon on a private X server with trayer as the notification area: embedded,
// visible, and answering clicks made with xdotool as a person would make them. And the same
// icon where a StatusNotifier host is on the session bus, clicked through its D-Bus methods.
#include "StatusNotifierWatcher.h"
#include "desktop/TrayHandlers.h"
#include "support/WaitUntil.h"
#include "support/XvfbFixture.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

// Xlib's macros clash with Qt's names: included last.
#include <X11/Xlib.h>

using gwtest::XvfbServer;

namespace {

constexpr int kWaitMs = 15000;

struct HostState
{
    bool valid = false;
    bool enabled = false;
    int frame = -2;
    bool windowShown = false;
    bool menuShown = false;
    QRect icon;
    QPoint pos;
    bool clickTimer = false; // the double-click time of the last click is still running
    bool screensaver = false;
};

HostState parseState(const QString& line)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^enabled=(\d) frame=(-?\d+) window=(\w+) menu=(\w+) icon=(-?\d+),(-?\d+),(\d+),(\d+) pos=(-?\d+),(-?\d+) timer=(\d) saver=(\d)$)"));
    const auto m = re.match(line);
    HostState s;
    if (!m.hasMatch())
        return s;
    s.valid = true;
    s.enabled = m.captured(1) == QLatin1String("1");
    s.frame = m.captured(2).toInt();
    s.windowShown = m.captured(3) == QLatin1String("shown");
    s.menuShown = m.captured(4) == QLatin1String("shown");
    s.icon = QRect(m.captured(5).toInt(), m.captured(6).toInt(), m.captured(7).toInt(), m.captured(8).toInt());
    s.pos = QPoint(m.captured(9).toInt(), m.captured(10).toInt());
    s.clickTimer = m.captured(11) == QLatin1String("1");
    s.screensaver = m.captured(12) == QLatin1String("1");
    return s;
}

class TrayDesktop : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_xvfb = new XvfbServer;
        if (!s_xvfb->start(1024, 768)) {
            s_setupError = s_xvfb->error();
            return;
        }
        s_trayer = new QProcess;
        s_trayer->setProcessEnvironment(environment());
        s_trayer->setStandardOutputFile(QProcess::nullDevice());
        s_trayer->setStandardErrorFile(QProcess::nullDevice());
        s_trayer->start(QStringLiteral("trayer"),
            { QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--height"),
                QStringLiteral("24"), QStringLiteral("--transparent"), QStringLiteral("false") });
        if (!s_trayer->waitForStarted(kWaitMs)) {
            s_setupError = QStringLiteral("trayer did not start: ") + s_trayer->errorString();
            return;
        }
        // The notification area is there once someone owns the tray selection of screen 0.
        Display* display = XOpenDisplay(s_xvfb->display().toLatin1().constData());
        if (!display) {
            s_setupError = QStringLiteral("cannot open the test display");
            return;
        }
        const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
        const bool owned = gwtest::waitUntil([&] { return XGetSelectionOwner(display, selection) != 0; }, kWaitMs);
        XCloseDisplay(display);
        if (!owned)
            s_setupError = QStringLiteral("trayer did not take the tray selection");
    }

    static void TearDownTestSuite()
    {
        if (s_trayer) {
            s_trayer->kill();
            s_trayer->waitForFinished(5000);
        }
        delete s_trayer;
        s_trayer = nullptr;
        delete s_xvfb;
        s_xvfb = nullptr;
    }

    static QProcessEnvironment environment()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), s_xvfb->display());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // Without a session bus the tray icon is embedded by the X11 protocol that trayer speaks.
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        return env;
    }

    void SetUp() override { ASSERT_TRUE(s_setupError.isEmpty()) << s_setupError.toStdString(); }

    void TearDown() override
    {
        if (m_host.state() != QProcess::NotRunning) {
            m_host.write("quit\n");
            m_host.waitForBytesWritten(5000);
            if (!m_host.waitForFinished(5000)) {
                m_host.kill();
                m_host.waitForFinished(5000);
            }
        }
    }

    // `sessionBus`: the host runs on that session bus instead of none.
    bool startHost(const QStringList& arguments = {}, const QString& sessionBus = {})
    {
        QProcessEnvironment env = environment();
        if (!sessionBus.isEmpty()) {
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionBus);
            env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
        }
        m_host.setProcessEnvironment(env);
        m_host.setProcessChannelMode(QProcess::SeparateChannels);
        m_host.setStandardErrorFile(QProcess::nullDevice());
        m_host.start(QStringLiteral(GW_TRAY_HOST), arguments);
        if (!m_host.waitForStarted(kWaitMs))
            return false;
        if (!sessionBus.isEmpty()) // a StatusNotifierItem has no place on this screen
            return waitFor([](const HostState&) { return true; });
        // Embedded: the icon has a place on the screen.
        return waitFor([](const HostState& s) { return s.icon.width() > 0 && s.icon.height() > 0; });
    }

    // Reads the host's state lines until `done` holds for the latest one, within a bound.
    bool waitFor(const std::function<bool(const HostState&)>& done, int timeoutMs = kWaitMs)
    {
        bool hostEnded = false;
        const bool held = gwtest::waitUntil(
            [&] {
                if (m_state.valid && done(m_state))
                    return true;
                if (m_host.state() != QProcess::Running)
                    return hostEnded = true;
                if (!m_host.canReadLine())
                    m_host.waitForReadyRead(100);
                while (m_host.canReadLine()) {
                    const HostState s = parseState(QString::fromLatin1(m_host.readLine()).trimmed());
                    if (s.valid)
                        m_state = s;
                }
                return false;
            },
            timeoutMs);
        return held && !hostEnded;
    }

    bool xdotool(const QStringList& arguments)
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral("xdotool"), arguments);
        return p.waitForFinished(kWaitMs) && p.exitCode() == 0;
    }

    QStringList clickArgs(int button, int repeat = 1)
    {
        const QPoint c = m_state.icon.center();
        QStringList args
            = { QStringLiteral("mousemove"), QString::number(c.x()), QString::number(c.y()), QStringLiteral("click") };
        if (repeat > 1)
            args << QStringLiteral("--repeat") << QString::number(repeat) << QStringLiteral("--delay")
                 << QStringLiteral("80");
        args << QString::number(button);
        return args;
    }

    QImage iconOnScreen() { return s_xvfb->grabRoot().copy(m_state.icon); }

    static inline XvfbServer* s_xvfb = nullptr;
    static inline QProcess* s_trayer = nullptr;
    static inline QString s_setupError;
    QProcess m_host;
    HostState m_state;
};

int bluish(const QImage& img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            n += (qBlue(p) > qRed(p) + 50 && qBlue(p) > 100) ? 1 : 0;
        }
    return n;
}

int reddish(const QImage& img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            n += (qRed(p) > 170 && qGreen(p) < 70 && qBlue(p) < 70) ? 1 : 0;
        }
    return n;
}

} // namespace

TEST_F(TrayDesktop, IconIsEmbeddedAndVisible)
{
    ASSERT_TRUE(startHost()) << "the tray icon was not embedded";
    QProcess search;
    search.setProcessEnvironment(environment());
    search.start(QStringLiteral("xdotool"),
        { QStringLiteral("search"), QStringLiteral("--class"), QStringLiteral("Globewall") });
    ASSERT_TRUE(search.waitForFinished(kWaitMs));
    EXPECT_FALSE(search.readAllStandardOutput().trimmed().isEmpty()) << "xdotool finds the icon's window";

    const QImage icon = iconOnScreen();
    ASSERT_FALSE(icon.isNull());
    EXPECT_GT(XvfbServer::colourCount(icon), 20) << "a picture, not a plain square";
    EXPECT_GT(bluish(icon), icon.width() * icon.height() / 6) << "the globe is on the screen";
    EXPECT_EQ(reddish(icon), 0);
}

TEST_F(TrayDesktop, SingleClickTogglesTheMasterSwitch)
{
    ASSERT_TRUE(startHost());
    ASSERT_TRUE(m_state.enabled);
    ASSERT_TRUE(xdotool(clickArgs(1)));
    ASSERT_TRUE(waitFor([](const HostState& s) { return !s.enabled; })) << "no toggle after a single click";
    EXPECT_EQ(m_state.frame, 25);
    EXPECT_TRUE(m_state.windowShown) << "a single click leaves the window alone";
    EXPECT_GT(reddish(iconOnScreen()), 10) << "the crossed globe is on the screen";

    ASSERT_TRUE(xdotool(clickArgs(1)));
    ASSERT_TRUE(waitFor([](const HostState& s) { return s.enabled; }));
    EXPECT_EQ(m_state.frame, 0);
}

TEST_F(TrayDesktop, DoubleClickHidesAndShowsTheWindowWithoutToggling)
{
    ASSERT_TRUE(startHost());
    ASSERT_TRUE(m_state.windowShown);
    ASSERT_TRUE(xdotool(clickArgs(1, 2)));
    ASSERT_TRUE(waitFor([](const HostState& s) { return !s.windowShown; })) << "visible window not sent to the tray";

    ASSERT_TRUE(xdotool(clickArgs(1, 2)));
    ASSERT_TRUE(waitFor([](const HostState& s) { return s.windowShown; })) << "window not shown from the tray";
    ASSERT_TRUE(waitFor([](const HostState& s) { return !s.clickTimer; }));
    EXPECT_TRUE(m_state.enabled) << "a double click does not toggle";
    // A single click once the double-click time has run out does.
    ASSERT_TRUE(xdotool(clickArgs(1)));
    ASSERT_TRUE(waitFor([](const HostState& s) { return !s.enabled; }));
    EXPECT_TRUE(m_state.windowShown);
}

TEST_F(TrayDesktop, DoubleClickCentresAWindowParkedBelowTheDesktop)
{
    ASSERT_TRUE(startHost({ QStringLiteral("--parked") }));
    ASSERT_FALSE(m_state.windowShown);
    ASSERT_TRUE(xdotool(clickArgs(1, 2)));
    ASSERT_TRUE(waitFor([](const HostState& s) { return s.windowShown; }));
    EXPECT_EQ(m_state.pos, gw::centredTopLeft(QRect(0, 0, 1024, 768), QSize(300, 200)));
    EXPECT_TRUE(m_state.enabled);
}

TEST_F(TrayDesktop, RightClickOpensTheMenu)
{
    ASSERT_TRUE(startHost());
    ASSERT_TRUE(xdotool(clickArgs(3)));
    ASSERT_TRUE(waitFor([](const HostState& s) { return s.menuShown; })) << "no menu after a right click";
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Escape") }));
    ASSERT_TRUE(waitFor([](const HostState& s) { return !s.menuShown; }));
    EXPECT_TRUE(m_state.enabled) << "a right click does not toggle";
    EXPECT_TRUE(m_state.windowShown);
}

TEST_F(TrayDesktop, TheGlobeTurnsWhileAnimating)
{
    ASSERT_TRUE(startHost());
    const QImage still = iconOnScreen();
    m_host.write("animate on\n");
    m_host.waitForBytesWritten(kWaitMs);
    // Bounded number of looks: a turning globe shows a different picture within a few.
    bool changed = false;
    for (int i = 0; i < 20 && !changed; ++i)
        changed = iconOnScreen() != still;
    m_host.write("animate off\n");
    m_host.waitForBytesWritten(kWaitMs);
    EXPECT_TRUE(changed) << "the icon never changed while animating";
}

// The scheduler's screensaver question on a real X server, answered from its notify events.
TEST_F(TrayDesktop, ScreensaverStateFollowsTheServer)
{
    ASSERT_TRUE(startHost());
    EXPECT_FALSE(m_state.screensaver);
    const auto xset = [this](const char* what) {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral("xset"), { QStringLiteral("s"), QString::fromLatin1(what) });
        return p.waitForFinished(kWaitMs) && p.exitCode() == 0;
    };
    ASSERT_TRUE(xset("activate"));
    EXPECT_TRUE(waitFor([](const HostState& s) { return s.screensaver; })) << "xset s activate not seen";
    ASSERT_TRUE(xset("reset"));
    EXPECT_TRUE(waitFor([](const HostState& s) { return !s.screensaver; })) << "xset s reset not seen";
}

// Where a StatusNotifier host is present, Qt shows the icon as a StatusNotifierItem even with
// an X11 notification area on the screen: a click (Activate) shows or hides the window, a middle
// click (SecondaryActivate) switches the program off and on, the menu is the host's to show.
TEST_F(TrayDesktop, StatusNotifierHostClicks)
{
    StatusNotifierWatcher watcher;
    ASSERT_TRUE(watcher.ready()) << "no private bus with a watcher";
    ASSERT_TRUE(startHost({}, watcher.address()));
    ASSERT_TRUE(gwtest::waitUntil([&] { return !watcher.registeredItems().isEmpty(); }, kWaitMs))
        << "the icon was not registered as a StatusNotifierItem";
    EXPECT_EQ(watcher.registeredItems().size(), 1);
    EXPECT_FALSE(watcher.itemProperty("Menu").isNull()) << "the menu is offered to the host";
    ASSERT_TRUE(m_state.windowShown && m_state.enabled);

    struct Step
    {
        const char* method;
        bool windowShown;
        bool enabled;
        int frame;
    };
    const Step steps[] = {
        { "Activate", false, true, 0 },
        { "Activate", true, true, 0 },
        { "SecondaryActivate", true, false, 25 },
        { "SecondaryActivate", true, true, 0 },
    };
    for (const Step& s : steps) {
        ASSERT_TRUE(watcher.call(QString::fromLatin1(s.method))) << s.method;
        EXPECT_TRUE(waitFor([&s](const HostState& h) {
            return h.windowShown == s.windowShown && h.enabled == s.enabled && h.frame == s.frame;
        })) << s.method
            << ": window " << m_state.windowShown << " enabled " << m_state.enabled;
        EXPECT_FALSE(m_state.clickTimer) << s.method << ": nothing waits for a second click";
    }

    // The host's menu request: neither the window nor the switch changes.
    ASSERT_TRUE(watcher.call(QStringLiteral("ContextMenu")));
    waitFor([](const HostState& h) { return !h.windowShown || !h.enabled; }, 1000);
    EXPECT_TRUE(m_state.windowShown);
    EXPECT_TRUE(m_state.enabled);
}
