// "Render now" with the real xplanet on a private X server: the root window gets painted and
// the message window holds exactly what xplanet said.
#include "RenderFixture.h"

#include "support/XvfbFixture.h"

#include <QProcess>

using namespace launchtest;

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
    {
        m_old = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

class XplanetRenderTest : public RenderFixture
{
protected:
    static void SetUpTestSuite()
    {
        s_xvfb = new gwtest::XvfbServer;
        s_xvfb->start();
    }
    static void TearDownTestSuite()
    {
        delete s_xvfb;
        s_xvfb = nullptr;
    }

    void SetUp() override
    {
        RenderFixture::SetUp();
        ASSERT_TRUE(QFileInfo(QStringLiteral("/usr/bin/xplanet")).isExecutable()) << "xplanet is not installed";
        ASSERT_TRUE(s_xvfb->running()) << s_xvfb->error().toStdString();
        m_display = std::make_unique<ScopedEnv>("DISPLAY", s_xvfb->display().toLocal8Bit());
        // xplanet looks for its per-user folder under HOME.
        m_home = std::make_unique<ScopedEnv>("HOME", tmp.path().toLocal8Bit());
        settings.setText("edtAppFile", "/usr/bin/xplanet");
        settings.setText("ddbViewBody", "earth");
        settings.setChecked("cbHideApp", false);
    }
    void TearDown() override
    {
        m_home.reset();
        m_display.reset();
        RenderFixture::TearDown();
    }

    // What xplanet prints when run directly with the same arguments in the same folder.
    QStringList directOutput(const QStringList& params) const
    {
        QProcess xplanet;
        xplanet.setWorkingDirectory(rendererFolder());
        xplanet.setProcessChannelMode(QProcess::MergedChannels);
        xplanet.start("/usr/bin/xplanet", gw::splitArguments(params.join(' ')));
        xplanet.waitForFinished(60000);
        QString text = QString::fromLocal8Bit(xplanet.readAll());
        if (text.endsWith('\n'))
            text.chop(1);
        return text.isEmpty() ? QStringList() : text.split('\n');
    }

    static gwtest::XvfbServer* s_xvfb;

private:
    std::unique_ptr<ScopedEnv> m_display;
    std::unique_ptr<ScopedEnv> m_home;
};

gwtest::XvfbServer* XplanetRenderTest::s_xvfb = nullptr;

TEST_F(XplanetRenderTest, RenderNowPaintsTheRootWindow)
{
    const int coloursBefore = gwtest::XvfbServer::colourCount(s_xvfb->grabRoot());
    clock.set(45100.5);

    render.btnExecuteClick();

    const QImage after = s_xvfb->grabRoot();
    ASSERT_FALSE(after.isNull()) << "screenshot of the root window";
    EXPECT_LE(coloursBefore, 2) << "the empty root window";
    EXPECT_GT(gwtest::XvfbServer::colourCount(after), 1000) << "a rendered Earth";
    EXPECT_EQ(state.LastRenderTime, 45100.5);
    const QStringList params = render.launcher().ExeParams();
    EXPECT_EQ(messages.lines, block(params, directOutput(params)));
    EXPECT_EQ(messages.shown, 1);
}

TEST_F(XplanetRenderTest, MessageWindowHoldsXplanetsOwnOutput)
{
    settings.setChecked("rbStringParameter", true);
    settings.setText("edtParameter", "-background globewall-no-such-background.jpg");

    render.StartXPlanet();

    const QStringList params = render.launcher().ExeParams();
    ASSERT_EQ(params.value(0), "-background globewall-no-such-background.jpg");
    const QStringList output = render.launcher().OutputLines();
    EXPECT_TRUE(output.contains("Warning: Can't find globewall-no-such-background.jpg in"))
        << output.join('\n').toStdString();
    EXPECT_EQ(output, directOutput(params)) << "captured exactly as xplanet wrote it";
    EXPECT_EQ(messages.lines, block(params, output));
}

} // namespace
